// The DV media file object: direct pack searches on frames, the metadata scan with its observer,
// cancel and dropped frames, and the object's state across open and close.
#include "media/dv_media_file.h"

#include <gtest/gtest.h>

#include "gen/clip_writer.h"
#include "media/dv_test_media.h"

namespace zorv::media {
namespace {

using namespace testing;

TEST(DvMediaFileReads, TimecodeDateAndStreamProperties) {
    TempDir dir;
    DvFrame ntsc(false);
    ntsc.timecode(1, 2, 3, 4, true);
    ntsc.recorded(99, 12, 31, 23, 59, 58);
    ntsc.vaux(0x61, 0x00, 0x02, 0x00, 0x00);  // widescreen (PC2 bits 0-2 = 2)
    ntsc.aaux(0x50, 0x80, 0x00, 0x00, 0x0A);  // unlocked, 44.1 kHz (1 << 3), 12 bits (2)
    writeRawDv(dir.file("ntsc.dv"), {ntsc.bytes()});

    DvMediaFile f;
    ASSERT_TRUE(f.open(dir.file("ntsc.dv")));
    EXPECT_EQ(f.fileType(), FileType::kRawDv);
    DvMediaFile::Timecode tc;
    ASSERT_TRUE(f.readTimecode(0, tc));
    EXPECT_EQ(tc.hours, 1);
    EXPECT_EQ(tc.minutes, 2);
    EXPECT_EQ(tc.seconds, 3);
    EXPECT_EQ(tc.frames, 4);
    EXPECT_TRUE(tc.dropFrame);
    EXPECT_EQ(f.decoded().fieldRate, 60);

    DvMediaFile::RecordingDateTime dt;
    ASSERT_TRUE(f.readRecordingDateTime(0, dt));
    EXPECT_EQ(dt.year, 1999);
    EXPECT_EQ(dt.month, 12);
    EXPECT_EQ(dt.day, 31);
    EXPECT_EQ(dt.hours, 23);
    EXPECT_EQ(dt.minutes, 59);
    EXPECT_EQ(dt.seconds, 58);

    DvMediaFile::StreamProperties props;
    props.sampleRate = 123;
    ASSERT_TRUE(f.readStreamProperties(0, props));
    EXPECT_EQ(props.widescreen, 1);
    EXPECT_EQ(props.sampleRate, 441);
    EXPECT_EQ(props.audioBits, 12);
    EXPECT_EQ(props.audioLocked, 0);

    // A second handle reads the same frame.
    File other;
    ASSERT_TRUE(other.open(dir.file("ntsc.dv")));
    DvMediaFile::Timecode tc2;
    ASSERT_TRUE(f.readTimecode(0, other, tc2));
    EXPECT_EQ(tc2.frames, 4);
    EXPECT_EQ(f.linePeriod(), 6.3492e-05);
}

TEST(DvMediaFileReads, MissingAndInvalidPacks) {
    TempDir dir;
    DvFrame pal(true);
    pal.subcode(0x13, 0x00, 0x00, 0x00, 0x3A);  // hours units 10: not a timecode
    pal.vaux(0x62, 0xFF, 0x15, 0x06, 0x11);     // a date without a time
    pal.aaux(0x50, 0x00, 0x00, 0x00, 0x3F);     // locked; sampling 7 and bits 7: left alone
    writeRawDv(dir.file("pal.dv"), {pal.bytes(), pal.bytes()});

    DvMediaFile f;
    ASSERT_TRUE(f.open(dir.file("pal.dv")));
    EXPECT_EQ(f.frameCount(), 2);
    DvMediaFile::Timecode tc;
    EXPECT_FALSE(f.readTimecode(1, tc));
    EXPECT_EQ(f.decoded().fieldRate, 50);
    DvMediaFile::RecordingDateTime dt;
    EXPECT_FALSE(f.readRecordingDateTime(1, dt));
    DvMediaFile::StreamProperties props;
    props.sampleRate = 480;
    ASSERT_TRUE(f.readStreamProperties(1, props));
    EXPECT_EQ(props.widescreen, 0);
    EXPECT_EQ(props.sampleRate, 480);
    EXPECT_EQ(props.audioBits, -1);
    EXPECT_EQ(props.audioLocked, 1);

    bool empty = true;
    EXPECT_FALSE(f.seekToFrame(2, empty));
    EXPECT_FALSE(empty);
    EXPECT_EQ(f.lastError(), core::ErrorCode::kReadFailed);
    EXPECT_EQ(f.linePeriod(), 6.4e-05);
}

TEST(DvMediaFileOpen, FailuresLeaveTheObjectEmpty) {
    TempDir dir;
    DvMediaFile f;
    EXPECT_FALSE(f.open(dir.file("missing.avi")));
    EXPECT_EQ(f.lastError(), core::ErrorCode::kOpenFailed);
    EXPECT_FALSE(f.isOpen());

    writeBytes(dir.file("short"), Bytes(100, 0));
    EXPECT_FALSE(f.open(dir.file("short")));
    EXPECT_EQ(f.lastError(), core::ErrorCode::kReadFailed);

    writeBytes(dir.file("text.txt"), Bytes(5000, 'a'));
    EXPECT_FALSE(f.open(dir.file("text.txt")));
    EXPECT_EQ(f.lastError(), core::ErrorCode::kNotRecognised);
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(f.frameCount(), 0);
}

TEST(DvMediaFileOpen, FrameRunningPastTheEndIsAReadError) {
    TempDir dir;
    AviWriterOptions o;
    o.openDml = false;
    writeAvi(dir.file("t.avi"), palFrames(3), o);
    Bytes b = readAll(dir.file("t.avi"));
    DvMediaFile f;
    ASSERT_TRUE(f.open(dir.file("t.avi")));
    const int64_t movi = f.moviPosition();
    f.close();
    // Point the last idx1 entry (offsets from 'movi') 100 bytes before the end of the file.
    const size_t lastEntry = b.size() - 16;
    put32(b, lastEntry + 8, static_cast<uint32_t>(b.size() - 100 - static_cast<size_t>(movi) - 8 - 8));
    writeBytes(dir.file("t.avi"), b);
    ASSERT_TRUE(f.open(dir.file("t.avi")));
    std::vector<uint8_t> buf(f.frameSize());
    EXPECT_TRUE(f.readFrame(1, buf.data()));
    EXPECT_FALSE(f.readFrame(2, buf.data()));
    EXPECT_EQ(f.lastError(), core::ErrorCode::kReadFailed);
    EXPECT_FALSE(f.scan());
    EXPECT_EQ(f.lastError(), core::ErrorCode::kReadFailed);
    EXPECT_FALSE(f.scanned());
}

class Recorder : public ScanObserver {
public:
    bool onFrame(int64_t n, const core::MetadataRecord& rec, const core::DecodedValues& v) override {
        frames.push_back(n);
        seconds.push_back(v.tcSeconds);
        return failAt < 0 || n < failAt;
    }
    std::vector<int64_t> frames;
    std::vector<int> seconds;
    int64_t failAt = -1;
};

TEST(MetadataScan, SceneCutDroppedFramesAndObserver) {
    gen::ClipSpec desc = gen::sampleClip();
    desc.dropped = {10, 11};
    const std::string path = gen::cachedClip("scan-sample", desc, gen::Container::Avi2, gen::IndexStyle::OpenDml);
    ASSERT_FALSE(path.empty());

    DvMediaFile f;
    ASSERT_TRUE(f.open(path));
    EXPECT_FALSE(f.scanned());
    Recorder rec;
    core::Progress progress;
    ASSERT_TRUE(f.scan(&progress, &rec));
    EXPECT_TRUE(f.scanned());
    EXPECT_EQ(progress.percent(), 100);
    EXPECT_EQ(static_cast<int64_t>(rec.frames.size()), f.nonEmptyFrames());
    EXPECT_EQ(rec.frames[10], 12);  // dropped frames are not shown to the observer

    // Default mask: date/time discontinuities only; the cut at 5 s (frame 125) is one.
    const auto& scenes = f.sceneSets().sceneList();
    EXPECT_EQ(std::vector<int64_t>(scenes.begin(), scenes.end()), std::vector<int64_t>{125});
    EXPECT_TRUE(f.sceneSets().changes(core::kTriggerTimecode).count(125));
    EXPECT_FALSE(f.sceneSets().changes(core::kTriggerTimecode).count(0));
    EXPECT_EQ(f.nextScene(0), 125);
    EXPECT_EQ(f.nextScene(125), f.frameCount() - 1);
    EXPECT_EQ(f.previousScene(125), 0);

    // Dropped frames enter the scene list only when their bit is set; no rescan is needed.
    f.setOptionMask(core::kTriggerDroppedFrame | core::kTriggerDateTime);
    const auto& withDropped = f.sceneSets().sceneList();
    EXPECT_EQ(std::vector<int64_t>(withDropped.begin(), withDropped.end()), (std::vector<int64_t>{10, 11, 125}));

    // A second scan returns at once; close forgets everything.
    Recorder again;
    EXPECT_TRUE(f.scan(nullptr, &again));
    EXPECT_TRUE(again.frames.empty());
    f.close();
    EXPECT_FALSE(f.scanned());
    EXPECT_TRUE(f.sceneSets().sceneList().empty());
    EXPECT_EQ(f.frameCount(), 0);
}

TEST(MetadataScan, CancelAndWriteFailure) {
    const std::string path = gen::cachedClip("scan-pal60", gen::palClip(60), gen::Container::RawDv);
    ASSERT_FALSE(path.empty());
    DvMediaFile f;
    ASSERT_TRUE(f.open(path));

    core::Progress cancelled;
    cancelled.cancel();
    Recorder rec;
    EXPECT_FALSE(f.scan(&cancelled, &rec));
    EXPECT_EQ(f.lastError(), core::ErrorCode::kCancelled);
    EXPECT_EQ(f.lastMessage(), "Operation Cancelled");
    EXPECT_FALSE(f.scanned());
    EXPECT_EQ(rec.frames.size(), 1u);  // the check comes at frame 0

    Recorder failing;
    failing.failAt = 30;
    EXPECT_FALSE(f.scan(nullptr, &failing));
    EXPECT_EQ(f.lastError(), core::ErrorCode::kWriteFailed);
    EXPECT_FALSE(f.scanned());

    // After a cancel the next scan starts again from frame 0 and completes.
    Recorder full;
    core::Progress progress;
    ASSERT_TRUE(f.scan(&progress, &full));
    EXPECT_EQ(full.frames.size(), 60u);
    EXPECT_EQ(full.frames.front(), 0);
    EXPECT_EQ(f.lastError(), core::ErrorCode::kNone);
}

TEST(MetadataScan, SingleFrameFileAndInOrderDetection) {
    TempDir dir;
    const std::vector<Bytes> frames = palFrames(1);
    writeRawDv(dir.file("one.dv"), frames);
    DvMediaFile f;
    ASSERT_TRUE(f.open(dir.file("one.dv")));
    core::Progress progress;
    ASSERT_TRUE(f.scan(&progress));
    EXPECT_EQ(progress.percent(), 100);
    EXPECT_EQ(scanPercent(0, 1), 100);
    EXPECT_EQ(scanPercent(50, 101), 50);
    EXPECT_EQ(f.nextScene(0), 0);

    // An in-order pass over frames whose timecode jumps: the jump enters the scene list when its
    // bit is set.
    DvMediaFile g;
    std::vector<Bytes> seq = palFrames(4);
    DvFrame jump(true);
    jump.timecode(0, 5, 0, 0);
    jump.recorded(11, 6, 15, 10, 30, 0);
    seq[2] = jump.bytes();
    writeRawDv(dir.file("seq.dv"), seq);
    ASSERT_TRUE(g.open(dir.file("seq.dv")));
    g.setOptionMask(core::kTriggerTimecode);
    std::vector<bool> flags;
    for (int64_t n = 0; n < 4; ++n) flags.push_back(g.detectFrame(n, seq[static_cast<size_t>(n)].data()));
    EXPECT_EQ(flags, (std::vector<bool>{false, false, true, true}));
    g.markScanned();
    EXPECT_TRUE(g.scanned());
    const auto& scenes = g.sceneSets().sceneList();
    EXPECT_EQ(std::vector<int64_t>(scenes.begin(), scenes.end()), (std::vector<int64_t>{2, 3}));
}

}  // namespace
}  // namespace zorv::media
