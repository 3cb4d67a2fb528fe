// The AVI and Raw DV writers: structure of the headers and indexes, acceptance by ffprobe, frames
// coming back byte-identical through ffmpeg, dropped frames and write failures.
#include "media/avi_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "avi_test_util.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"
#include "media/rawdv_writer.h"

namespace zorv::media {
namespace {

using namespace zorv::avitest;
using avitest::le32;  // before the media readers' own of the same name
using avitest::le64;
using core::ErrorCode;

class AviWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("zorv-aviw-" + std::to_string(::getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Writes n frames of a generated clip; frames listed in drop are written empty. Returns the
    // bytes of the non-empty frames in order.
    std::string writeFrames(const std::string& file, AviWriterOptions opt, int n, std::vector<int> drop = {}) {
        gen::ClipSpec desc = opt.pal ? gen::palClip(n) : gen::ntscClip(n);
        gen::ClipFrames frames;
        EXPECT_TRUE(frames.open(desc).ok());
        AviWriter w;
        EXPECT_TRUE(w.open(file, opt).ok());
        std::string expected;
        std::vector<uint8_t> frame, pcm(1920 * 4, 0);
        for (int i = 0; i < n; ++i) {
            std::span<const uint8_t> audio(pcm.data(), frames.audioBytes(i));
            if (std::find(drop.begin(), drop.end(), i) != drop.end()) {
                EXPECT_TRUE(w.writeEmptyFrame(audio).ok());
                continue;
            }
            frames.render(i, frame);
            expected.append(reinterpret_cast<const char*>(frame.data()), frame.size());
            EXPECT_TRUE(w.writeFrame(frame, audio).ok());
        }
        EXPECT_EQ(w.framesWritten(), n);
        EXPECT_TRUE(w.close().ok());
        return expected;
    }

    std::filesystem::path dir_;
};

std::vector<Chunk> find(const std::vector<Chunk>& all, const std::string& id) {
    std::vector<Chunk> out;
    for (const Chunk& c : all)
        if (c.id == id) out.push_back(c);
    return out;
}

TEST(AviWriterReservedList, Is160BytesWithItemTextAndZeroFill) {
    std::vector<uint8_t> l = AviWriter::reservedList(160, "zorv");
    ASSERT_EQ(l.size(), 160u);
    EXPECT_EQ(tag(l, 0), "LIST");
    EXPECT_EQ(le32(l, 4), 152u);
    EXPECT_EQ(tag(l, 8), "INFO");
    EXPECT_EQ(tag(l, 12), "ZoRv");
    EXPECT_EQ(le32(l, 16), 140u);
    EXPECT_EQ(std::string(l.begin() + 20, l.begin() + 24), "zorv");
    for (size_t i = 24; i < 160; ++i) ASSERT_EQ(l[i], 0) << i;
    // Other requested sizes keep the same shape; odd sizes are rounded up to even.
    std::vector<uint8_t> big = AviWriter::reservedList(301, std::string(400, '*'));
    ASSERT_EQ(big.size(), 302u);
    EXPECT_EQ(le32(big, 4), 294u);
    EXPECT_EQ(le32(big, 16), 282u);
    EXPECT_EQ(big.back(), '*');
}

TEST_F(AviWriterTest, Type1WithIdx1FromMovi) {
    AviWriterOptions opt;
    opt.openDml = false;
    std::string f = path("t1.avi");
    std::string expected = writeFrames(f, opt, 30);
    std::vector<uint8_t> d = readAll(f);

    // Recognition bytes: RIFF AVI, first stream "iavs"/"dvsd".
    EXPECT_EQ(tag(d, 0), "RIFF");
    EXPECT_EQ(le32(d, 4), d.size() - 8);
    EXPECT_EQ(tag(d, 8), "AVI ");
    EXPECT_EQ(tag(d, 108), "iavs");
    EXPECT_EQ(tag(d, 112), "dvsd");
    // DV info from the first frame: video source pack 0x60 payload with the 50-field bit.
    EXPECT_EQ((le32(d, 172 + 16) >> 16) & 0x20, 0x20u);

    // The reserved list follows the header list directly.
    size_t afterHdrl = 20 + le32(d, 16);
    EXPECT_EQ(tag(d, afterHdrl), "LIST");
    EXPECT_EQ(le32(d, afterHdrl + 4), 152u);
    EXPECT_EQ(tag(d, afterHdrl + 8), "INFO");
    EXPECT_EQ(tag(d, afterHdrl + 12), "ZoRv");

    auto all = chunks(d);
    EXPECT_TRUE(find(all, "indx").empty());
    EXPECT_TRUE(find(all, "LIST:odml").empty());
    auto movi = find(all, "LIST:movi");
    auto idx1 = find(all, "idx1");
    ASSERT_EQ(movi.size(), 1u);
    ASSERT_EQ(idx1.size(), 1u);
    EXPECT_EQ(movi[0].pos, afterHdrl + 160);
    ASSERT_EQ(idx1[0].size, 30u * 16);
    for (int i = 0; i < 30; ++i) {
        size_t e = idx1[0].pos + 8 + 16 * i;
        EXPECT_EQ(tag(d, e), "00__");
        EXPECT_EQ(le32(d, e + 4), 0x10u);
        size_t chunkPos = movi[0].pos + 8 + le32(d, e + 8);
        EXPECT_EQ(tag(d, chunkPos), "00__");
        EXPECT_EQ(le32(d, e + 12), 144000u);
    }
    EXPECT_EQ(le32(d, idx1[0].pos + 8 + 8), 4u);  // first chunk right after the 'movi' FourCC
    EXPECT_EQ(le32(d, 48), 30u);                  // avih total frames

    EXPECT_EQ(ffprobeFrames(f), 30);
    EXPECT_EQ(ffmpegVideoBytes(f), expected);
}

TEST_F(AviWriterTest, Idx1OffsetsFromFileStart) {
    AviWriterOptions opt;
    opt.openDml = false;
    opt.idx1FromFileStart = true;
    opt.pal = false;
    std::string f = path("ntsc.avi");
    std::string expected = writeFrames(f, opt, 12);
    std::vector<uint8_t> d = readAll(f);
    auto all = chunks(d);
    auto idx1 = find(all, "idx1");
    ASSERT_EQ(idx1.size(), 1u);
    for (int i = 0; i < 12; ++i) {
        size_t e = idx1[0].pos + 8 + 16 * i;
        EXPECT_EQ(tag(d, le32(d, e + 8)), "00__");
        EXPECT_EQ(le32(d, le32(d, e + 8) + 4), 120000u);
    }
    EXPECT_EQ(ffprobeFrames(f), 12);
    EXPECT_EQ(ffmpegVideoBytes(f), expected);
}

TEST_F(AviWriterTest, Type2OpenDmlSpansSeveralRiffs) {
    AviWriterOptions opt;
    opt.type = AviType::kType2;
    opt.riffLimit = 1000000;  // about six frames per RIFF
    std::string f = path("t2.avi");
    std::string expected = writeFrames(f, opt, 40);
    std::vector<uint8_t> d = readAll(f);
    EXPECT_EQ(tag(d, 108), "vids");
    EXPECT_EQ(tag(d, 188), "dvsd");

    auto all = chunks(d);
    auto riffs = find(all, "RIFF:AVIX");
    ASSERT_GE(riffs.size(), 5u);
    for (const Chunk& r : riffs) EXPECT_LE(r.size + 8u, 1000000u);
    size_t end = 0;
    for (const Chunk& c : all)
        if (c.id.rfind("RIFF", 0) == 0) end = c.pos + 8 + c.size;
    EXPECT_EQ(end, d.size());

    // Super index of the video stream: one entry per RIFF, pointing at its standard index.
    auto indx = find(all, "indx");
    ASSERT_EQ(indx.size(), 2u);
    size_t vi = indx[0].pos + 8;
    EXPECT_EQ(le32(d, vi + 4), riffs.size() + 1);
    EXPECT_EQ(tag(d, vi + 8), "00dc");
    EXPECT_EQ(tag(d, indx[1].pos + 8 + 8), "01wb");
    uint32_t frames = 0;
    for (uint32_t i = 0; i < le32(d, vi + 4); ++i) {
        size_t e = vi + 24 + 16 * i;
        size_t ix = le64(d, e);
        ASSERT_EQ(tag(d, ix), "ix00");
        EXPECT_EQ(le32(d, e + 8), le32(d, ix + 4) + 8);
        uint32_t n = le32(d, ix + 12);
        EXPECT_EQ(le32(d, e + 12), n);
        uint64_t base = le64(d, ix + 20);
        for (uint32_t k = 0; k < n; ++k) {
            size_t data = base + le32(d, ix + 32 + 8 * k);
            EXPECT_EQ(tag(d, data - 8), "00dc");
            EXPECT_EQ(le32(d, ix + 36 + 8 * k), 144000u);
        }
        frames += n;
    }
    EXPECT_EQ(frames, 40u);
    // dmlh holds the total; avih the frames of the first RIFF, which idx1 also lists.
    auto dmlh = find(all, "dmlh");
    ASSERT_EQ(dmlh.size(), 1u);
    EXPECT_EQ(le32(d, dmlh[0].pos + 8), 40u);
    auto idx1 = find(all, "idx1");
    ASSERT_EQ(idx1.size(), 1u);
    EXPECT_EQ(idx1[0].size / 16, 2 * le32(d, 48));

    EXPECT_EQ(ffprobeStreams(f, "audio"), 1);
    EXPECT_EQ(ffprobeFrames(f), 40);
    EXPECT_EQ(ffmpegVideoBytes(f), expected);
}

TEST_F(AviWriterTest, DroppedFramesBecomeEmptyIndexEntries) {
    AviWriterOptions opt;
    opt.riffLimit = 1000000;
    std::string f = path("drop.avi");
    std::string expected = writeFrames(f, opt, 20, {0, 5, 6, 19});
    std::vector<uint8_t> d = readAll(f);
    auto all = chunks(d);

    // idx1 of the first RIFF: entries of size 0 for the dropped frames.
    auto idx1 = find(all, "idx1");
    ASSERT_EQ(idx1.size(), 1u);
    EXPECT_EQ(le32(d, idx1[0].pos + 8 + 12), 0u);
    EXPECT_EQ(le32(d, idx1[0].pos + 8 + 4), 0u);  // no key-frame flag
    EXPECT_EQ(le32(d, idx1[0].pos + 8 + 16 + 12), 144000u);

    // Standard indexes: every frame has an entry, the dropped ones with size 0.
    std::vector<uint32_t> sizes;
    for (const Chunk& ix : find(all, "ix00"))
        for (uint32_t k = 0; k < le32(d, ix.pos + 12); ++k) sizes.push_back(le32(d, ix.pos + 36 + 8 * k));
    ASSERT_EQ(sizes.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(sizes[i], (i == 0 || i == 5 || i == 6 || i == 19) ? 0u : 144000u) << i;
    auto dmlh = find(all, "dmlh");
    EXPECT_EQ(le32(d, dmlh[0].pos + 8), 20u);

    EXPECT_EQ(ffprobeFrames(f), 16);
    EXPECT_EQ(ffmpegVideoBytes(f), expected);
}

// A growing file copied at any moment (a kill or power loss) after a checkpoint reads as a whole AVI
// of the frames checkpointed, in this project's reader and in ffmpeg, also across RIFF changes and
// when the super index runs out of slots for checkpoint entries.
TEST_F(AviWriterTest, CheckpointsLeaveAValidFileWhileItGrows) {
    for (AviType type : {AviType::kType2, AviType::kType1}) {
        SCOPED_TRACE(static_cast<int>(type));
        AviWriterOptions opt;
        opt.type = type;
        opt.riffLimit = 1000000;  // about six frames per RIFF
        opt.superIndexSlots = 9;
        gen::ClipSpec desc = gen::palClip(40);
        desc.audio.tone = true;
        gen::ClipFrames frames;
        ASSERT_TRUE(frames.open(desc).ok());
        std::string f = path("grow.avi");
        AviWriter w;
        ASSERT_TRUE(w.open(f, opt).ok());
        std::string expected, checked;
        std::vector<uint8_t> frame, pcm;
        int64_t checkedFrames = 0;
        for (int i = 0; i < 40; ++i) {
            frames.render(i, frame);
            frames.audioPcm(i, pcm);
            expected.append(reinterpret_cast<const char*>(frame.data()), frame.size());
            ASSERT_TRUE(w.writeFrame(frame, pcm).ok());
            if (i % 5 == 3) {
                ASSERT_TRUE(w.checkpoint(false).ok());
                checked = expected;
                checkedFrames = i + 1;
            }
            if (i % 20 != 7) continue;
            // The file as a crash would leave it, with half of a next frame written.
            std::vector<uint8_t> now = readAll(f);
            now.insert(now.end(), frame.begin(), frame.begin() + 72000);
            std::string copy = path("cut.avi");
            writeFile(copy, now);
            DvMediaFile m;
            ASSERT_TRUE(m.open(copy)) << "after frame " << i;
            EXPECT_EQ(m.frameCount(), checkedFrames);
            // ffmpeg also reads the whole frames written after the checkpoint, never the cut one.
            EXPECT_GE(ffprobeFrames(copy), checkedFrames);
            const std::string seen = ffmpegVideoBytes(copy);
            EXPECT_GE(seen.size(), checked.size());
            EXPECT_EQ(seen.size() % 144000, 0u);
            EXPECT_TRUE(expected.compare(0, seen.size(), seen) == 0);
        }
        ASSERT_TRUE(w.close().ok());
        EXPECT_EQ(ffprobeFrames(f), 40);
        EXPECT_TRUE(ffmpegVideoBytes(f) == expected);
    }
}

TEST_F(AviWriterTest, NoReservedListWhenSizeIsZero) {
    AviWriterOptions opt;
    opt.reservedListSize = 0;
    std::string f = path("nores.avi");
    std::string expected = writeFrames(f, opt, 3);
    std::vector<uint8_t> d = readAll(f);
    EXPECT_EQ(tag(d, 20 + le32(d, 16) + 8), "movi");
    EXPECT_EQ(ffmpegVideoBytes(f), expected);
}

TEST_F(AviWriterTest, FailedWritesAreReportedNeverSuccess) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    gen::ClipFrames frames;
    ASSERT_TRUE(frames.open(gen::palClip(1)).ok());
    std::vector<uint8_t> frame;
    frames.render(0, frame);

    AviWriter w;
    AviWriterOptions opt;
    core::Status s = w.open("/dev/full", opt);
    for (int i = 0; i < 50 && s.ok(); ++i) s = w.writeFrame(frame);
    core::Status c = w.close();
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.code, ErrorCode::kWriteFailed);
    EXPECT_EQ(c.sysError, ENOSPC);
    EXPECT_FALSE(w.writeFrame(frame).ok());

    RawDvWriter r;
    ASSERT_TRUE(r.open("/dev/full").ok());
    s = core::Status::success();
    for (int i = 0; i < 50 && s.ok(); ++i) s = r.writeFrame(frame);
    c = r.close();
    EXPECT_EQ(c.code, ErrorCode::kWriteFailed);
    EXPECT_EQ(c.sysError, ENOSPC);
}

TEST_F(AviWriterTest, OpenFailureCarriesErrno) {
    AviWriter w;
    core::Status s = w.open(path("missing/dir/x.avi"), AviWriterOptions{});
    EXPECT_EQ(s.code, ErrorCode::kOpenFailed);
    EXPECT_EQ(s.sysError, ENOENT);
    EXPECT_FALSE(w.writeFrame(std::vector<uint8_t>(144000)).ok());
    RawDvWriter r;
    EXPECT_EQ(r.open(path("missing/dir/x.dv")).code, ErrorCode::kOpenFailed);
}

TEST_F(AviWriterTest, RawDvIsFramesBackToBack) {
    gen::ClipFrames frames;
    ASSERT_TRUE(frames.open(gen::ntscClip(7)).ok());
    RawDvWriter w;
    std::string f = path("a.dv");
    ASSERT_TRUE(w.open(f).ok());
    std::string expected;
    std::vector<uint8_t> frame;
    for (int i = 0; i < 7; ++i) {
        frames.render(i, frame);
        expected.append(reinterpret_cast<const char*>(frame.data()), frame.size());
        ASSERT_TRUE(w.writeFrame(frame).ok());
    }
    ASSERT_TRUE(w.close().ok());
    std::vector<uint8_t> d = readAll(f);
    EXPECT_EQ(std::string(d.begin(), d.end()), expected);
    EXPECT_EQ(ffprobeFrames(f), 7);
}

}  // namespace
}  // namespace zorv::media
