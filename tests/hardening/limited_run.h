// Runs the zorv binary the way a hostile file would meet it in the field, but fenced: address space
// capped (an unbounded allocation fails instead of swapping the machine), a wall-clock limit (a hang
// becomes a kill), an optional file-size limit with SIGXFSZ ignored (a write past it fails with EFBIG
// as on a full disk), and a hook polled while the child runs (to truncate or unlink its input).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>
#include "gen/file_bytes.h"

namespace zorv::hardening {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAsan = true;
#else
inline constexpr bool kAsan = false;
#endif
#else
inline constexpr bool kAsan = false;
#endif

struct Limits {
    int64_t addressSpace = int64_t{1} << 30;  // RLIMIT_AS (left off under AddressSanitizer)
    int64_t fileSize = -1;                    // RLIMIT_FSIZE; -1 none
    double timeoutSeconds = 90;
};

struct Outcome {
    int exitStatus = -1;  // exit status, -1 when killed by a signal
    int signal = 0;       // the signal that ended it
    bool timedOut = false;
    std::string output;  // stdout and stderr together

    // A sanitizer's report (instrumented builds end with an exit status, not a signal).
    bool sanitizerReport() const {
        return output.find("AddressSanitizer") != std::string::npos || output.find("runtime error:") != std::string::npos;
    }
    bool crashed() const { return (signal != 0 && !timedOut) || sanitizerReport(); }
    bool cleanFailure() const { return !timedOut && !crashed() && exitStatus != 0; }
};

// Runs args[0] with args. `tick` is called about every 5 ms while the child runs until it returns true.
inline Outcome runLimited(const std::vector<std::string>& args, const Limits& limits = {},
                          const std::function<bool()>& tick = {}) {
    Outcome o;
    char logName[] = "/tmp/zorv-hardening-out-XXXXXX";
    const int logFd = mkstemp(logName);
    if (logFd < 0) return o;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(logFd, 1);
        dup2(logFd, 2);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        if (!kAsan && limits.addressSpace > 0) {
            rlimit r{static_cast<rlim_t>(limits.addressSpace), static_cast<rlim_t>(limits.addressSpace)};
            setrlimit(RLIMIT_AS, &r);
        }
        if (kAsan) setenv("ASAN_OPTIONS", "max_allocation_size_mb=1024:allocator_may_return_null=1:detect_leaks=0", 1);
        if (limits.fileSize >= 0) {
            signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec: writes fail with EFBIG instead
            rlimit r{static_cast<rlim_t>(limits.fileSize), static_cast<rlim_t>(limits.fileSize)};
            setrlimit(RLIMIT_FSIZE, &r);
        }
        rlimit core{0, 0};
        setrlimit(RLIMIT_CORE, &core);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto start = std::chrono::steady_clock::now();
    bool tickDone = !tick;
    int status = 0;
    for (;;) {
        const pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) break;
        if (w < 0) break;
        if (!tickDone) tickDone = tick();
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed > limits.timeoutSeconds) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            o.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) o.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
    close(logFd);
    o.output = zorv::gen::fileBytes(logName);
    unlink(logName);
    return o;
}

inline std::string describe(const Outcome& o) {
    std::string s = o.timedOut ? "timed out"
                    : o.signal ? "killed by signal " + std::to_string(o.signal)
                               : "exit " + std::to_string(o.exitStatus);
    return s + ": " + o.output.substr(0, 600);
}

// The bytes of a file (empty when missing).
inline std::string fileBytes(const std::string& path) { return zorv::gen::fileBytes(path); }

}  // namespace zorv::hardening
