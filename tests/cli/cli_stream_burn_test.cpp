// Burn-in of generated HDV and AVCHD files from zorv burn and zorv batch: every picture reaches the AVI.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "cli_run.h"

namespace zorv::testing {
namespace {

std::string videoFrames(const std::string& avi) {
    const RunResult probe = runCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,nb_read_frames -of csv=p=0 " +
        quote(avi));
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

// The hashes of the pictures' rows [top, top + rows), in picture order.
std::string rowHashes(const std::string& file, int top, int rows) {
    const RunResult r = runCommand("ffmpeg -v error -i " + quote(file) + " -map 0:v -vf crop=iw:" + std::to_string(rows) +
                                       ":0:" + std::to_string(top) +
                                       " -pix_fmt yuv420p -f framemd5 - | grep -v '^#' | "
                                       "awk -F, '{ print $NF }'",
                                   false);
    return r.out;
}

TEST(CliStreamBurn, AvchdToFfv1KeepsEveryPictureExactlyAwayFromTheText) {
    // ffv1 is lossless: above and below the text the output holds the decoder's pixels, picture for
    // picture (a picture drawn on while the decoder still predicted from it would show here).
    TempDir dir;
    const std::string in = dir.file("clip.mts");
    ASSERT_EQ(runGen("avchd " + quote(in) + " --frames 60").status, 0);
    const std::string out = dir.file("clip.avi");
    const RunResult r = runZorv("burn " + quote(in) + " --compressor ffv1 --audio -o " + quote(out));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(videoFrames(out), "ffv1,60\n");
    for (const auto& [top, rows] : {std::pair{0, 800}, std::pair{1016, 64}}) {
        const std::string want = rowHashes(in, top, rows);
        EXPECT_EQ(std::count(want.begin(), want.end(), '\n'), 60);
        EXPECT_EQ(rowHashes(out, top, rows), want) << "rows " << top << " to " << top + rows;
    }
    // The text is there.
    EXPECT_NE(rowHashes(out, 800, 216), rowHashes(in, 800, 216));
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

// A stream whose pictures none can decode gives no output: burn and the batch both say so and fail,
// neither calls it complete.
TEST(CliStreamBurn, NoDecodablePictureIsAFailureNotAnEmptySuccess) {
    TempDir dir;
    ASSERT_EQ(runGen("broken " + quote(dir.file("corpus")) + " --only avchd").status, 0);
    const std::string mts = dir.file("corpus/avchd_no_decodable_picture.m2ts");
    RunResult r = runZorv("burn " + quote(mts) + " -o " + quote(dir.file("x.avi")));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("zorv: No picture of the file could be decoded: nothing was burnt in"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Burn-in complete."), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.avi")));

    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    r = runZorv("batch --op burn --out " + quote(out) + " " + quote(mts));
    EXPECT_NE(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("ERROR: No picture of the file could be decoded"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Burn-in Complete"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(out) / "avchd_no_decodable_picture-burn.avi"));
}

}  // namespace
}  // namespace zorv::testing
