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
    const RunResult probe = runCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 " +
                                       quote(out));
    EXPECT_EQ(probe.out, "20\n");

    EXPECT_EQ(runZorv("burn " + quote(in) + " --mode scenes:0").status, 2);
    EXPECT_EQ(runZorv("burn " + quote(in) + " --items nothing").status, 2);
    EXPECT_EQ(runZorv("burn " + quote(in) + " --layout wide").status, 2);
    EXPECT_EQ(runZorv("burn " + quote(in) + " -o x.avi --in-place").status, 2);
    const std::string raw = dir.file("clip.dv");
    ASSERT_EQ(runGen("clip " + quote(raw) + " --frames 3 --container rawdv").status, 0);
    EXPECT_EQ(runZorv("burn " + quote(raw)).status, 1);
}

}  // namespace
}  // namespace zorv::testing
