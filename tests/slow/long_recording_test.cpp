// A long tape's Raw DV file (four hours by default: 360 000 PAL frames, 51.8 GB) scanned, converted to
// AVI Type 2 and that split by the zorv command, each run in a child process whose peak resident
// memory must stay flat, far below what the file would need if any part of it were held in memory.
// The frames repeat a few real DV encodes with a running timecode; a new recording starts every five
// minutes.
// ZORV_LONG_HOURS sets the length (fractions allowed); when the disk cannot hold the file and one
// output at a time, the test shortens it to what fits and says so.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gen/clip_spec.h"
#include "gen/clip_writer.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kFps = 25;
constexpr int64_t kFrameBytes = 144000;
constexpr int64_t kRunFrames = 5 * 60 * kFps;  // a new recording every 5 minutes
constexpr int64_t kRssLimitKiB = 200 * 1024;   // 200 MiB

struct WorkDir {
    fs::path path;
    WorkDir() {
        const char* base = std::getenv("ZORV_LONG_DIR");
        path = fs::path(base ? base : fs::temp_directory_path().string()) / ("zorv_long_" + std::to_string(::getpid()));
        fs::create_directories(path);
    }
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

struct ChildRun {
    int status = -1;
    int64_t maxRssKiB = 0;
    double seconds = 0;
};

// Runs the command line in a child process with its output sent to /dev/null; its peak resident set
// comes from wait4.
ChildRun runChild(const std::vector<std::string>& args) {
    ChildRun r;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    timespec t0{}, t1{};
    ::clock_gettime(CLOCK_MONOTONIC, &t0);
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    rusage use{};
    int status = 0;
    if (pid > 0 && ::wait4(pid, &status, 0, &use) == pid) {
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.maxRssKiB = use.ru_maxrss;
    }
    ::clock_gettime(CLOCK_MONOTONIC, &t1);
    r.seconds = double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) / 1e9;
    return r;
}

void report(const char* what, const ChildRun& r, int64_t bytes) {
    std::printf("[ long ] %-8s exit %d, max RSS %.1f MiB, %.1f s, %.0f MB/s\n", what, r.status, double(r.maxRssKiB) / 1024.0,
                r.seconds, r.seconds > 0 ? double(bytes) / 1e6 / r.seconds : 0.0);
    ::testing::Test::RecordProperty(std::string(what) + "_max_rss_kib", std::to_string(r.maxRssKiB));
}

TEST(LongRecording, ScanConvertAndSplitKeepMemoryFlat) {
    WorkDir dir;
    const char* env = std::getenv("ZORV_LONG_HOURS");
    const double asked = env ? std::atof(env) : 4.0;
    int64_t frames = static_cast<int64_t>(std::llround(asked * 3600 * kFps));

    // Two copies at a time (input and Type 2 file, then that and its parts) must fit, leaving 8 GB or a
    // tenth of the disk, whichever is more, to everything else on the machine.
    struct statvfs fsInfo {};
    ASSERT_EQ(::statvfs(dir.path.c_str(), &fsInfo), 0);
    const int64_t free = static_cast<int64_t>(fsInfo.f_bavail) * static_cast<int64_t>(fsInfo.f_frsize);
    const int64_t disk = static_cast<int64_t>(fsInfo.f_blocks) * static_cast<int64_t>(fsInfo.f_frsize);
    const int64_t spare = std::max<int64_t>(int64_t{8} << 30, disk / 10);
    const int64_t perFrame = 2 * kFrameBytes + 20000;
    const int64_t fits = std::max<int64_t>(0, free - spare) / perFrame;
    if (fits < frames) {
        std::printf("[ long ] %.2f h needs %.1f GB free, %.1f GB is: running %.2f h instead\n", asked,
                    double(frames * perFrame) / 1e9, double(free) / 1e9, double(fits) / (3600.0 * kFps));
        frames = fits;
    }
    if (frames < kRunFrames) GTEST_SKIP() << "not enough disk space for five minutes of DV";
    frames -= frames % kRunFrames;
    const int64_t runs = frames / kRunFrames;
    const int64_t bytes = frames * kFrameBytes;
    std::printf("[ long ] %lld frames (%.2f h, %.1f GB), %lld recordings\n", static_cast<long long>(frames),
                double(frames) / (3600.0 * kFps), double(bytes) / 1e9, static_cast<long long>(runs));

    gen::ClipSpec desc = gen::palClip(frames);
    desc.runs.clear();
    desc.recordingStarts.clear();
    for (int64_t r = 0; r < runs; ++r) {
        // Each recording starts on a fresh hour of timecode and of the recording clock.
        gen::Run run;
        run.first = r * kRunFrames;
        run.tc = gen::Timecode{static_cast<int>(r % 24), 0, 0, 0};
        run.rec = gen::DateTime{2011, 6, 15 + static_cast<int>(r / 24), static_cast<int>(r % 24), 0, 0};
        desc.runs.push_back(run);
        desc.recordingStarts.push_back(run.first);
    }
    const fs::path input = dir.path / "tape.dv";
    ASSERT_TRUE(gen::writeClip(desc, input.string(), gen::Container::RawDv));
    ASSERT_EQ(static_cast<int64_t>(fs::file_size(input)), bytes);

    const std::string zorv = ZORV_CLI_PATH;
    const ChildRun scan = runChild({zorv, "scenes", input.string()});
    report("scan", scan, bytes);
    EXPECT_EQ(scan.status, 0);
    EXPECT_LT(scan.maxRssKiB, kRssLimitKiB);

    const fs::path avi = dir.path / "tape.avi";
    const ChildRun convert = runChild({zorv, "convert", "--to", "avi2", input.string(), "-o", avi.string()});
    report("convert", convert, bytes);
    EXPECT_EQ(convert.status, 0);
    EXPECT_LT(convert.maxRssKiB, kRssLimitKiB);
    std::error_code ec;
    EXPECT_GT(static_cast<int64_t>(fs::file_size(avi, ec)), bytes);
    fs::remove(input, ec);  // room for the split outputs

    const fs::path parts = dir.path / "parts";
    fs::create_directories(parts);
    const ChildRun split = runChild({zorv, "split", avi.string(), "--trigger", "timecode:1", "--out", parts.string()});
    report("split", split, bytes);
    EXPECT_EQ(split.status, 0);
    EXPECT_LT(split.maxRssKiB, kRssLimitKiB);
    int64_t files = 0, total = 0;
    for (const auto& e : fs::directory_iterator(parts)) {
        if (e.path().extension() != ".avi") continue;  // the log and the batch list
        ++files;
        total += static_cast<int64_t>(e.file_size());
    }
    EXPECT_EQ(files, runs);
    EXPECT_GT(total, bytes);
}

}  // namespace
}  // namespace zorv
