// A capture interrupted the hard way (SIGKILL, SIGTERM, SIGHUP, a full disk) leaves AVI files that
// this project's reader and ffprobe open, with every frame written up to about a second before the
// interruption, each equal to the tape's; later sessions add to the log and batch list of earlier ones.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "capture_test_util.h"
#include "tools/avi_repair.h"

namespace zorv::capture::testing {
namespace {

// Starts `zorv capture` with the arguments; returns its process id.
pid_t startCapture(const std::vector<std::string>& args, const std::string& outputFile) {
    pid_t pid = ::fork();
    if (pid == 0) {
        std::FILE* out = std::freopen(outputFile.c_str(), "w", stdout);
        (void)out;
        ::dup2(STDOUT_FILENO, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(ZORV_CLI_PATH), const_cast<char*>("capture")};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(ZORV_CLI_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

int reap(pid_t pid, int* signal = nullptr) {
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (signal) *signal = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

long ffprobeFrames(const std::string& path) {
    std::string cmd =
        "ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames "
        "-of default=nw=1:nk=1 '" +
        path + "' 2>&1";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[128] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, p);
    int st = ::pclose(p);
    return st == 0 && n > 0 ? std::strtol(buf, nullptr, 10) : -1;
}

bool haveFfprobe() { return std::system("command -v ffprobe >/dev/null 2>&1") == 0; }

// The file as left: both readers agree on its frames, which are the tape's first frames; the frames
// whose chunks are on disk but not yet indexed are at most about a second's worth.
void checkLeftFile(const std::string& path, const std::vector<uint64_t>& tape, int fps) {
    SCOPED_TRACE(path);
    const std::vector<uint64_t> frames = fileFrames(path);
    ASSERT_GT(frames.size(), 0u);
    ASSERT_LE(frames.size(), tape.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), tape.begin()));
    tools::RepairResult onDisk;
    ASSERT_TRUE(tools::repairDvAvi(path, path + ".all.avi", &onDisk));
    EXPECT_LE(onDisk.frames - int64_t(frames.size()), fps + 2) << "frames on disk but not indexed";
    // ffmpeg reads on past the index, through the whole frames written since.
    if (haveFfprobe()) {
        const long seen = ffprobeFrames(path);
        EXPECT_GE(seen, long(frames.size()));
        EXPECT_LE(seen, long(onDisk.frames));
    }
    const std::vector<uint64_t> all = fileFrames(path + ".all.avi");
    EXPECT_TRUE(std::equal(all.begin(), all.end(), tape.begin()));
}

class CaptureInterrupt : public CaptureTest {
protected:
    std::string at(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(CaptureInterrupt, KilledOrTerminatedCaptureLeavesReadableFiles) {
    gen::ClipSpec desc = gen::palClip(200);
    desc.audio.tone = true;
    const std::string tape = at("tape.avi");
    ASSERT_TRUE(gen::writeClip(desc, tape, gen::Container::Avi2));
    const std::vector<uint64_t> tapeFrames = fileFrames(tape);
    struct Point {
        int signal;
        int afterMs;
        const char* type;
    };
    for (const Point& p : {Point{SIGKILL, 1300, "avi2"}, Point{SIGKILL, 2300, "avi1"}, Point{SIGTERM, 1500, "avi2"},
                           Point{SIGHUP, 1100, "avi1"}}) {
        SCOPED_TRACE(std::to_string(p.signal) + " after " + std::to_string(p.afterMs) + " ms");
        const std::string stem = at("cap" + std::to_string(p.signal) + "_" + std::to_string(p.afterMs));
        pid_t pid =
            startCapture({"--device", "sim:" + tape, "--out", stem, "--split", "off", "--type", p.type}, stem + ".out");
        std::this_thread::sleep_for(std::chrono::milliseconds(p.afterMs));
        ::kill(pid, p.signal);
        int signal = 0;
        int status = reap(pid, &signal);
        const std::string file = stem + ".avi";
        ASSERT_TRUE(fs::exists(file)) << readText(stem + ".out");
        checkLeftFile(file, tapeFrames, 25);
        if (p.signal == SIGKILL) {
            EXPECT_EQ(signal, SIGKILL);
            continue;
        }
        // A polite stop closes everything: whole index, log and batch list.
        EXPECT_EQ(status, 0) << readText(stem + ".out");
        tools::RepairResult onDisk;
        ASSERT_TRUE(tools::repairDvAvi(file, file + ".all2.avi", &onDisk));
        EXPECT_EQ(int64_t(fileFrames(file).size()), onDisk.frames);
        EXPECT_EQ(countOf(readText(stem + ".log"), "Capture ended"), 1);
        EXPECT_EQ(countOf(readText(stem + ".csv"), "\r\n"), 1);
    }
}

// A small disk: the capture stops before the disk is full and its file is whole.
TEST_F(CaptureInterrupt, FullDiskStopsCleanly) {
    const std::string mnt = at("small");
    fs::create_directories(mnt);
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=27m") != 0) GTEST_SKIP() << "cannot mount a small tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mnt};
    gen::ClipSpec desc = gen::palClip(120);
    desc.audio.tone = true;
    const std::string tape = at("tape.avi");
    ASSERT_TRUE(gen::writeClip(desc, tape, gen::Container::Avi1));
    const std::vector<uint64_t> tapeFrames = fileFrames(tape);
    const std::string stem = mnt + "/tape";
    pid_t pid = startCapture({"--device", "sim:" + tape, "--out", stem, "--split", "off", "--fast"}, at("full.out"));
    const int status = reap(pid);
    const std::string out = readText(at("full.out"));
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("Insufficient disk space available"), std::string::npos) << out;
    const std::vector<uint64_t> frames = fileFrames(stem + ".avi");
    EXPECT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), tapeFrames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), tapeFrames.begin()));
    if (haveFfprobe()) {
        EXPECT_EQ(ffprobeFrames(stem + ".avi"), long(frames.size()));
    }
    const std::string log = readText(stem + ".log");
    EXPECT_NE(log.find("Error: Insufficient disk space available"), std::string::npos) << log;
    EXPECT_NE(log.find("Capture ended"), std::string::npos) << log;
    EXPECT_EQ(countOf(readText(stem + ".csv"), "\r\n"), 1);
}

// Two sessions to one base: both are in the log and in the batch list; dropped frames give exit
// status 3 and their count in the log.
TEST_F(CaptureInterrupt, LaterSessionsAppendAndDroppedFramesAreReported) {
    gen::ClipSpec desc = gen::palClip(30);
    const std::string tape = at("tape.avi");
    ASSERT_TRUE(gen::writeClip(desc, tape, gen::Container::Avi2));
    const std::string stem = at("Tape");
    for (int run = 0; run < 2; ++run) {
        pid_t pid =
            startCapture({"--device", "sim:" + tape, "--out", stem, "--fast", "--stop-after-idle", "1"}, at("run.out"));
        EXPECT_EQ(reap(pid), 0) << readText(at("run.out"));
    }
    const std::string log = readText(stem + ".log");
    EXPECT_EQ(countOf(log, "Capture started"), 2);
    EXPECT_EQ(countOf(log, "Capture ended"), 2);
    EXPECT_NE(log.find("Tape 0001.avi"), std::string::npos);
    EXPECT_NE(log.find("Tape 0002.avi"), std::string::npos);
    const std::string csv = readText(stem + ".csv");
    EXPECT_NE(csv.find("\"Tape 0001.avi\""), std::string::npos) << csv;
    EXPECT_NE(csv.find("\"Tape 0002.avi\""), std::string::npos) << csv;

    pid_t pid =
        startCapture({"--device", "sim:" + tape, "--out", at("Drop"), "--fast", "--stop-after-idle", "1", "--sim-drop", "3"},
                     at("drop.out"));
    EXPECT_EQ(reap(pid), 3) << readText(at("drop.out"));
    EXPECT_NE(readText(at("Drop.log")).find("Dropped frames: 3\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zorv::capture::testing
