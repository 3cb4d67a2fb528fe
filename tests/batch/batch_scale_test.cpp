// Batches at archive scale: lists read from text, slices, the JSON results lines (written, torn,
// read back), resuming from them, merging several runs' results, the progress line, and the
// runner's per-file results and its skipping of files an earlier run finished.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "batch/batch_list.h"
#include "batch/batch_progress.h"
#include "batch/batch_results.h"
#include "batch/batch_runner.h"
#include "batch_test_media.h"
#include "core/json_text.h"

namespace zorv::batch {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

TEST(BatchList, KeepsOddNamesAsWrittenAndDropsBlanksCommentsAndRepeats) {
    struct Case {
        std::string text;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"a.avi\nb.avi\n", {"a.avi", "b.avi"}},
        {"a.avi\r\n\r\n  \t\n# a comment\nb.avi", {"a.avi", "b.avi"}},
        {" lead space.avi\ntrail space.avi \n", {" lead space.avi", "trail space.avi "}},
        {"-dash.avi\n--op.avi\n", {"-dash.avi", "--op.avi"}},
        {"Bänd 東京 ü.avi\n", {"Bänd 東京 ü.avi"}},
        {"./#hash.avi\n#hash.avi\n", {"./#hash.avi"}},
        {"name\x80\xff.avi\n", {"name\x80\xff.avi"}},
        {"a.avi\nb.avi\na.avi\n", {"a.avi", "b.avi"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> paths;
        ASSERT_TRUE(parseFileList(c.text, paths)) << c.text;
        EXPECT_EQ(paths, c.paths) << c.text;
    }
    std::vector<std::string> paths;
    const core::Status s = parseFileList(std::string("a.avi\nb\0c.avi\n", 14), paths);
    EXPECT_EQ(s.message, "Not a list of paths (NUL byte on line 2): give one path per line");
    EXPECT_TRUE(paths.empty());
}

TEST(BatchList, SlicesCoverEveryFileExactlyOnce) {
    for (const char* bad : {"0/2", "3/2", "1/0", "1", "a/b", "1/2/3", "-1/2", "2/1000001", ""})
        EXPECT_FALSE(parseSlice(bad)) << bad;
    ASSERT_TRUE(parseSlice("2/3"));
    EXPECT_EQ(parseSlice("2/3")->index, 2);
    EXPECT_EQ(parseSlice("2/3")->count, 3);

    for (size_t files : {0, 1, 5, 7, 12}) {
        std::vector<std::string> list;
        for (size_t i = 0; i < files; ++i) list.push_back("f" + std::to_string(i));
        for (int n = 1; n <= 5; ++n) {
            std::multiset<std::string> seen;
            size_t largest = 0, smallest = files;
            for (int k = 1; k <= n; ++k) {
                const auto part = takeSlice(list, {k, n});
                EXPECT_EQ(part, takeSlice(list, {k, n}));  // the same slice every time
                seen.insert(part.begin(), part.end());
                largest = std::max(largest, part.size());
                smallest = std::min(smallest, part.size());
            }
            EXPECT_EQ(seen, std::multiset<std::string>(list.begin(), list.end())) << files << " files, " << n;
            EXPECT_LE(largest - smallest, 1u);
        }
    }
}

FileResult sampleResult() {
    FileResult r;
    r.path = "/in/Tape \"7\" \\ 東京\n\x80.avi";
    r.outcome = FileOutcome::kDone;
    r.message = "Metadata export complete";
    r.outputs = {{"/out/a.csv", 5120}, {"/out/b\t.csv", 0}};
    r.frames = 250;
    r.seconds = 1.25;
    return r;
}

TEST(BatchResults, LinesReadBackExactlyAndTornLinesAreNoRecord) {
    for (FileOutcome o : {FileOutcome::kDone, FileOutcome::kSkipped, FileOutcome::kFailed}) {
        ResultRecord rec{"export", sampleResult()};
        rec.result.outcome = o;
        rec.result.frames = o == FileOutcome::kFailed ? -1 : 250;
        rec.result.doneEarlier = o == FileOutcome::kSkipped;
        const std::string line = resultLine(rec);
        ASSERT_TRUE(core::parseJson(line)) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const auto back = parseResultLine(line);
        ASSERT_TRUE(back) << line;
        EXPECT_EQ(back->operation, "export");
        EXPECT_EQ(back->result.path, rec.result.path);
        EXPECT_EQ(back->result.outcome, o);
        EXPECT_EQ(back->result.doneEarlier, rec.result.doneEarlier);
        EXPECT_EQ(back->result.message, rec.result.message);
        ASSERT_EQ(back->result.outputs.size(), 2u);
        EXPECT_EQ(back->result.outputs[1].path, "/out/b\t.csv");
        EXPECT_EQ(back->result.outputs[0].size, 5120);
        EXPECT_EQ(back->result.frames, rec.result.frames);
        EXPECT_DOUBLE_EQ(back->result.seconds, 1.25);
        for (size_t cut = 0; cut < line.size(); ++cut) EXPECT_FALSE(parseResultLine(line.substr(0, cut))) << cut;
    }
    for (const char* other : {"{}", "[1,2]",
                              "{\"path\":\"/a\",\"operation\":\"x\",\"outcome\":\"maybe\","
                              "\"message\":\"\",\"outputs\":[]}",
                              "{\"path\":\"/a\",\"operation\":\"x\",\"outcome\":\"done\",\"message\":\"\","
                              "\"outputs\":[{\"path\":\"/o\",\"size\":1.5}]}"})
        EXPECT_FALSE(parseResultLine(other)) << other;
    std::string deep(40, '[');
    EXPECT_FALSE(core::parseJson(deep + std::string(40, ']')));
    EXPECT_EQ(core::parseJson("\"\\ud83d\\ude00 \\u00e9\"")->text, "\xF0\x9F\x98\x80 \xC3\xA9");
}

TEST(BatchResults, WriterAppendsWholeLinesAndEndsATornLastLine) {
    TempFolder dir;
    const std::string path = dir.file("results.jsonl");
    {
        std::ofstream torn(path, std::ios::binary);
        torn << resultLine({"export", sampleResult()}) << "\n{\"path\":\"/in/cut";  // a run that died mid-line
    }
    ResultsWriter writer;
    ASSERT_TRUE(writer.open(path));
    ResultRecord rec{"export", sampleResult()};
    rec.result.path = "/in/next.avi";
    ASSERT_TRUE(writer.write(rec));
    ASSERT_TRUE(writer.write(rec));
    ASSERT_TRUE(writer.close());
    ResultsRead read;
    ASSERT_TRUE(readResults(path, read));
    EXPECT_EQ(read.unreadable, 1);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[2].result.path, "/in/next.avi");
}

TEST(BatchResults, ResumeTakesOnlyDoneFilesWhoseOutputsAreIntact) {
    TempFolder dir;
    auto output = [&](const std::string& name, size_t size) {
        std::ofstream(dir.file(name), std::ios::binary) << std::string(size, 'x');
        return OutputRecord{dir.file(name), static_cast<int64_t>(size)};
    };
    auto record = [](const std::string& path, FileOutcome o, std::vector<OutputRecord> outs,
                     const std::string& op = "export") {
        ResultRecord r{op, {}};
        r.result.path = path;
        r.result.outcome = o;
        r.result.outputs = std::move(outs);
        return r;
    };
    const OutputRecord good = output("good.csv", 10);
    OutputRecord shrunk = output("shrunk.csv", 10);
    shrunk.size = 11;
    ResultRecord earlierSkip = record("/in/resumed", FileOutcome::kSkipped, {good});
    earlierSkip.result.doneEarlier = true;
    const std::vector<ResultRecord> records = {
        record("/in/done", FileOutcome::kDone, {good}),
        record("/in/shrunk", FileOutcome::kDone, {shrunk}),
        record("/in/gone", FileOutcome::kDone, {{dir.file("gone.csv"), 3}}),
        record("/in/failed", FileOutcome::kFailed, {}),
        record("/in/skipped", FileOutcome::kSkipped, {}),
        record("/in/other-op", FileOutcome::kDone, {good}, "avi2"),
        record("/in/redone", FileOutcome::kFailed, {}),
        record("/in/redone", FileOutcome::kDone, {good}),
        record("/in/undone", FileOutcome::kDone, {good}),
        record("/in/undone", FileOutcome::kFailed, {}),
        earlierSkip,
    };
    const ResumeIndex index(records, "export");
    for (const char* done : {"/in/done", "/in/redone", "/in/resumed"}) EXPECT_TRUE(index.doneEarlier(done)) << done;
    for (const char* run :
         {"/in/shrunk", "/in/gone", "/in/failed", "/in/skipped", "/in/other-op", "/in/undone", "/in/never"})
        EXPECT_FALSE(index.doneEarlier(run)) << run;
    EXPECT_EQ(index.doneEarlier("/in/done")->outputs[0].path, good.path);

    // Merging: one line per file and operation, done over skipped over failed.
    const auto merged = mergeResults(records);
    std::map<std::string, FileOutcome> byPath;
    for (const auto& r : merged)
        if (r.operation == "export") byPath[r.result.path] = r.result.outcome;
    EXPECT_EQ(merged.size(), 9u);
    EXPECT_EQ(byPath["/in/redone"], FileOutcome::kDone);
    EXPECT_EQ(byPath["/in/undone"], FileOutcome::kDone);
    EXPECT_EQ(byPath["/in/failed"], FileOutcome::kFailed);
    EXPECT_TRUE(std::is_sorted(merged.begin(), merged.end(),
                               [](const auto& a, const auto& b) { return a.result.path < b.result.path; }));
}

TEST(BatchProgressLine, CountsTimesAndCurrentFile) {
    EXPECT_EQ(batchProgressLine(0, 40, 0.5, 0, "/in/a.avi"), "0/40 files  0:00:00 elapsed  -:--:-- remaining  /in/a.avi");
    EXPECT_EQ(batchProgressLine(10, 40, 90, 0.25, ""), "10/40 files  0:01:30 elapsed  0:04:30 remaining");
    EXPECT_EQ(batchProgressLine(3, 4, 3725, 0.5, "b"), "3/4 files  1:02:05 elapsed  1:02:05 remaining  b");
}

TEST(BatchRunnerResults, ReportsEachFileAsItFinishesAndSkipsFilesDoneEarlier) {
    TempFolder in, out;
    std::map<std::string, std::string> paths = {
        {"a1", in.file("Clip1.avi")}, {"raw", in.file("Tape.dv")}, {"junk", in.file("Notes.bin")}};
    ASSERT_TRUE(testing::runGen("clip '" + paths["a1"] + "' --frames 50"));
    ASSERT_TRUE(testing::runGen("clip '" + paths["raw"] + "' --frames 5 --container rawdv"));
    std::ofstream(paths["junk"]) << "not a recording";
    struct {
        const std::string& path(const std::string& name) const { return all.at(name); }
        std::map<std::string, std::string> all;
    } media{paths};
    BatchSettings settings;
    settings.op = BatchOp::kExportMetadata;
    settings.outputFolder = out.str();
    settings.jobs = 2;
    const std::vector<std::string> files = {media.path("a1"), media.path("raw"), media.path("junk"),
                                            out.file("missing.avi")};
    settings.doneEarlier = [&](const std::string& path) -> std::optional<FileResult> {
        if (path != media.path("raw")) return std::nullopt;
        FileResult earlier;
        earlier.path = path;
        earlier.outcome = FileOutcome::kDone;
        earlier.outputs = {{"/earlier/Tape.csv", 7}};
        earlier.seconds = 3;
        return earlier;
    };
    BatchRunner runner(settings);
    std::vector<FileResult> reported;
    runner.setResultCallback([&](const FileResult& r) { reported.push_back(r); });
    runner.run(files);

    ASSERT_EQ(reported.size(), files.size());
    std::map<std::string, FileResult> byPath;
    for (const auto& r : reported) byPath[r.path] = r;
    const FileResult& a1 = byPath.at(media.path("a1"));
    EXPECT_EQ(a1.outcome, FileOutcome::kDone);
    EXPECT_EQ(a1.message, "Metadata export complete");
    EXPECT_EQ(a1.frames, 50);
    ASSERT_EQ(a1.outputs.size(), 1u);
    EXPECT_EQ(a1.outputs[0].path, out.file("Clip1.csv"));
    EXPECT_EQ(a1.outputs[0].size, static_cast<int64_t>(fs::file_size(out.file("Clip1.csv"))));

    const FileResult& raw = byPath.at(media.path("raw"));
    EXPECT_EQ(raw.outcome, FileOutcome::kSkipped);
    EXPECT_TRUE(raw.doneEarlier);
    EXPECT_EQ(raw.message, "done in an earlier run");
    EXPECT_EQ(raw.outputs[0].path, "/earlier/Tape.csv");
    EXPECT_EQ(raw.seconds, 0);
    EXPECT_FALSE(fs::exists(out.file("Tape.csv")));  // not run again

    EXPECT_EQ(byPath.at(media.path("junk")).outcome, FileOutcome::kFailed);
    EXPECT_TRUE(byPath.at(media.path("junk")).outputs.empty());
    EXPECT_EQ(byPath.at(out.file("missing.avi")).message, "ERROR: File does not exist");

    const auto blocks = testing::fileBlocks(testing::logLines(testing::readText(runner.logPath())));
    EXPECT_EQ(blocks.at(media.path("raw")), std::vector<std::string>{"File skipped - done in an earlier run"});
    const auto results = runner.results();
    ASSERT_EQ(results.size(), files.size());
    EXPECT_EQ(results[0].path, media.path("a1"));
    EXPECT_EQ(results[1].outcome, FileOutcome::kSkipped);
}

}  // namespace
}  // namespace zorv::batch
