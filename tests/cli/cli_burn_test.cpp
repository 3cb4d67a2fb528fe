// zorv burn on generated DV files.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"

namespace zorv::testing {
namespace {

TEST(CliBurn, BurnsAClipIntoItsDefaultOutputAndChecksItsOptions) {
    TempDir dir;
    const std::string in = dir.file("clip.avi");
    ASSERT_EQ(runGen("clip " + quote(in) + " --frames 20 --container avi1").status, 0);
    RunResult r = runZorv("burn " + quote(in) + " --items timecode,recdate --layout fixed80 --mode scenes:5f");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Burn-in complete."), std::string::npos) << r.out;
    const std::string out = dir.file("clip-burn.avi");
    ASSERT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(std::filesystem::file_size(out), std::filesystem::file_size(in));
    const RunResult probe = runCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 " + quote(out));
    EXPECT_EQ(probe.out, "20\n");

    EXPECT_EQ(runZorv("burn " + quote(in) + " --mode scenes:0").status, 2);
    EXPECT_EQ(runZorv("burn " + quote(in) + " --items nothing").status, 2);
    EXPECT_EQ(runZorv("burn " + quote(in) + " --layout wide").status, 2);
    EXPECT_EQ(runZorv("burn " + quote(in) + " -o x.avi --in-place").status, 2);
    const std::string raw = dir.file("clip.dv");
    ASSERT_EQ(runGen("clip " + quote(raw) + " --frames 3 --container rawdv").status, 0);
    EXPECT_EQ(runZorv("burn " + quote(raw)).status, 1);

    // Burning into the input asks first, as modify does; without an answer nothing is written.
    const std::string before = runCommand("cksum < " + quote(in)).out;
    r = runZorv("burn " + quote(in) + " --in-place < /dev/null");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Operation Cancelled"), std::string::npos) << r.out;
    EXPECT_EQ(runCommand("cksum < " + quote(in)).out, before);
    r = runZorv("burn " + quote(in) + " --in-place --yes");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(runCommand("cksum < " + quote(in)).out, before);
}

}  // namespace
}  // namespace zorv::testing

namespace zorv::testing {
namespace {

TEST(CliBurn, AvchdUncompressedWithAudioIsRawVideoAndPcmWithEveryPicture) {
    TempDir dir;
    const std::string in = dir.file("clip.mts");
    // Big enough for the AVCHD recognition (it reads 376000 bytes).
    ASSERT_EQ(runGen("avchd " + quote(in) + " --frames 40 --size 1440x1080").status, 0);
    const std::string out = dir.file("clip-burn.avi");
    RunResult r = runZorv("burn " + quote(in) + " --compressor Uncompressed --audio");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Burn-in complete."), std::string::npos) << r.out;
    const RunResult probe = runCommand(
        "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames "
        "-of csv=p=0 " +
        quote(out));
    EXPECT_EQ(probe.out.substr(0, probe.out.find('\n')), "rawvideo,40") << probe.out;
    EXPECT_NE(probe.out.find("pcm_s16le,"), std::string::npos) << probe.out;

    // A compressor's packets, without sound.
    const std::string ffv1 = dir.file("ffv1.avi");
    r = runZorv("burn " + quote(in) + " --compressor ffv1 -o " + quote(ffv1));
    EXPECT_EQ(r.status, 0) << r.out;
    const RunResult probe2 = runCommand(
        "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames "
        "-of csv=p=0 " +
        quote(ffv1));
    EXPECT_EQ(probe2.out, "ffv1,40\n");
    // A compressor that will not take the decoder's limited-range pictures gets them converted.
    const std::string mjpeg = dir.file("mjpeg.avi");
    r = runZorv("burn " + quote(in) + " --compressor mjpeg -o " + quote(mjpeg));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(runCommand("ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames -of csv=p=0 " +
                         quote(mjpeg))
                  .out,
              "mjpeg,40\n");
    EXPECT_EQ(runZorv("burn " + quote(in) + " --in-place").status, 2);
}

}  // namespace
}  // namespace zorv::testing
