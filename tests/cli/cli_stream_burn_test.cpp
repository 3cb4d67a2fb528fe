// Burn-in of generated HDV and AVCHD files from zorv burn and zorv batch: every picture reaches the AVI.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"

namespace zorv::testing {
namespace {

std::string videoFrames(const std::string& avi) {
    const RunResult probe = runCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                       "stream=codec_name,nb_read_frames -of csv=p=0 " + quote(avi));
    return probe.out;
}

TEST(CliStreamBurn, HdvKeepsItsLastPictureWithAndWithoutSound) {
    TempDir dir;
    const std::string in = dir.file("clip.m2t");
    ASSERT_EQ(runGen("hdv " + quote(in) + " --frames 40").status, 0);
    RunResult r = runZorv("burn " + quote(in) + " --compressor Uncompressed --audio");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(videoFrames(dir.file("clip-burn.avi")), "rawvideo,40\n");
    // A GOP cut short: the stream ends on a B picture held back by the reordering.
    const std::string odd = dir.file("odd.m2t");
    ASSERT_EQ(runGen("hdv " + quote(odd) + " --frames 43 --ntsc").status, 0);
    r = runZorv("burn " + quote(odd) + " -o " + quote(dir.file("odd.avi")));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(videoFrames(dir.file("odd.avi")), "rawvideo,43\n");
}

TEST(CliStreamBurn, BatchBurnsHdvAndAvchdFilesIntoTheOutputFolder) {
    TempDir dir;
    const std::string mts = dir.file("a.mts");
    const std::string m2t = dir.file("b.m2t");
    ASSERT_EQ(runGen("avchd " + quote(mts) + " --frames 40 --size 1440x1080").status, 0);
    ASSERT_EQ(runGen("hdv " + quote(m2t) + " --frames 41").status, 0);
    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    const RunResult r = runZorv("batch --op burn --out " + quote(out) + " " + quote(mts) + " " + quote(m2t));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos) << r.out;
    EXPECT_EQ(videoFrames((std::filesystem::path(out) / "a-burn.avi").string()), "rawvideo,40\n");
    EXPECT_EQ(videoFrames((std::filesystem::path(out) / "b-burn.avi").string()), "rawvideo,41\n");
}

}  // namespace
}  // namespace zorv::testing
