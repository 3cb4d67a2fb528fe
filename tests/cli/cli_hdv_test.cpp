// zorv info, frame and extract-audio on HDV streams written by zorv-gen.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

#include "cli_run.h"

namespace zorv::testing {
namespace {

class CliHdv : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        path_ = dir_->file("cam.m2t");
        const RunResult g = runGen("hdv " + quote(path_) +
                                   " --frames 50 --packet 192 --tc 10:20:30:00 "
                                   "--date 2009-12-31T23:59:58 --drop-aux 4 --reel REEL01");
        ASSERT_EQ(g.status, 0) << g.out;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static TempDir* dir_;
    static std::string path_;
};
TempDir* CliHdv::dir_ = nullptr;
std::string CliHdv::path_;

TEST_F(CliHdv, InfoDescribesTheStream) {
    const RunResult r = runZorv("info " + quote(path_));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Type:        HDV2 (1080) (4)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Packets:     192 bytes, first at 4"), std::string::npos);
    EXPECT_NE(r.out.find("MPEG-2 1440x1080, 16:9, 25.000 fps"), std::string::npos);
    EXPECT_NE(r.out.find("MPEG-1 Layer II, 48000 Hz, stereo, 384 kbit/s"), std::string::npos);
    EXPECT_NE(r.out.find("Pictures:    50\n"), std::string::npos);
    EXPECT_NE(r.out.find("Aux packets: 49\n"), std::string::npos);
    EXPECT_NE(r.out.find("Start TC:    10:20:30:00"), std::string::npos);
    EXPECT_NE(r.out.find("Recorded:    31/12/09 23:59:58"), std::string::npos);
}

TEST_F(CliHdv, FrameByIndexAndByTime) {
    RunResult r = runZorv("frame " + quote(path_) + " 30");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Timecode    10:20:31:05"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Rec time    23:59:59"), std::string::npos);
    EXPECT_NE(r.out.find("Shutter     25\n"), std::string::npos);
    EXPECT_NE(r.out.find("White bal   PRESET"), std::string::npos);
    EXPECT_NE(r.out.find("Lighting    CANDLE"), std::string::npos);
    EXPECT_NE(r.out.find("User bits   67:45:23:01"), std::string::npos);
    r = runZorv("frame " + quote(path_) + " --time 1.2 --json --date-format 3");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"frame\":30,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"timecode\":\"10:20:31:05\""), std::string::npos);
    EXPECT_NE(r.out.find("\"recDate\":\"09-12-31\""), std::string::npos);
    // A picture whose aux data was dropped shows the placeholders, and the timecode of its group of
    // pictures header counted on.
    r = runZorv("frame " + quote(path_) + " 4");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("(no metadata)"), std::string::npos);
    EXPECT_NE(r.out.find("Rec time    --:--:--"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Timecode    10:20:30:04"), std::string::npos) << r.out;
    r = runZorv("frame " + quote(path_) + " 50");
    EXPECT_EQ(r.status, 1);
}

TEST_F(CliHdv, ExtractAudioWritesWav) {
    const std::string wav = dir_->file("cam.wav");
    const RunResult r = runZorv("extract-audio " + quote(path_));
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_TRUE(std::filesystem::exists(wav));
    EXPECT_GT(std::filesystem::file_size(wav), 44u + 48000u * 4u);
}

TEST(CliHdvOpen, ReaderFailureReasonIsPrinted) {
    TempDir dir;
    const std::string path = dir.file("notable.m2t");
    ASSERT_EQ(runGen("hdv " + quote(path) + " --frames 30").status, 0);
    // Without its 0x0134 table packets the stream is still recognised as HDV, but the reader cannot
    // collect its header packets.
    std::vector<char> d(std::filesystem::file_size(path));
    {
        std::ifstream in(path, std::ios::binary);
        in.read(d.data(), static_cast<std::streamsize>(d.size()));
    }
    for (size_t off = 0; off + 188 <= d.size(); off += 188) {
        const int pid = ((d[off + 1] & 0x1F) << 8) | static_cast<uint8_t>(d[off + 2]);
        if (pid == 0x0134) d[off + 1] = static_cast<char>(d[off + 1] | 0x1F), d[off + 2] = static_cast<char>(0xFF);
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(d.data(), static_cast<std::streamsize>(d.size()));
    }
    const RunResult r = runZorv("info " + quote(path));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Could not load M2T file (reason 7)"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace zorv::testing
