// zorv modify, fix-premiere, set-mtime and rename as a user runs them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "cli_run.h"

namespace zorv::testing {
namespace {

class CliModify : public ::testing::Test {
protected:
    void SetUp() override {
        clip = dir.file("clip.avi");
        ASSERT_EQ(runGen("clip " + quote(clip) + " --frames 10 --tc 01:02:03:04 --date 2008-07-15T14:30:05").status, 0);
    }
    TempDir dir;
    std::string clip;
};

TEST_F(CliModify, WritesNameModByDefaultAndReportsCompletion) {
    const RunResult r = runZorv("modify " + quote(clip) + " --timecode-start 10:00:00:00 --user-bits 12:34:56:78");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Metadata modification complete."), std::string::npos);
    const std::string out = dir.file("clip-mod.avi");
    ASSERT_TRUE(std::filesystem::exists(out));
    const RunResult f = runZorv("frame " + quote(out) + " 0");
    EXPECT_NE(f.out.find("10:00:00:00"), std::string::npos) << f.out;
    EXPECT_NE(f.out.find("12:34:56:78"), std::string::npos) << f.out;
    // The existing output is not overwritten without a yes.
    EXPECT_NE(runZorv("modify " + quote(clip) + " --timecode-start 11:00:00:00 < /dev/null").status, 0);
    EXPECT_EQ(runZorv("modify " + quote(clip) + " --yes --timecode-start 11:00:00:00").status, 0);
}

TEST_F(CliModify, RefusesBadSettingsAndUnconfirmedInPlaceChanges) {
    RunResult r = runZorv("modify " + quote(clip) + " --timecode-adjust 00:60:00:00");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("\"Adjust by\" Timecode Minutes must be in the range -59 to 59"), std::string::npos) << r.out;
    r = runZorv("modify " + quote(clip));
    EXPECT_NE(r.out.find("No Metadata items are currently selected for modification."), std::string::npos) << r.out;
    r = runZorv("modify " + quote(clip) + " --datetime-from-name");
    EXPECT_NE(r.out.find("File name does not end with a recognised date/time format"), std::string::npos) << r.out;

    const auto before = std::filesystem::file_size(clip);
    r = runZorv("modify " + quote(clip) + " --in-place --widescreen 16:9 < /dev/null");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("Operation Cancelled"), std::string::npos) << r.out;
    r = runZorv("modify " + quote(clip) + " --in-place --yes --widescreen 16:9");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(std::filesystem::file_size(clip), before);
}

TEST_F(CliModify, FixPremiereRenameAndSetMtime) {
    RunResult r = runZorv("fix-premiere " + quote(clip));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("01:02:03:04"), std::string::npos) << r.out;
    EXPECT_NE(runZorv("info " + quote(clip)).out.find("01:02:03:04"), std::string::npos);

    r = runZorv("set-mtime " + quote(clip));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("2008-07-15 14:30:05"), std::string::npos) << r.out;

    r = runZorv("rename " + quote(clip));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string renamed = dir.file("clip 08-07-15 14.30.05.avi");
    EXPECT_TRUE(std::filesystem::exists(renamed)) << r.out;
    // The new name feeds the file-name date of modify.
    r = runZorv("modify " + quote(renamed) + " --datetime-from-name -o " + quote(dir.file("x.avi")));
    EXPECT_EQ(r.status, 0) << r.out;

    const std::string raw = dir.file("clip.dv");
    ASSERT_EQ(runGen("clip " + quote(raw) + " --frames 3 --container rawdv").status, 0);
    r = runZorv("fix-premiere " + quote(raw));
    EXPECT_NE(r.out.find("File skipped - Raw DV file type does not support a Premiere start timecode"), std::string::npos)
        << r.out;
    r = runZorv("modify " + quote(raw) + " --user-bits 1:2:3:4");
    EXPECT_NE(r.out.find("File type not supported"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace zorv::testing
