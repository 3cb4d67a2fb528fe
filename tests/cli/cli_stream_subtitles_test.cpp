// zorv subtitles and zorv batch --op subtitles on generated HDV and AVCHD files: default output names,
// the GPS row on request, and the batch's output per stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli_run.h"

namespace zorv::testing {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
    return n;
}

TEST(StreamSubtitlesCli, HdvAndAvchdCuesWithGpsOnRequest) {
    TempDir dir;
    const std::string hdv = dir.file("clip.m2t"), avchd = dir.file("00001.MTS");
    ASSERT_EQ(runGen("hdv " + quote(hdv) + " --frames 75").status, 0);
    ASSERT_EQ(runGen("avchd " + quote(avchd) + " --frames 120 --size 640x352 --gps-track").status, 0);

    RunResult r = runZorv("subtitles " + quote(hdv) + " --layout 3");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string srt = slurp(dir.file("clip.srt"));
    EXPECT_EQ(srt,
              "1\r\n00:00:00,000 --> 00:00:01,000\r\n15/06/11 10:30:00\r\n\r\n"
              "2\r\n00:00:01,000 --> 00:00:02,000\r\n15/06/11 10:30:01\r\n\r\n"
              "3\r\n00:00:02,000 --> 00:00:03,000\r\n15/06/11 10:30:02\r\n\r\n");

    r = runZorv("subtitles " + quote(avchd) + " --format vtt --gps --gps-decimal");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string vtt = slurp(dir.file("00001.vtt"));
    EXPECT_EQ(vtt.rfind("WEBVTT\n\n00:00:00.000 --> 00:00:00.040\n", 0), 0u) << vtt.substr(0, 80);
    EXPECT_EQ(count(vtt, " --> "), 120u);
    EXPECT_EQ(count(vtt, "\n51.47"), 120u);  // the GPS row of every cue

    // The output is not replaced without --overwrite.
    r = runZorv("subtitles " + quote(hdv));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(slurp(dir.file("clip.srt")), srt);
}

TEST(StreamSubtitlesCli, BatchWritesOneSubtitleFilePerStream) {
    TempDir dir;
    const std::string hdv = dir.file("tape.m2t"), avchd = dir.file("00002.MTS");
    ASSERT_EQ(runGen("hdv " + quote(hdv)).status, 0);
    ASSERT_EQ(runGen("avchd " + quote(avchd) + " --frames 120 --size 640x352").status, 0);
    std::filesystem::create_directory(dir.file("out"));
    const RunResult r =
        runZorv("batch --op subtitles --out " + quote(dir.file("out")) + " " + quote(hdv) + " " + quote(avchd));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count(r.out, "Subtitle export complete"), 2u) << r.out;
    EXPECT_GT(count(slurp(dir.file("out/tape.srt")), " --> "), 0u);
    EXPECT_GT(count(slurp(dir.file("out/00002.srt")), " --> "), 0u);
}

}  // namespace
}  // namespace zorv::testing
