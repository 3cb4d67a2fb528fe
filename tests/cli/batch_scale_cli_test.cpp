// zorv batch over lists as an archive scripts it: odd file names from a list file and from standard
// input, results lines that a killed run leaves whole, resuming after SIGKILL, and a list split into
// slices run by GNU parallel whose merged results equal one run's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "cli_run.h"
#include "core/json_text.h"

namespace zorv::testing {
namespace {

namespace fs = std::filesystem;

// One line of a results file, as read by an independent program would read it.
struct Rec {
    std::string path, outcome, message;
    std::vector<std::pair<std::string, int64_t>> outputs;
    int64_t frames = -1;
    bool doneEarlier = false;
};

// Every line of the file; a line that is not a whole record counts in `unreadable`.
std::vector<Rec> readRecords(const std::string& path, int64_t* unreadable = nullptr) {
    std::vector<Rec> out;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::string line;
    int64_t bad = 0;
    while (std::getline(in, line)) {
        const auto v = core::parseJson(line);
        const core::JsonValue* outputs = v ? v->find("outputs") : nullptr;
        if (!v || !v->stringAt("path") || !v->stringAt("outcome") || !v->numberAt("seconds") || !outputs) {
            ++bad;
            continue;
        }
        Rec r{*v->stringAt("path"), *v->stringAt("outcome"), v->stringAt("message").value_or("?"), {}, -1, false};
        for (const auto& o : outputs->items)
            r.outputs.emplace_back(o.stringAt("path").value_or("?"), static_cast<int64_t>(o.numberAt("size").value_or(-2)));
        if (auto frames = v->numberAt("frames")) r.frames = static_cast<int64_t>(*frames);
        r.doneEarlier = v->find("done_earlier") && v->find("done_earlier")->boolean;
        out.push_back(std::move(r));
    }
    if (unreadable) *unreadable = bad;
    else EXPECT_EQ(bad, 0) << path;
    return out;
}

std::map<std::string, Rec> byPath(const std::vector<Rec>& records) {
    std::map<std::string, Rec> out;
    for (const auto& r : records) out[r.path] = r;
    return out;
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(BatchScaleCli, OddNamesFromAListFileAndFromStandardInput) {
    TempDir dir;
    const std::vector<std::string> names = {" lead space.avi", "-dash.avi", "Bänd 東京 ü.avi", "#hash.avi"};
    std::string list = "# tapes of box 12\n\n";
    for (const auto& n : names) {
        ASSERT_EQ(runGen("clip " + quote(dir.file(n)) + " --frames 5").status, 0);
        list += (n[0] == '#' ? "./" : "") + dir.file(n).substr(dir.path().string().size() + 1) + "\r\n";
    }
    writeText(dir.file("list.txt"), list);
    fs::create_directory(dir.file("out1"));
    fs::create_directory(dir.file("out2"));
    const std::string cd = "cd " + quote(dir.path().string()) + " && ";

    RunResult r = runCommand(cd + ZORV_CLI_PATH + " batch --op modify --out out1 --from list.txt --results r1.jsonl");
    ASSERT_EQ(r.status, 0) << r.out;
    r = runCommand(cd + "cat list.txt | " + ZORV_CLI_PATH + " batch --op modify --out out2 --from - --results r2.jsonl");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* results : {"r1.jsonl", "r2.jsonl"}) {
        const auto records = byPath(readRecords(dir.file(results)));
        ASSERT_EQ(records.size(), names.size()) << results;
        for (const auto& n : names) {
            const Rec& rec = records.at(dir.file(n));
            EXPECT_EQ(rec.outcome, "done") << n;
            ASSERT_EQ(rec.outputs.size(), 1u) << n;
            EXPECT_EQ(fs::path(rec.outputs[0].first).filename().string(), fs::path(n).stem().string() + "-mod.avi");
            EXPECT_EQ(rec.outputs[0].second, static_cast<int64_t>(fs::file_size(rec.outputs[0].first)));
        }
    }
    // On the command line a leading dash needs "--" or a folder in front.
    r = runCommand(cd + ZORV_CLI_PATH + " batch --op modify --out out1 --results r3.jsonl -- -dash.avi");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readRecords(dir.file("r3.jsonl")).at(0).outputs.at(0).first, dir.file("out1/-dash-mod (1).avi"));
}

// A batch killed by SIGKILL while it works on a file, then resumed from its results.
class BatchKilled : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kFiles; ++i) {
            const std::string clip = dir.file("in/tape" + std::to_string(i) + ".avi");
            if (i == 0) fs::create_directories(dir.file("in"));
            ASSERT_EQ(runGen("clip " + quote(clip) + " --frames 150").status, 0);
            list += clip + "\n";
        }
        writeText(dir.file("list.txt"), list);
        fs::create_directory(dir.file("out"));
    }
    std::string batchCommand(const std::string& extra) const {
        return std::string(ZORV_CLI_PATH) + " batch --op modify --out " + quote(dir.file("out")) + " --from " +
               quote(dir.file("list.txt")) + " --results " + quote(results()) + " " + extra;
    }
    std::string results() const { return dir.file("results.jsonl"); }
    size_t lineCount() const {
        std::ifstream in(results());
        return static_cast<size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    }

    static constexpr int kFiles = 6;
    TempDir dir;
    std::string list;
};

TEST_F(BatchKilled, KilledRunLeavesWholeLinesAndResumeRedoesOnlyTheUnfinishedFiles) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + batchCommand(">/dev/null 2>&1")).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (lineCount() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);

    int64_t unreadable = 0;
    const auto first = readRecords(results(), &unreadable);
    EXPECT_EQ(unreadable, 0);
    ASSERT_GE(first.size(), 1u);
    std::set<std::string> doneFirst;
    for (const auto& rec : first) {
        EXPECT_EQ(rec.outcome, "done") << rec.message;
        ASSERT_EQ(rec.outputs.size(), 1u);
        EXPECT_EQ(static_cast<int64_t>(fs::file_size(rec.outputs[0].first)), rec.outputs[0].second);
        doneFirst.insert(rec.path);
    }
    if (doneFirst.size() == kFiles) GTEST_SKIP() << "the batch finished before it could be killed";

    const RunResult r = runCommand(batchCommand("--resume " + quote(results())));
    ASSERT_EQ(r.status, 0) << r.out;
    const auto all = readRecords(results());
    ASSERT_EQ(all.size(), first.size() + kFiles);
    std::set<std::string> redone;
    for (size_t i = first.size(); i < all.size(); ++i) {
        const Rec& rec = all[i];
        if (doneFirst.count(rec.path)) {
            EXPECT_EQ(rec.outcome, "skipped");
            EXPECT_EQ(rec.message, "done in an earlier run");
            EXPECT_TRUE(rec.doneEarlier);
        } else {
            EXPECT_EQ(rec.outcome, "done") << rec.path;
            redone.insert(rec.path);
        }
    }
    EXPECT_EQ(redone.size() + doneFirst.size(), static_cast<size_t>(kFiles));
    // Every tape's recorded output (from the first run or the resumed one) is whole: equal to what a
    // clean run writes.
    std::map<std::string, std::string> recorded;
    for (const Rec& rec : all) recorded[rec.path] = rec.outputs.at(0).first;
    fs::create_directory(dir.file("clean"));
    ASSERT_EQ(runZorv("batch --op modify --out " + quote(dir.file("clean")) + " --from " + quote(dir.file("list.txt")) +
                      " --results " + quote(dir.file("clean.jsonl")))
                  .status,
              0);
    for (const Rec& clean : readRecords(dir.file("clean.jsonl")))
        EXPECT_EQ(runCommand("cmp -s " + quote(recorded.at(clean.path)) + " " + quote(clean.outputs.at(0).first)).status, 0)
            << clean.path;
}

// The records without their timing, the output folder replaced by OUT, as sorted lines.
std::vector<std::string> comparable(const std::vector<Rec>& records, const std::string& folder) {
    std::vector<std::string> out;
    for (const Rec& r : records) {
        std::string line = r.path + "|" + r.outcome + "|" + r.message + "|" + std::to_string(r.frames) + "|" +
                           std::to_string(r.doneEarlier);
        for (const auto& [path, size] : r.outputs)
            line +=
                "|" + (path.rfind(folder, 0) == 0 ? "OUT" + path.substr(folder.size()) : path) + ":" + std::to_string(size);
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(BatchScaleCli, SlicesRunByGnuParallelMergeToTheSingleRunsResults) {
    if (runCommand("parallel --version").status != 0) GTEST_SKIP() << "GNU parallel is not installed";
    TempDir dir;
    fs::create_directories(dir.file("in"));
    std::string list;
    const std::vector<std::pair<std::string, std::string>> inputs = {{"a.avi", "clip"},
                                                                     {"b.avi", "clip --container avi2"},
                                                                     {"c.dv", "clip --container rawdv"},
                                                                     {"d.m2t", "hdv --frames 30"},
                                                                     {"e.avi", "clip --frames 3"}};
    for (const auto& [name, gen] : inputs) {
        const std::string path = dir.file("in/" + name);
        const std::string args = gen.find("--frames") == std::string::npos ? gen + " --frames 5" : gen;
        ASSERT_EQ(runGen(args.substr(0, args.find(' ')) + " " + quote(path) + args.substr(args.find(' '))).status, 0);
        list += path + "\n";
    }
    writeText(dir.file("in/notes.txt"), "not a recording\n");
    list += dir.file("in/notes.txt") + "\n" + dir.file("in/missing.avi") + "\n";
    writeText(dir.file("list.txt"), list);
    for (const char* f : {"single", "sliced", "merged"}) fs::create_directory(dir.file(f));

    const std::string zorv = ZORV_CLI_PATH;
    const std::string common = " batch --op avi1 --from " + quote(dir.file("list.txt"));
    RunResult r = runCommand(zorv + common + " --out " + quote(dir.file("single")) + " --results " +
                             quote(dir.file("single.jsonl")) + " >/dev/null");
    ASSERT_EQ(r.status, 1) << r.out;  // the missing and the unrecognised file fail
    // Three slices on the local machine as parallel's ssh login ":", two at a time, each writing its
    // own results file.
    r = runCommand("parallel --will-cite -S 2/: " + zorv + common + " --out " + quote(dir.file("sliced")) +
                   " --slice {}/3 --results " + quote(dir.file("slice-{}.jsonl")) + " '>/dev/null' ::: 1 2 3");
    EXPECT_EQ(r.status, 2) << r.out;  // parallel: two jobs failed (the slices with the failing files)
    r = runZorv("batch --merge-results --out " + quote(dir.file("merged")) + " --results " +
                quote(dir.file("merged.jsonl")) + " --from " + quote(dir.file("list.txt")) + " " +
                quote(dir.file("slice-1.jsonl")) + " " + quote(dir.file("slice-2.jsonl")) + " " +
                quote(dir.file("slice-3.jsonl")));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("2 done, 3 skipped, 2 failed, 0 without a result"), std::string::npos) << r.out;

    const auto single = readRecords(dir.file("single.jsonl"));
    const auto merged = readRecords(dir.file("merged.jsonl"));
    ASSERT_EQ(single.size(), 7u);
    EXPECT_EQ(comparable(merged, dir.file("sliced")), comparable(single, dir.file("single")));
    // The merged lines follow the list.
    std::string order;
    for (const Rec& rec : merged) order += rec.path + "\n";
    EXPECT_EQ(order, list);
    const std::string log = [&] {
        std::ifstream in(dir.file("merged/Batch-log.txt"), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }();
    EXPECT_NE(log.find("Processing file: " + dir.file("in/b.avi") + "\r\nOutput file: " + dir.file("sliced/b-conv.avi") +
                       "\r\nConversion Complete\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Processing file: " + dir.file("in/a.avi") +
                       "\r\nFile skipped - conversion to same file type was requested\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace zorv::testing
