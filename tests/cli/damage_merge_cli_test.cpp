// zorv damage and zorv merge on generated transfers of one clip, damaged in different places.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"

namespace {

using zorv::testing::quote;
using zorv::testing::runCommand;
using zorv::testing::runGen;
using zorv::testing::runZorv;
using zorv::testing::TempDir;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string l; std::getline(s, l);) out.push_back(l);
    return out;
}

TEST(DamageCli, ReportsRunsFramesAndSummaryInEveryForm) {
    TempDir tmp;
    const std::string in = tmp.file("t.avi");
    ASSERT_EQ(runGen("clip " + quote(in) +
                     " --frames 8 --audio tone --damage 3:a:0.1,4:a:0.1,6:f:0.5 "
                     "--audio-errors 6:2:7")
                  .status,
              0);

    // Text: frames 3 and 4 are damaged alike and share a row; the summary names the counts.
    auto text = runCommand(std::string(ZORV_CLI_PATH) + " damage " + quote(in), false);
    ASSERT_EQ(text.status, 0) << text.out;
    auto rows = lines(text.out);
    ASSERT_EQ(rows.size(), 3u) << text.out;
    EXPECT_EQ(rows[0].rfind("3-4 ", 0), 0u) << rows[0];
    EXPECT_NE(rows[0].find("STA A x162"), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("STA F x810"), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find("audio errors ch1 0 ch2 7"), std::string::npos) << rows[1];
    EXPECT_EQ(rows[2],
              "Summary: 8 frames, 3 damaged, 2 with concealment, 1 with uncorrected errors, 7 audio error samples "
              "in 1 frame, longest damaged run 2 frames from frame 3");

    // CSV with --all: a header and one row per frame; the summary goes to standard error.
    const std::string csv = tmp.file("d.csv");
    auto r = runZorv("damage " + quote(in) + " --format csv --all -o " + quote(csv));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Summary: 8 frames"), std::string::npos);
    rows = lines(readText(csv));
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[7].rfind("6,6,1,00:00:00:06,00:00:00:06,2011-06-15,10:30:00,uncorrected,1620,0,810,0,", 0), 0u)
        << rows[7];

    // JSON: an existing output is refused and left alone, then replaced with --overwrite.
    const std::string json = tmp.file("d.json");
    std::ofstream(json) << "keep";
    r = runZorv("damage " + quote(in) + " --format json -o " + quote(json));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(readText(json), "keep");
    r = runZorv("damage " + quote(in) + " --format json --overwrite -o " + quote(json));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string j = readText(json);
    EXPECT_NE(j.find("\"sta\":[1458,0,0,0,0,0,0,0,0,0,162,0,0,0,0,0]"), std::string::npos) << j;
    EXPECT_NE(j.find("\"audio_errors\":[0,7,0,0]"), std::string::npos) << j;
    EXPECT_NE(j.find("\"longest_run\":2,\"longest_run_start\":3"), std::string::npos) << j;
    for (const auto& e : std::filesystem::directory_iterator(tmp.path()))
        EXPECT_EQ(e.path().filename().string().find(".zorv-"), std::string::npos) << "temporary file left behind";

    // The metadata export with --damage: the fifteen columns as without it, then the damage columns.
    const std::string plain = tmp.file("plain.csv"), withDamage = tmp.file("damage.csv");
    ASSERT_EQ(runZorv("export " + quote(in) + " --mode all --header -o " + quote(plain)).status, 0);
    ASSERT_EQ(runZorv("export " + quote(in) + " --mode all --header --damage -o " + quote(withDamage)).status, 0);
    auto before = lines(readText(plain)), after = lines(readText(withDamage));
    ASSERT_EQ(before.size(), 9u);
    ASSERT_EQ(after.size(), 9u);
    for (size_t i = 0; i < before.size(); ++i) {
        ASSERT_EQ(after[i].rfind(before[i].substr(0, before[i].size() - 1), 0), 0u) << after[i];
    }
    EXPECT_NE(after[0].find(",Audio Lock,Damage,Concealed Blocks,"), std::string::npos) << after[0];
    EXPECT_EQ(after[4].substr(after[4].find(",concealed,")), ",concealed,162,0,0.1000,0,0,0,0,0,0,0,0\r");
    EXPECT_EQ(after[7].substr(after[7].find(",uncorrected,")), ",uncorrected,0,810,0.0000,0,7,0,0,0,0,0,0\r");
    EXPECT_NE(after[1].find(",LOCKED,,0,0,0.0000,0,0,0,0,0,0,0,0\r"), std::string::npos) << after[1];
}

// The undamaged clip, and two transfers of it: A (AVI) lost frame 7 and has concealed blocks in the
// first 30 % of frame 5, blocks in error in frame 6 and audio errors in frame 9; B (Raw DV) starts at
// frame 3 and has frame 5 concealed from halfway and frame 9 half concealed.
class MergeCli : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string common = " --frames 20 --audio tone";
        ASSERT_EQ(runGen("clip " + quote(src_) + common + " --container rawdv").status, 0);
        ASSERT_EQ(runGen("clip " + quote(a_) + common + " --omit 7 --damage 5:a:0.3,6:f:0.02 --audio-errors 9:1:40").status,
                  0);
        ASSERT_EQ(runGen("clip " + quote(b_) + common + " --container rawdv --first 3 --damage 5:c:0.3@0.5,9:2:0.5").status,
                  0);
    }
    TempDir tmp_;
    std::string src_ = tmp_.file("source.dv"), a_ = tmp_.file("a.avi"), b_ = tmp_.file("b.dv");
};

TEST_F(MergeCli, TwoDamagedTransfersGiveTheUndamagedTape) {
    const std::string out = tmp_.file("merged.dv"), report = tmp_.file("merged.csv");
    auto r = runZorv("merge " + quote(a_) + " " + quote(b_) + " -o " + quote(out) + " --report " + quote(report));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("20 frames written, 16 held by more than one transfer, 2 repaired, 0 still damaged"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(readText(out), readText(src_));  // byte for byte

    auto rows = lines(readText(report));
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0],
              "frame,timecode,recorded,base,before,after,damaged_blocks_after,audio_errors_after,"
              "frame_1,blocks_1,frame_2,blocks_2");
    EXPECT_EQ(rows[1], "0,00:00:00:00,2011-06-15 10:30:00,1,ok,ok,0,0,0,1800,-1,0");  // before B starts
    EXPECT_EQ(rows[6], "5,00:00:00:05,2011-06-15 10:30:00,1,concealed,ok,0,0,5,1314,2,486");
    EXPECT_EQ(rows[8], "7,00:00:00:07,2011-06-15 10:30:00,2,ok,ok,0,0,-1,0,4,1800");  // lost by A
    EXPECT_EQ(rows[10], "9,00:00:00:09,2011-06-15 10:30:00,1,audio,ok,0,0,8,1760,6,40");

    // The same into an AVI Type 1 file, which ffprobe reads as 20 frames.
    const std::string avi = tmp_.file("merged.avi");
    r = runZorv("merge " + quote(b_) + " " + quote(a_) + " -o " + quote(avi));
    ASSERT_EQ(r.status, 0) << r.out;
    auto probe = runCommand(
        "ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames "
        "-of csv=p=0 " +
            quote(avi),
        false);
    EXPECT_EQ(probe.out, "20\n");
}

TEST_F(MergeCli, BlocksNoTransferHasIntactComeFromTheLeastDamagedFrame) {
    // C is damaged where A is (frame 5, more of it): frame 5's first 30 % stays concealed.
    const std::string c = tmp_.file("c.dv");
    ASSERT_EQ(runGen("clip " + quote(c) + " --frames 20 --audio tone --container rawdv --damage 5:2:0.4").status, 0);
    const std::string out = tmp_.file("m.dv"), report = tmp_.file("m.json");
    auto r = runZorv("merge " + quote(c) + " " + quote(a_) + " -o " + quote(out) + " --report " + quote(report));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string j = readText(report);
    EXPECT_NE(j.find("{\"frame\":5,\"timecode\":\"00:00:00:05\",\"recorded\":\"2011-06-15 10:30:00\",\"base\":2,"
                     "\"before\":\"concealed\",\"after\":\"concealed\",\"damaged_blocks_after\":486,"
                     "\"audio_errors_after\":0,\"sources\":[{\"frame\":5,\"blocks\":0},{\"frame\":5,\"blocks\":1800}]}"),
              std::string::npos)
        << j;
    EXPECT_NE(j.find("\"summary\":{\"frames\":20,"), std::string::npos);
    // A refused merge (output exists) leaves the file and the report as they were.
    std::ofstream(out) << "keep";
    r = runZorv("merge " + quote(c) + " " + quote(a_) + " -o " + quote(out));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(readText(out), "keep");
    r = runZorv("merge " + quote(c) + " " + quote(c) + " -o " + quote(c) + " --overwrite");
    EXPECT_NE(r.status, 0);  // never the input
}

}  // namespace
