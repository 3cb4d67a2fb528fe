// The output rules every writing command follows, on generated DV, HDV and AVCHD files: an output
// that is the input by any name is refused and the input stays byte for byte; a failed, cancelled or
// interrupted run leaves no partial output, no temporary file and any old file of the output's name
// as it was; "-o -" writes text to standard output; "--" ends the options.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_run.h"
#include "gen/media_cache.h"
#include "gen/file_bytes.h"

using zorv::testing::quote;
using zorv::testing::runCommand;
using zorv::testing::runGen;
using zorv::testing::RunResult;
using zorv::testing::TempDir;

namespace fs = std::filesystem;

extern char** environ;

namespace {

std::string slurp(const fs::path& path) { return zorv::gen::fileBytes(path); }

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// Names in dir that are temporary outputs.
std::vector<std::string> temporaries(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (contains(e.path().filename().string(), ".zorv-")) out.push_back(e.path().filename().string());
    return out;
}

// zorv run in dir, with stdin that is not a terminal.
RunResult zorvIn(const fs::path& dir, const std::string& args) {
    return runCommand("cd " + quote(dir.string()) + " && " + ZORV_CLI_PATH + " " + args + " </dev/null");
}

// One generated file of each kind, made once for the whole suite.
class OutputRules : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dv_ = zorv::gen::cachedMedia("dv.avi", "clip {} --frames 10 --audio tone");
        hdv_ = zorv::gen::cachedMedia("hdv.m2t", "hdv {} --frames 40");
        avchd_ = zorv::gen::cachedMedia("avchd.mts", "avchd {} --frames 40");
    }
    void SetUp() override { ASSERT_TRUE(!dv_.empty() && !hdv_.empty() && !avchd_.empty()) << "zorv-gen failed"; }
    static std::string source(const std::string& name) { return name == "dv.avi" ? dv_ : name == "hdv.m2t" ? hdv_ : avchd_; }

    static std::string dv_, hdv_, avchd_;
};

std::string OutputRules::dv_, OutputRules::hdv_, OutputRules::avchd_;

// Every command that writes an output file, with the kind of file it reads.
struct Tool {
    const char* input;  // dv.avi, hdv.m2t or avchd.mts
    const char* args;   // before "-o OUT"
};
const Tool kTools[] = {
    {"dv.avi", "convert --to avi1"},
    {"dv.avi", "convert --to avi2"},
    {"dv.avi", "convert --to dv"},
    {"dv.avi", "extract-audio"},
    {"dv.avi", "export"},
    {"dv.avi", "subtitles"},
    {"dv.avi", "burn"},
    {"dv.avi", "modify --timecode-start 01:00:00:00"},
    {"hdv.m2t", "extract-audio"},
    {"hdv.m2t", "export"},
    {"hdv.m2t", "subtitles"},
    {"hdv.m2t", "burn"},
    {"avchd.mts", "extract-audio"},
    {"avchd.mts", "export"},
    {"avchd.mts", "subtitles"},
    {"avchd.mts", "burn"},
    {"avchd.mts", "gpx"},
};

TEST_F(OutputRules, AnOutputThatIsTheInputByAnyNameIsRefusedAndTheInputStaysAsItWas) {
    TempDir dir;
    for (const Tool& t : kTools) {
        const std::string in = t.input;
        fs::copy_file(source(in), dir.file(in), fs::copy_options::overwrite_existing);
        const std::string before = slurp(dir.file(in));
        fs::remove(dir.file("link"));
        fs::remove(dir.file("hard"));
        fs::create_symlink(in, dir.file("link"));
        fs::create_hard_link(dir.file(in), dir.file("hard"));
        for (const std::string out : {in, "./" + in, std::string("link"), std::string("hard")}) {
            SCOPED_TRACE(std::string(t.args) + " -o " + out);
            const RunResult r = zorvIn(dir.path(), std::string(t.args) + " -o " + out + " --overwrite " + in);
            EXPECT_NE(r.status, 0) << r.out;
            EXPECT_TRUE(contains(r.out, "The output file is the input file: " + out + " is " + in)) << r.out;
            EXPECT_EQ(slurp(dir.file(in)), before);
            EXPECT_TRUE(temporaries(dir.path()).empty());
        }
    }
}

TEST_F(OutputRules, AFailedRunLeavesTheOldOutputAndNoTemporaryFile) {
    TempDir dir;
    // Inputs that every tool gives up on after its output was created: a DV AVI cut inside its
    // header and transport streams without a picture.
    const std::string dv = slurp(source("dv.avi"));
    std::ofstream(dir.file("dv.avi"), std::ios::binary) << dv.substr(0, 300);
    const std::string garbage(188 * 40, '\x47');
    std::ofstream(dir.file("hdv.m2t"), std::ios::binary) << garbage;
    std::ofstream(dir.file("avchd.mts"), std::ios::binary) << garbage;
    for (const Tool& t : kTools) {
        SCOPED_TRACE(std::string(t.args) + " " + t.input);
        std::ofstream(dir.file("old.out")) << "keep me";
        const RunResult r = zorvIn(dir.path(), std::string(t.args) + " -o old.out --overwrite " + t.input);
        EXPECT_NE(r.status, 0) << r.out;
        EXPECT_EQ(slurp(dir.file("old.out")), "keep me");
        EXPECT_TRUE(temporaries(dir.path()).empty());
    }
}

TEST_F(OutputRules, OverwriteReplacesTheOldOutputWithTheCompleteOne) {
    TempDir dir;
    fs::copy_file(source("dv.avi"), dir.file("dv.avi"));
    std::ofstream(dir.file("out.avi")) << "old";
    fs::create_symlink("out.avi", dir.file("out-link.avi"));
    // Through a link the file behind it is replaced and the link stays.
    RunResult r = zorvIn(dir.path(), "convert --to avi2 -o out-link.avi --overwrite dv.avi");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::is_symlink(dir.file("out-link.avi")));
    r = runCommand("ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 " +
                   quote(dir.file("out.avi")));
    EXPECT_EQ(r.out, "10\n");
    EXPECT_TRUE(temporaries(dir.path()).empty());
}

TEST_F(OutputRules, GpxNeedsOverwriteLikeEveryCommand) {
    TempDir dir;
    fs::copy_file(source("avchd.mts"), dir.file("b.mts"));
    std::ofstream(dir.file("track.gpx")) << "old track";
    RunResult r = zorvIn(dir.path(), "gpx -o track.gpx b.mts");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(contains(r.out, "The output file already exists: track.gpx (use --overwrite)")) << r.out;
    EXPECT_EQ(slurp(dir.file("track.gpx")), "old track");
    r = zorvIn(dir.path(), "gpx -o track.gpx --overwrite b.mts");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(slurp(dir.file("track.gpx")).rfind("<?xml", 0), 0u);
}

TEST_F(OutputRules, DashWritesTextToStandardOutput) {
    TempDir dir;
    fs::copy_file(source("dv.avi"), dir.file("dv.avi"));
    fs::copy_file(source("avchd.mts"), dir.file("b.mts"));
    const struct {
        const char* args;
        const char* input;
    } cases[] = {{"export --mode all", "dv.avi"},
                 {"subtitles", "dv.avi"},
                 {"export", "b.mts"},
                 {"subtitles --format vtt", "b.mts"},
                 {"gpx", "b.mts"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string base = std::string(c.args) + " " + c.input;
        ASSERT_EQ(zorvIn(dir.path(), std::string(c.args) + " -o file.txt --overwrite " + c.input).status, 0);
        const RunResult r = runCommand(
            "cd " + quote(dir.path().string()) + " && " + ZORV_CLI_PATH + " " + std::string(c.args) + " -o - " + c.input,
            /*mergeStderr=*/false);
        EXPECT_EQ(r.status, 0);
        EXPECT_FALSE(slurp(dir.file("file.txt")).empty());
        EXPECT_EQ(r.out, slurp(dir.file("file.txt")));
        EXPECT_FALSE(fs::exists(dir.file("-")));
    }
}

TEST_F(OutputRules, DoubleDashEndsTheOptions) {
    TempDir dir;
    fs::copy_file(source("dv.avi"), dir.file("-x.avi"));
    RunResult r = zorvIn(dir.path(), "convert --to dv -- -x.avi");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(fs::file_size(dir.file("-x-conv.dv")), 10u * 144000u);
    r = zorvIn(dir.path(), "extract-audio -o -y.wav -- -x.avi");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(slurp(dir.file("-y.wav")).substr(0, 4), "RIFF");
    r = zorvIn(dir.path(), "export --mode all --frame-numbers -o - -- -x.avi");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "\n9,")) << r.out;
    r = zorvIn(dir.path(), "info -- -x.avi");
    EXPECT_EQ(r.status, 0) << r.out;
    // Without "--" the name is still taken for an option.
    EXPECT_EQ(zorvIn(dir.path(), "convert --to dv -x.avi").status, 2);
}

// Starts zorv in dir, waits until it writes its temporary output, then delivers signals while it is
// stopped so that they arrive during the run. Returns the wait status.
int interruptRun(const fs::path& dir, const std::vector<std::string>& args, const std::vector<int>& signals) {
    std::vector<std::string> argv = {ZORV_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, ZORV_CLI_PATH, &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    fs::current_path(cwd);
    if (rc != 0) return -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // The run has begun writing when its temporary file has grown.
    auto writing = [&] {
        for (const std::string& t : temporaries(dir)) {
            std::error_code ec;
            if (fs::file_size(dir / t, ec) > 0 && !ec) return true;
        }
        return false;
    };
    while (!writing() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(pid, SIGSTOP);
    for (int sig : signals) ::kill(pid, sig);
    ::kill(pid, SIGCONT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST_F(OutputRules, SignalsCancelTheRunAndLeaveWhatWasThere) {
    TempDir dir;
    ASSERT_EQ(runGen("clip " + quote(dir.file("long.avi")) + " --frames 100").status, 0);
    const struct {
        std::vector<int> signals;
        bool twice;  // the first cancels the run (exit status 1); a second ends it at once (128 + signal)
    } cases[] = {{{SIGINT}, false}, {{SIGTERM}, false}, {{SIGHUP}, false}, {{SIGINT, SIGTERM}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signals.front());
        std::ofstream(dir.file("out.avi")) << "keep me";
        const int st = interruptRun(dir.path(), {"burn", "-o", "out.avi", "--overwrite", "long.avi"}, c.signals);
        ASSERT_TRUE(WIFEXITED(st)) << st;
        if (c.twice) EXPECT_TRUE(WEXITSTATUS(st) == 128 + SIGINT || WEXITSTATUS(st) == 128 + SIGTERM) << WEXITSTATUS(st);
        else EXPECT_EQ(WEXITSTATUS(st), 1);
        EXPECT_EQ(slurp(dir.file("out.avi")), "keep me");
        EXPECT_TRUE(temporaries(dir.path()).empty());
    }
}

}  // namespace
