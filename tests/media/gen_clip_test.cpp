// The test-media generator: timecode and clock arithmetic, packs at the camcorder positions (read
// back with the frame geometry and the record fill), container output and the zorv-gen tool.
#include "gen/clip_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "avi_test_util.h"
#include "core/dv_decode.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "gen/dv_packs.h"

namespace zorv::gen {
namespace {

namespace dv = core::dv;
using namespace zorv::avitest;

TEST(GenTimecode, DropFrameCountingSkipsTwoFramesPerMinuteExceptTenths) {
    EXPECT_EQ(framesToTimecode(1800, 30, true), (Timecode{0, 1, 0, 2}));
    EXPECT_EQ(framesToTimecode(1799, 30, true), (Timecode{0, 0, 59, 29}));
    EXPECT_EQ(framesToTimecode(17982, 30, true), (Timecode{0, 10, 0, 0}));
    EXPECT_EQ(framesToTimecode(17981, 30, true), (Timecode{0, 9, 59, 29}));
    EXPECT_EQ(timecodeToFrames(Timecode{1, 0, 0, 0}, 30, true), 107892);
    for (int64_t n : {0, 1, 1799, 1800, 3597, 3598, 17981, 17982, 107891, 2589407})
        EXPECT_EQ(timecodeToFrames(framesToTimecode(n, 30, true), 30, true), n) << n;
    // Wrap at one day.
    EXPECT_EQ(framesToTimecode(24 * 3600 * 25 + 3, 25, false), (Timecode{0, 0, 0, 3}));
    EXPECT_EQ(framesToTimecode(-1, 25, false), (Timecode{23, 59, 59, 24}));
}

TEST(GenFrameMeta, RunsJumpRepeatAndContinue) {
    ClipSpec s = palClip(100);
    s.runs = {gen::Run{0, Timecode{1, 2, 3, 20}, 1, DateTime{2011, 12, 31, 23, 59, 58}},
              gen::Run{10, Timecode{5, 0, 0, 0}, 0, std::nullopt},  // frozen timecode, clock runs on
              gen::Run{20, std::nullopt, 1, DateTime{2012, 3, 4, 5, 6, 7}}};
    EXPECT_EQ(frameMeta(s, 0).tc, (Timecode{1, 2, 3, 20}));
    EXPECT_EQ(frameMeta(s, 5).tc, (Timecode{1, 2, 4, 0}));
    EXPECT_EQ(frameMeta(s, 10).tc, (Timecode{5, 0, 0, 0}));
    EXPECT_EQ(frameMeta(s, 19).tc, (Timecode{5, 0, 0, 0}));
    EXPECT_EQ(frameMeta(s, 20).tc, (Timecode{5, 0, 0, 0}));  // a repeat continues by its own step
    EXPECT_EQ(frameMeta(s, 21).tc, (Timecode{5, 0, 0, 1}));
    EXPECT_EQ(frameMeta(s, 0).rec, (DateTime{2011, 12, 31, 23, 59, 58}));
    EXPECT_EQ(frameMeta(s, 19).rec, (DateTime{2011, 12, 31, 23, 59, 58}));
    EXPECT_EQ(frameMeta(s, 15).rec, (DateTime{2011, 12, 31, 23, 59, 58}));
    ClipSpec longer = s;
    longer.runs.pop_back();
    EXPECT_EQ(frameMeta(longer, 50).rec, (DateTime{2012, 1, 1, 0, 0, 0}));  // clock runs on through run 2
    EXPECT_EQ(frameMeta(s, 20).rec, (DateTime{2012, 3, 4, 5, 6, 7}));
    EXPECT_EQ(frameMeta(s, 45).rec, (DateTime{2012, 3, 4, 5, 6, 8}));
}

TEST(GenFrameMeta, NtscClockAdvancesAt2997) {
    ClipSpec s = ntscClip(2000, true);
    EXPECT_EQ(frameMeta(s, 29).rec.second, 0);
    EXPECT_EQ(frameMeta(s, 30).rec.second, 1);     // 30 frames = 1.001 s
    EXPECT_EQ(frameMeta(s, 1798).rec.second, 59);  // 59.99 s
    EXPECT_EQ(frameMeta(s, 1799).rec.minute, 31);  // 60.02 s
    EXPECT_EQ(frameMeta(s, 1800).tc, (Timecode{0, 1, 0, 2}));
    EXPECT_TRUE(frameMeta(s, 0).dropFrameFlag);
}

TEST(GenPacks, BcdLayoutOfTimecodeAndRecordingPacks) {
    Pack tc = timecodePack(Timecode{23, 59, 58, 29}, true);
    EXPECT_EQ(tc.id, 0x13);
    EXPECT_EQ(tc.pc[0] & 0x3F, 0x29);
    EXPECT_EQ(tc.pc[0] & 0x40, 0x40);
    EXPECT_EQ(tc.pc[1] & 0x7F, 0x58);
    EXPECT_EQ(tc.pc[2] & 0x7F, 0x59);
    EXPECT_EQ(tc.pc[3] & 0x3F, 0x23);
    Pack d = recDatePack(DateTime{2009, 12, 31, 0, 0, 0});
    EXPECT_EQ(d.pc[1] & 0x3F, 0x31);
    EXPECT_EQ(d.pc[2] & 0x1F, 0x12);
    EXPECT_EQ(d.pc[3], 0x09);
    Pack t = recTimePack(DateTime{2009, 1, 1, 21, 45, 7});
    EXPECT_EQ(t.pc[1] & 0x7F, 0x07);
    EXPECT_EQ(t.pc[2] & 0x7F, 0x45);
    EXPECT_EQ(t.pc[3] & 0x3F, 0x21);
}

class GenFrameTest : public ::testing::Test {
protected:
    std::vector<uint8_t> render(const ClipSpec& desc, int64_t n) {
        ClipFrames f;
        EXPECT_TRUE(f.open(desc).ok());
        std::vector<uint8_t> out;
        f.render(n, out);
        EXPECT_EQ(out.size(), desc.frameSize());
        return out;
    }
};

TEST_F(GenFrameTest, PacksRepeatInEverySequenceAtCamcorderPositions) {
    ClipSpec s = palClip(10);
    s.userBits = 0x12345678;
    s.runs = {gen::Run{0, Timecode{10, 20, 30, 0}, 1, DateTime{2010, 7, 4, 18, 5, 9}}};
    std::vector<uint8_t> f = render(s, 3);
    ASSERT_EQ(dv::sequenceCount(f.size()), 12);
    for (int q = 0; q < 12; ++q) {
        const uint8_t* seq = f.data() + q * dv::kSequenceSize;
        const uint8_t* tc = seq + dv::subcodePackOffset(0);
        EXPECT_EQ(tc[0], 0x13);
        EXPECT_EQ(tc[1] & 0x3F, 0x03);
        EXPECT_EQ(tc[4] & 0x3F, 0x10);
        EXPECT_EQ(seq[dv::subcodePackOffset(7)], 0x14);
        EXPECT_EQ(seq[dv::subcodePackOffset(8)], 0x62);
        EXPECT_EQ(seq[dv::vauxPackOffset(0)], 0x60);
        EXPECT_EQ(seq[dv::vauxPackOffset(0) + 3] & 0x20, 0x20);  // 50 fields
        EXPECT_EQ(seq[dv::vauxPackOffset(16)], 0x61);
        EXPECT_EQ(seq[dv::vauxPackOffset(34)], 0x70);
        EXPECT_EQ(seq[dv::aauxPackOffset(0)], 0x50);
        EXPECT_EQ(seq[dv::aauxPackOffset(1)], 0x51);
        EXPECT_EQ(seq[dv::aauxPackOffset(8)], 0xFF);
        // DIF block IDs written by the encoder survive: header, subcode, VAUX, audio.
        EXPECT_EQ(seq[0] >> 4, 1);
        EXPECT_EQ(seq[80] >> 4, 3);
        EXPECT_EQ(seq[240] >> 4, 5);
        EXPECT_EQ(seq[dv::audioBlockIndex(0) * 80] >> 4, 7);
    }
    // The record fill and decoding read back what the description says.
    core::MetadataRecord rec;
    core::fillRecord(rec, f.data(), f.size());
    core::DecodedValues v;
    core::decodeRecord(rec, v);
    EXPECT_EQ(v.fieldRate, 50);
    EXPECT_EQ(v.timecodeStyle, 2);
    EXPECT_EQ(v.tcHours, 10);
    EXPECT_EQ(v.tcMinutes, 20);
    EXPECT_EQ(v.tcSeconds, 30);
    EXPECT_EQ(v.tcFrames, 3);
    EXPECT_EQ(v.userBits, 0x12345678u);
    ASSERT_TRUE(v.recValid);
    EXPECT_EQ(v.recSeconds, 1278266709);  // 2010-07-04 18:05:09 UTC
    EXPECT_EQ(v.iris, 5);
    EXPECT_EQ(v.gain, 2);
    EXPECT_EQ(v.exposureMode, 0);
    EXPECT_EQ(v.stabilizer, 1);
    EXPECT_EQ(v.shutter, 50);
    EXPECT_EQ(v.audioUnlocked, 0);
    EXPECT_EQ(v.audioSampling, 0);
    EXPECT_EQ(v.recordingStart, 1);
}

TEST_F(GenFrameTest, NtscDropFrameWidescreenAndRecordingStart) {
    ClipSpec s = ntscClip(5, true);
    s.widescreen = true;
    s.camera = false;
    std::vector<uint8_t> f = render(s, 0);
    ASSERT_EQ(dv::sequenceCount(f.size()), 10);
    core::MetadataRecord rec;
    core::fillRecord(rec, f.data(), f.size());
    core::DecodedValues v;
    core::decodeRecord(rec, v);
    EXPECT_EQ(v.fieldRate, 60);
    EXPECT_EQ(v.timecodeStyle, 4);
    EXPECT_EQ(v.recordingStart, 0);
    EXPECT_EQ(v.iris, 63);
    EXPECT_EQ(v.userBits, 0xFFFFu);
    core::DisplayValues dsp;
    core::updateDisplayValues(rec, dsp);
    EXPECT_TRUE(dsp.widescreen);
    EXPECT_EQ(render(s, 1)[dv::vauxPackOffset(1) + 2] & 0x80, 0x80);  // not a start point
}

TEST_F(GenFrameTest, LaterSequencesOnlyAndJunkPayloads) {
    ClipSpec s = palClip(3);
    s.laterSequencesOnly = true;
    s.ffHeaderJunk = true;
    std::vector<uint8_t> f = render(s, 0);
    for (int q = 0; q < 12; ++q) {
        const uint8_t* seq = f.data() + q * dv::kSequenceSize;
        uint8_t want = q < 6 ? 0xFF : 0x13;
        EXPECT_EQ(seq[dv::subcodePackOffset(0)], want) << q;
        EXPECT_EQ(seq[dv::vauxPackOffset(0)], q < 6 ? 0xFF : 0x60) << q;
        // Empty slots: header 0xFF with a payload that is not 0xFF.
        EXPECT_EQ(seq[dv::vauxPackOffset(10)], 0xFF);
        EXPECT_NE(seq[dv::vauxPackOffset(10) + 1], 0xFF);
    }
    core::MetadataRecord rec;
    core::fillRecord(rec, f.data(), f.size());
    EXPECT_TRUE(rec.has(0x13));
    EXPECT_FALSE(rec.has(0x14));
}

TEST_F(GenFrameTest, CustomizeHasTheLastWord) {
    ClipSpec s = palClip(3);
    s.customize = [](int64_t n, FrameMeta& m) {
        if (n == 1) m.hasTimecode = false;
        m.camera1.pc[0] = 0xC9;
    };
    core::MetadataRecord rec;
    std::vector<uint8_t> f = render(s, 1);
    core::fillRecord(rec, f.data(), f.size());
    EXPECT_FALSE(rec.has(0x13));
    EXPECT_EQ(rec.pc(0x70, 1), 0xC9);
}

class GenFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("zorv-gen-" + std::to_string(::getpid()) + "-" +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

TEST_F(GenFileTest, ContainersCarryTheSameFrames) {
    ClipSpec s = sampleClip();
    s.frames = 30;
    s.runs[1].first = 15;
    s.recordingStarts = {0, 15};
    s.dropped = {4};
    ASSERT_TRUE(writeClip(s, path("a.dv"), Container::RawDv).ok());
    ASSERT_TRUE(writeClip(s, path("a1.avi"), Container::Avi1, IndexStyle::Idx1FromFile).ok());
    ASSERT_TRUE(writeClip(s, path("a2.avi"), Container::Avi2, IndexStyle::Idx1FromMovi).ok());
    ASSERT_TRUE(writeClip(s, path("ao.avi"), Container::Avi1, IndexStyle::OpenDml).ok());
    std::vector<uint8_t> raw = readAll(path("a.dv"));
    ASSERT_EQ(raw.size(), 29u * 144000);  // the dropped frame is left out
    std::string rawBytes(raw.begin(), raw.end());
    for (const char* name : {"a1.avi", "a2.avi", "ao.avi"}) {
        EXPECT_EQ(ffprobeFrames(path(name)), 29) << name;
        EXPECT_EQ(ffmpegVideoBytes(path(name)), rawBytes) << name;
    }
    // The scene cut: frame 15 (file frame 14 of the Raw DV file) jumps to 00:10:00:00.
    core::MetadataRecord rec;
    core::fillRecord(rec, raw.data() + 14 * 144000, 144000);
    core::DecodedValues v;
    core::decodeRecord(rec, v);
    EXPECT_EQ(v.tcMinutes, 10);
    EXPECT_EQ(v.tcFrames, 0);
    EXPECT_EQ(v.recordingStart, 0);
}

TEST_F(GenFileTest, ToolWritesSampleAndClips) {
    const std::string gen = ZORV_GEN_PATH;
    int st = 0;
    run("'" + gen + "' sample '" + path("s.avi") + "'", &st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(ffprobeFrames(path("s.avi")), 250);
    std::vector<uint8_t> d = readAll(path("s.avi"));
    EXPECT_EQ(tag(d, 108), "iavs");

    run("'" + gen + "' clip '" + path("c.dv") + "' --system ntsc --frames 10 --container rawdv --tc 01:00:00:00 --df", &st);
    ASSERT_EQ(st, 0);
    d = readAll(path("c.dv"));
    ASSERT_EQ(d.size(), 1200000u);
    core::FoundTimecode tc = core::findTimecode(d.data() + 120000, 10);
    EXPECT_EQ(tc.hours, 1);
    EXPECT_EQ(tc.frames, 1);
    EXPECT_TRUE(tc.dropFrame);

    run("'" + gen + "' clip '" + path("o.avi") +
            "' --frames 30 --container avi2 --index odml --riff-limit 800000 "
            "--drop 2,3 --date 2012-02-29T23:59:59",
        &st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(ffprobeFrames(path("o.avi")), 28);
    EXPECT_GE(chunks(readAll(path("o.avi"))).size(), 20u);

    run("'" + gen + "' --help >/dev/null", &st);
    EXPECT_EQ(st, 0);
    run("'" + gen + "' clip '" + path("x.avi") + "' --container mp4 2>/dev/null", &st);
    EXPECT_NE(st, 0);
    EXPECT_FALSE(std::filesystem::exists(path("x.avi")));
}

}  // namespace
}  // namespace zorv::gen
