// zorv gpx, info and frame on AVCHD streams written by zorv-gen: the GPX track validates against the GPX 1.1
// schema and its points are the generator's positions, one per change, timed in UTC from the recording date.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli_run.h"
#include "gen/avchd_writer.h"

namespace zorv::testing {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// 120 pictures of 640x352 at 25/s with a moving GPS track: five positions, about 450 kB (enough
// bytes for recognition).
gen::AvchdSpec trackSpec() {
    gen::AvchdSpec s;
    s.frames = 120;
    s.width = 640;
    s.height = 352;
    s.gps = gen::GpsMode::Track;
    return s;
}

class AvchdCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        path_ = dir_->file("00001.MTS");
        const RunResult r = runGen("avchd " + quote(path_) + " --frames 120 --size 640x352 --gps-track");
        ASSERT_EQ(r.status, 0) << r.out;
    }
    static void TearDownTestSuite() { delete dir_; }
    static TempDir* dir_;
    static std::string path_;
};
TempDir* AvchdCli::dir_ = nullptr;
std::string AvchdCli::path_;

TEST_F(AvchdCli, GpxTrackMatchesTheWrittenPositions) {
    const std::string out = dir_->file("track.gpx");
    const RunResult r = runZorv("gpx " + quote(path_) + " -o " + quote(out));
    ASSERT_EQ(r.status, 0) << r.out;
    const RunResult lint = runCommand("xmllint --noout " + quote(out));
    EXPECT_EQ(lint.status, 0) << lint.out;
    // The set-up script installs the Topografix GPX 1.1 schema; without it only well-formedness is known.
    const std::string schema = "/usr/local/share/xml/gpx/gpx-1.1.xsd";
    if (std::ifstream(schema).good()) {
        const RunResult valid = runCommand("xmllint --noout --schema " + schema + " " + quote(out));
        EXPECT_EQ(valid.status, 0) << valid.out;
    } else {
        ADD_FAILURE() << "GPX 1.1 schema missing at " << schema << " (run scripts/setup.sh)";
    }
    const std::string gpx = slurp(out);
    EXPECT_NE(gpx.find("<gpx version=\"1.1\""), std::string::npos);
    EXPECT_NE(gpx.find("xmlns=\"http://www.topografix.com/GPX/1/1\""), std::string::npos);
    // xmllint's XPath over the default namespace: one trk, one trkseg, five points.
    const RunResult count = runCommand("xmllint --xpath \"count(//*[local-name()='trkpt'])\" " + quote(out));
    EXPECT_EQ(count.out.substr(0, count.out.find_last_not_of(" \n") + 1), "5");

    const std::regex pt("<trkpt lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\">\\s*<ele>([-0-9.]+)</ele>\\s*<time>([^<]+)</time>");
    const gen::AvchdSpec desc = trackSpec();
    int64_t second = 0;
    for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), pt); it != std::sregex_iterator(); ++it, ++second) {
        const gen::GpsFix f = gen::avchdGpsFix(desc, second * 25);
        const double lat = f.latDeg + f.latMin / 60.0 + f.latSecX100 / 360000.0;
        const double lon = -(f.lonDeg + f.lonMin / 60.0 + f.lonSecX100 / 360000.0);
        EXPECT_NEAR(std::stod((*it)[1]), lat, 1e-7);
        EXPECT_NEAR(std::stod((*it)[2]), lon, 1e-7);
        EXPECT_NEAR(std::stod((*it)[3]), f.altitudeX10 / 10.0, 1e-9);
        // 31 Dec 2008 23:16:24 at UTC+1.
        char want[32];
        std::snprintf(want, sizeof want, "2008-12-31T22:16:%02dZ", static_cast<int>(24 + second));
        EXPECT_EQ((*it)[4], want);
    }
    EXPECT_EQ(second, 5);
}

TEST_F(AvchdCli, GpxFailures) {
    const RunResult none = runZorv("gpx " + quote(dir_->file("missing.mts")));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("Could not load AVC file (reason 1)"), std::string::npos) << none.out;
    const std::string flat = dir_->file("nogps.m2ts");
    ASSERT_EQ(runGen("avchd " + quote(flat) + " --frames 60 --size 320x192 --no-gps").status, 0);
    const RunResult empty = runZorv("gpx " + quote(flat));
    EXPECT_EQ(empty.status, 3);
    EXPECT_NE(empty.out.find("<trkseg>\n    </trkseg>"), std::string::npos);
}

TEST_F(AvchdCli, InfoAndFrame) {
    const RunResult info = runZorv("info " + quote(path_));
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("AVCHD M2TS (6)"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("H.264 High@L3.0 640x352"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("AC-3 48000 Hz, L, R (2 channels), 256 kbit/s"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Pictures:    120"), std::string::npos);
    EXPECT_NE(info.out.find("Recorded:    2008-12-31 23:16:24 UTC+01:00"), std::string::npos);
    EXPECT_NE(info.out.find("GPS:         yes"), std::string::npos);

    const RunResult frame = runZorv("frame " + quote(path_) + " 50");
    ASSERT_EQ(frame.status, 0) << frame.out;
    EXPECT_NE(frame.out.find("Timecode    00:00:02:00"), std::string::npos) << frame.out;
    EXPECT_NE(frame.out.find("Rec date    31/12/08"), std::string::npos);
    EXPECT_NE(frame.out.find("Rec time    23:16:26"), std::string::npos);
    EXPECT_NE(frame.out.find("Shutter     25"), std::string::npos);  // code 1125 at 1/28125 s
    EXPECT_NE(frame.out.find("Position    00:00:02.000"), std::string::npos);
    EXPECT_NE(frame.out.find("Speed       13.5 km/h"), std::string::npos);

    const RunResult byTime = runZorv("frame " + quote(path_) + " --time 2 --json");
    ASSERT_EQ(byTime.status, 0) << byTime.out;
    EXPECT_NE(byTime.out.find("\"frame\":50"), std::string::npos) << byTime.out;
    EXPECT_NE(byTime.out.find("\"18\":\"02 20 08 12\""), std::string::npos);
    const RunResult past = runZorv("frame " + quote(path_) + " 120");
    EXPECT_EQ(past.status, 1);
}

TEST_F(AvchdCli, ExtractAudioWritesAc3BesideTheInput) {
    const RunResult r = runZorv("extract-audio " + quote(path_) + " --overwrite");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Audio extraction complete."), std::string::npos) << r.out;
    const std::string ac3 = dir_->file("00001.ac3");
    const RunResult probe = runCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + quote(ac3));
    EXPECT_EQ(probe.out, "ac3\n");
}

}  // namespace
}  // namespace zorv::testing
