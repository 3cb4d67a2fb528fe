// Frame indexes of generated DV clips in every container and index convention, and of damaged or
// hostile AVI and Raw DV files.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/scene_sets.h"
#include "gen/clip_writer.h"
#include "media/avi_index.h"
#include "media/dv_media_file.h"
#include "media/dv_test_media.h"
#include "media/rawdv_index.h"

namespace zorv::media {
namespace {

using namespace testing;

size_t findId(const Bytes& b, const char* id, size_t from = 0) {
    auto it = std::search(b.begin() + static_cast<ptrdiff_t>(from), b.end(), id, id + 4);
    return it == b.end() ? std::string::npos : static_cast<size_t>(it - b.begin());
}

struct Layout {
    gen::Container container;
    gen::IndexStyle style;
    const char* name;
};

class GeneratedIndex : public ::testing::TestWithParam<Layout> {};

TEST_P(GeneratedIndex, EveryFrameAtItsPositionAndDroppedFramesEmpty) {
    gen::ClipSpec desc = gen::palClip(40);
    desc.dropped = {5, 6, 30};
    desc.riffLimit = 2 * 1024 * 1024;  // several RIFF chunks when OpenDML is used
    const Layout l = GetParam();
    const std::string path = gen::cachedClip(std::string("idx-") + l.name, desc, l.container, l.style);
    ASSERT_FALSE(path.empty());

    DvMediaFile f;
    ASSERT_TRUE(f.open(path)) << static_cast<int>(f.lastError());
    EXPECT_EQ(f.frameSize(), 144000u);
    const bool raw = l.container == gen::Container::RawDv;
    EXPECT_EQ(f.frameCount(), raw ? 37 : 40);
    EXPECT_EQ(f.nonEmptyFrames(), 37);
    EXPECT_GE(f.readBufferSize(), 144000);

    gen::ClipFrames frames;
    ASSERT_TRUE(frames.open(desc).ok());
    std::vector<uint8_t> want, got(f.frameSize());
    for (int64_t n : {0, 4, 7, 29, 31, 39}) {
        // Raw DV leaves dropped frames out: its frame k is the clip's k-th kept frame.
        int64_t clipFrame = n;
        if (raw) {
            if (n >= 37) continue;
            for (int64_t k = 0, kept = -1; k < 40; ++k)
                if (!desc.isDropped(k) && ++kept == n) {
                    clipFrame = k;
                    break;
                }
        }
        ASSERT_TRUE(f.readFrame(n, got.data())) << n;
        frames.render(clipFrame, want);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin())) << "frame " << n;
    }
    if (!raw) {
        bool empty = false;
        EXPECT_FALSE(f.seekToFrame(5, empty));
        EXPECT_TRUE(empty);
        EXPECT_EQ(f.lastError(), core::ErrorCode::kNone);
        EXPECT_EQ(f.frameDataPosition(30), -1);

        ASSERT_TRUE(f.scan());
        const auto& dropped = f.sceneSets().changes(core::kTriggerDroppedFrame);
        EXPECT_EQ(std::vector<int64_t>(dropped.begin(), dropped.end()), (std::vector<int64_t>{5, 6, 30}));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, GeneratedIndex,
                         ::testing::Values(Layout{gen::Container::Avi1, gen::IndexStyle::Idx1FromMovi, "avi1movi"},
                                           Layout{gen::Container::Avi1, gen::IndexStyle::Idx1FromFile, "avi1file"},
                                           Layout{gen::Container::Avi1, gen::IndexStyle::OpenDml, "avi1odml"},
                                           Layout{gen::Container::Avi2, gen::IndexStyle::Idx1FromMovi, "avi2movi"},
                                           Layout{gen::Container::Avi2, gen::IndexStyle::OpenDml, "avi2odml"},
                                           Layout{gen::Container::RawDv, gen::IndexStyle::OpenDml, "raw"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A small Type 1 file written by the project's writer, as bytes to damage.
Bytes smallAvi(const TempDir& dir, bool openDml, int frames = 4) {
    AviWriterOptions o;
    o.openDml = openDml;
    const std::string path = dir.file(openDml ? "odml.avi" : "idx1.avi");
    writeAvi(path, palFrames(frames), o);
    return readAll(path);
}

bool indexOf(const TempDir& dir, const Bytes& bytes, FrameIndex& index, core::Status& err) {
    const std::string path = dir.file("damaged.avi");
    writeBytes(path, bytes);
    File file;
    EXPECT_TRUE(file.open(path));
    err = buildAviIndex(file, index);
    return err.ok();
}

TEST(AviIndex, DamagedLegacyIndex) {
    TempDir dir;
    const Bytes good = smallAvi(dir, false);
    FrameIndex index;
    core::Status err;
    ASSERT_TRUE(indexOf(dir, good, index, err));
    EXPECT_EQ(index.frameCount(), 4);
    EXPECT_EQ(index.videoFourcc, fourcc("00__"));
    EXPECT_GT(index.moviPosition, 0);

    // Offsets that lead to no frame chunk under either convention: the index is refused.
    Bytes bad = good;
    const size_t idx1 = findId(bad, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    for (size_t e = idx1 + 8; e + 16 <= bad.size(); e += 16) put32(bad, e + 8, 0x7FFFFF00u);
    EXPECT_FALSE(indexOf(dir, bad, index, err));
    EXPECT_EQ(err.code, core::ErrorCode::kNoIndex);
    EXPECT_EQ(index.frameCount(), 0);

    // No entry whose FourCC starts with "00".
    bad = good;
    for (size_t e = idx1 + 8; e + 16 <= bad.size(); e += 16) bad[e] = 'x';
    EXPECT_FALSE(indexOf(dir, bad, index, err));

    // An idx1 whose size runs past the end of the file: only the entries present are used.
    bad = good;
    put32(bad, idx1 + 4, 0xFFFFFFF0u);
    bad.resize(idx1 + 8 + 2 * 16);
    ASSERT_TRUE(indexOf(dir, bad, index, err));
    EXPECT_EQ(index.frameCount(), 2);

    // No idx1 at all.
    bad = good;
    bad.resize(idx1);
    EXPECT_FALSE(indexOf(dir, bad, index, err));
}

TEST(AviIndex, HostileOpenDmlIndexes) {
    TempDir dir;
    const Bytes good = smallAvi(dir, true, 6);
    FrameIndex index;
    core::Status err;
    ASSERT_TRUE(indexOf(dir, good, index, err));
    EXPECT_EQ(index.frameCount(), 6);

    const size_t indx = findId(good, "indx");
    ASSERT_NE(indx, std::string::npos);
    const size_t firstEntry = indx + 8 + 24;

    // The super index points past the end of the file.
    Bytes bad = good;
    put64(bad, firstEntry, uint64_t{1} << 40);
    EXPECT_FALSE(indexOf(dir, bad, index, err));

    // The super index points at itself: visited once, no endless walk.
    bad = good;
    put64(bad, firstEntry, indx);
    EXPECT_FALSE(indexOf(dir, bad, index, err));

    // An absurd entry count is capped by the chunk and the file.
    bad = good;
    put32(bad, indx + 8 + 4, 0xFFFFFFFFu);
    EXPECT_TRUE(indexOf(dir, bad, index, err) || err.code == core::ErrorCode::kNoIndex);

    // A standard index with an absurd entry count and a base past the end of the file: indexed, but
    // no frame can be read there.
    bad = good;
    const size_t ix = findId(bad, "ix00");
    ASSERT_NE(ix, std::string::npos);
    put32(bad, ix + 8 + 4, 0x10000000u);
    indexOf(dir, bad, index, err);
    EXPECT_LE(index.frameCount(), static_cast<int64_t>(bad.size() / 8));
}

// One damaged byte in the first video chunk's size field must not shift every frame: a size no DV
// system has is replaced by what the frame's DIF header says, or the file is refused.
TEST(AviIndex, ChunkSizeThatIsNoDvSizeIsCheckedAgainstTheDifHeader) {
    TempDir dir;
    struct Case {
        bool pal;
        uint32_t sizeField;
        bool junkData;  // the frame data does not start with a DIF header block
        size_t want;    // 0: refused
    };
    for (const Case c : {Case{true, 144000, false, 144000}, Case{true, 143998, false, 144000}, Case{true, 1, false, 144000},
                         Case{false, 1, false, 120000}, Case{true, 143998, true, 0}}) {
        SCOPED_TRACE(std::to_string(c.sizeField) + (c.pal ? " pal" : " ntsc") + (c.junkData ? " junk" : ""));
        std::vector<Bytes> frames = c.pal ? palFrames(3) : std::vector<Bytes>(3, DvFrame(false).bytes());
        AviWriterOptions o;
        o.pal = c.pal;
        writeAvi(dir.file("src.avi"), frames, o);
        Bytes b = readAll(dir.file("src.avi"));
        const size_t chunk = findId(b, "00__", findId(b, "movi"));
        ASSERT_NE(chunk, std::string::npos);
        put32(b, chunk + 4, c.sizeField);
        if (c.junkData) std::fill_n(b.begin() + static_cast<ptrdiff_t>(chunk + 8), 3, 0x55);
        FrameIndex index;
        core::Status err;
        EXPECT_EQ(indexOf(dir, b, index, err), c.want != 0);
        EXPECT_EQ(index.frameSize, c.want);
        if (c.want == 0) {
            EXPECT_NE(err.message.find("143998 bytes"), std::string::npos) << err.message;
        }
        if (c.want != 0) {
            EXPECT_EQ(index.entries[1].offset - index.entries[0].offset, c.want + 8);
        }
    }
}

TEST(AviIndex, ReadBufferSizeIsTheLargestSpan) {
    std::vector<FrameEntry> e = {{100, 10}, {kEmptyFrameOffset, 0}, {400, 10}, {450, 10}};
    EXPECT_EQ(largestFrameSpan(e, 1000), 550);
    EXPECT_EQ(largestFrameSpan(e, 600), 300);
    EXPECT_EQ(largestFrameSpan({}, 600), 0);
    // Positions out of order or beyond the file never give more than the file size.
    EXPECT_EQ(largestFrameSpan({{900, 1}, {10, 1}, {5000, 1}}, 2000), 2000);
}

TEST(RawDvIndex, FrameSizeFromTheSequenceNumber) {
    TempDir dir;
    File file;
    FrameIndex index;
    core::Status err;

    const std::vector<Bytes> pal = palFrames(3);
    Bytes bytes;
    for (const Bytes& f : pal) bytes.insert(bytes.end(), f.begin(), f.end());
    bytes.resize(bytes.size() + 1000, 0);  // a partial frame at the end is not counted
    writeBytes(dir.file("pal.dv"), bytes);
    ASSERT_TRUE(file.open(dir.file("pal.dv")));
    err = buildRawDvIndex(file, index);
    ASSERT_TRUE(err);
    EXPECT_EQ(index.frameSize, 144000u);
    EXPECT_EQ(index.frameCount(), 3);
    EXPECT_EQ(index.entries[2].offset, 288000u);

    const Bytes ntsc = DvFrame(false).bytes();
    writeRawDv(dir.file("ntsc.dv"), {ntsc, ntsc});
    ASSERT_TRUE(file.open(dir.file("ntsc.dv")));
    err = buildRawDvIndex(file, index);
    ASSERT_TRUE(err);
    EXPECT_EQ(index.frameSize, 120000u);
    EXPECT_EQ(index.frameCount(), 2);

    // Between 120000 and 144000 bytes: one 525/60 frame, whatever follows.
    Bytes one = ntsc;
    one.resize(130000, 0);
    writeBytes(dir.file("one.dv"), one);
    ASSERT_TRUE(file.open(dir.file("one.dv")));
    err = buildRawDvIndex(file, index);
    ASSERT_TRUE(err);
    EXPECT_EQ(index.frameCount(), 1);

    // Garbage after the first 525/60 frame: refused without an error code.
    Bytes junk = ntsc;
    junk.resize(250000, 0x55);
    writeBytes(dir.file("junk.dv"), junk);
    ASSERT_TRUE(file.open(dir.file("junk.dv")));
    err = buildRawDvIndex(file, index);
    EXPECT_FALSE(err);
    EXPECT_EQ(err.code, core::ErrorCode::kNoIndex);

    writeBytes(dir.file("tiny.dv"), Bytes(ntsc.begin(), ntsc.begin() + 119999));
    ASSERT_TRUE(file.open(dir.file("tiny.dv")));
    err = buildRawDvIndex(file, index);
    EXPECT_FALSE(err);
}

}  // namespace
}  // namespace zorv::media
