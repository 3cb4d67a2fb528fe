// The exports as jobs on a worker thread: progress to the last frame, and cancel.
#include "tools/export_job.h"

#include <gtest/gtest.h>

#include "export_test_util.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"

namespace zorv::tools {
namespace {

TEST(ExportJob, RunsToTheEndAndReportsProgress) {
    const std::string clip = gen::cachedClip("job.avi", gen::palClip(120), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    test::ScratchDir dir;
    CsvExportSettings csv;
    csv.mode = CsvExportMode::kAllFrames;
    ExportJob a(clip, dir.file("a.csv"), csv, false);
    SubtitleSettings sub;
    sub.layout = SubtitleLayout::kDateAboveTime;
    ExportJob b(clip, dir.file("b.srt"), sub, false);
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());
    EXPECT_TRUE(a.wait().ok());
    EXPECT_TRUE(b.wait().ok());
    EXPECT_TRUE(a.finished());
    EXPECT_EQ(a.progress().done(), a.progress().total());
    EXPECT_EQ(a.progress().total(), 119);
    EXPECT_EQ(test::crlfLines(test::readAll(dir.file("a.csv"))).size(), 120u);
    EXPECT_NE(test::readAll(dir.file("b.srt")).find("00:00:04,000 --> 00:00:04,800"), std::string::npos);
}

TEST(ExportJob, CancelEndsWithOperationCancelled) {
    const std::string clip = gen::cachedClip("job.avi", gen::palClip(120), gen::Container::Avi1);
    test::ScratchDir dir;
    ExportJob job(clip, dir.file("c.csv"), CsvExportSettings{}, false);
    job.progress().cancel();
    ASSERT_TRUE(job.start());
    const core::Status st = job.wait();
    EXPECT_EQ(st.code, core::ErrorCode::kCancelled);
    EXPECT_EQ(st.message, "Operation Cancelled");
}

}  // namespace
}  // namespace zorv::tools
