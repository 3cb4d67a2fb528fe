// HDV and AVCHD streams shaped like the cameras' (1088-line coding of 1080-line pictures, B pictures
// shown before the first I picture, group of pictures timecode, sound that starts late) read the way
// independent readers read them: ffprobe for sizes and durations, MediaInfo for the first timecode.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_run.h"

namespace zorv::testing {
namespace {

bool installed(const char* tool) { return runCommand(std::string("command -v ") + tool + " >/dev/null 2>&1").status == 0; }

// The value of "label : value" in `zorv info` output.
std::string infoField(const std::string& out, const std::string& label) {
    const size_t at = out.find(label + ":");
    if (at == std::string::npos) return {};
    size_t from = out.find_first_not_of(' ', at + label.size() + 1);
    return out.substr(from, out.find('\n', from) - from);
}

// Writes an AVCHD stream of 640x360 pictures (coded as 640x368 and cropped) that opens on two B
// pictures shown before its first I picture.
class LeadingB : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        path_ = dir_->file("00002.MTS");
        const RunResult r = runGen("avchd " + quote(path_) + " --frames 120 --size 640x360 --leading-b");
        ASSERT_EQ(r.status, 0) << r.out;
    }
    static void TearDownTestSuite() { delete dir_; }
    static TempDir* dir_;
    static std::string path_;
};
TempDir* LeadingB::dir_ = nullptr;
std::string LeadingB::path_;

TEST_F(LeadingB, SizeAndDurationAreThePicturesShown) {
    const RunResult info = runZorv("info " + quote(path_));
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find(" 640x360, "), std::string::npos) << info.out;
    const std::string pictures = infoField(info.out, "Pictures");
    ASSERT_FALSE(pictures.empty()) << info.out;
    const int64_t count = std::stoll(pictures);
    EXPECT_EQ(count, 122);  // the two leading pictures and 120
    char want[32];
    std::snprintf(want, sizeof want, "%.3f s", static_cast<double>(count) * 0.04);
    EXPECT_EQ(infoField(info.out, "Duration"), want);

    if (!installed("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    const RunResult probe = runCommand(
        "ffprobe -v error -select_streams v:0 -show_entries stream=width,height "
        "-of csv=p=0 " +
        quote(path_));
    EXPECT_EQ(probe.out.substr(0, 8), "640,360\n");
}

// Every consumer counts positions from the earliest presented picture: picture 0 is the first B.
TEST_F(LeadingB, FrameExportAndSubtitlesAgreeOnPositions) {
    const char* want[] = {"00:00:00.000B", "00:00:00.040B", "00:00:00.080I"};
    for (int n = 0; n < 3; ++n) {
        const RunResult r = runZorv("frame " + quote(path_) + " " + std::to_string(n));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(std::string("Position    ") + want[n]), std::string::npos) << r.out;
    }
    const std::string csv = dir_->file("p.csv");
    RunResult r = runZorv("export " + quote(path_) + " --mode all -o " + quote(csv));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string rows = fileText(csv);
    size_t at = 0;
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(rows.compare(at, 12, std::string(want[n]).substr(0, 12)), 0) << rows.substr(at, 40);
        at = rows.find("\r\n", at) + 2;
    }
    const std::string srt = dir_->file("p.srt");
    r = runZorv("subtitles " + quote(path_) + " --layout 3 -o " + quote(srt));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(fileText(srt).rfind("1\r\n00:00:00,000 --> ", 0), 0u) << fileText(srt).substr(0, 60);
}

// The group of pictures headers carry the tape timecode, as MediaInfo reads it; without aux data the
// timecode comes from them.
TEST(HdvGopTimecode, MatchesMediaInfoAndStandsInForMissingAuxData) {
    TempDir dir;
    struct Case {
        const char* args;
        const char* tc;
        const char* tc13;
    } cases[] = {{"--tc 01:02:03:04 --drop-aux 0,1,2,3,4,5,6,7,8,9,10,11,12,13", "01:02:03:04", "01:02:03:17"},
                 {"--ntsc --tc 00:09:59:20 --drop-aux 0,1,2,3,4,5,6,7,8,9,10,11,12,13", "00:09:59;20", "00:10:00;03"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string path = dir.file("gop.m2t");
        ASSERT_EQ(runGen("hdv " + quote(path) + " --frames 50 " + c.args).status, 0);
        const RunResult info = runZorv("info " + quote(path));
        ASSERT_EQ(info.status, 0) << info.out;
        EXPECT_EQ(infoField(info.out, "Start TC"), c.tc) << info.out;
        // Picture 13 has no aux data: the second group's header timecode plus one picture.
        const RunResult frame = runZorv("frame " + quote(path) + " 13 --json");
        EXPECT_NE(frame.out.find(std::string("\"timecode\":\"") + c.tc13 + "\""), std::string::npos) << frame.out;
        if (installed("mediainfo")) {
            const RunResult mi = runCommand("mediainfo --Inform='Video;%TimeCode_FirstFrame%' " + quote(path));
            EXPECT_EQ(mi.out, std::string(c.tc) + "\n");
        }
    }
    if (!installed("mediainfo")) GTEST_SKIP() << "mediainfo is not installed";
}

// The sound line of an AVCHD stream whose first AC-3 frame comes after the first megabyte.
TEST(AvchdLateSound, IsDescribedFromFurtherIn) {
    TempDir dir;
    const std::string path = dir.file("late.m2ts");
    ASSERT_EQ(runGen("avchd " + quote(path) + " --frames 700 --size 640x360").status, 0);
    // Null every audio packet in the first 1.5 MB (PID 0x1100 -> 0x1FFF).
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    int nulled = 0;
    for (std::streamoff at = 0; at < 1500000; at += 192) {
        unsigned char h[3] = {};
        f.seekg(at + 4);
        if (!f.read(reinterpret_cast<char*>(h), 3)) break;
        if (h[0] != 0x47 || (((h[1] & 0x1F) << 8) | h[2]) != 0x1100) continue;
        const unsigned char pid[2] = {static_cast<unsigned char>(h[1] | 0x1F), 0xFF};
        f.seekp(at + 5);
        f.write(reinterpret_cast<const char*>(pid), 2);
        ++nulled;
    }
    f.close();
    ASSERT_GT(nulled, 0);
    ASSERT_GT(std::filesystem::file_size(path), 2000000u);
    const RunResult info = runZorv("info " + quote(path));
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("Audio:       AC-3 48000 Hz, L, R (2 channels), 256 kbit/s"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace zorv::testing
