// The handler uses only async-signal-safe calls: open, read, write, close, sigaction, raise, and
// backtrace/backtrace_symbols_fd, whose one unsafe step (loading the unwinder) is done at install.
//
// The faulting module is found by reading /proc/self/maps with plain open/read into a fixed buffer
// and looking for the mapping that holds the faulting instruction. Those are system calls, not
// stdio, so nothing allocates or takes a lock; modules loaded after install (decoders and codecs
// opened later) are found too, which a table taken at install would miss.
#include "core/crash_report.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zorv::core {

namespace {

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

struct SignalName {
    int number;
    const char* name;
};
const SignalName kSignalNames[] = {
    {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"}, {SIGILL, "SIGILL"}, {SIGFPE, "SIGFPE"}, {SIGABRT, "SIGABRT"},
};

// The notice shown for a fault, split where the module name and the exception code go.
const char kNoticeHead[] =
    "A fatal exception has occured. This may have happened inside the 3rd party decoder or compressor that you "
    "have selected in Tools>Options.\r\n\r\nThe Fault Module Name below can help in locating the cause of the "
    "problem. If you type it into a search engine it may reveal whether the fault module is associated with a "
    "decoder or compressor that you have selected. In that case you may have to select a different decoder or "
    "compressor.\r\n\r\nFault Module Name:\t\t";
const char kNoticeCode[] = "\r\nException Code:\t\t";

constexpr std::size_t kPathMax = 4096;
constexpr std::size_t kAltStackSize = 128 * 1024;
constexpr int kMaxFrames = 64;

std::atomic<int> gArmed{0};  // 1 until the first fatal signal
std::atomic<bool> gInstalled{false};
std::atomic<CrashReportExtra> gExtra{nullptr};
char gReportPath[kPathMax];  // empty: HOME was not set
char gModulePath[kPathMax];
char gMapsLine[kPathMax + 256];
char gMapsChunk[4096];
alignas(16) char gAltStack[kAltStackSize];

std::size_t length(const char* s) {
    std::size_t n = 0;
    while (s[n]) ++n;
    return n;
}

void put(int fd, const char* s, std::size_t n) {
    while (fd >= 0 && n > 0) {
        const ssize_t w = ::write(fd, s, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        s += w;
        n -= static_cast<std::size_t>(w);
    }
}

void put(int fd, const char* s) { put(fd, s, length(s)); }

void putHex(int fd, std::uint64_t v, int minDigits) {
    char buf[17];
    int i = 16;
    buf[16] = 0;
    do {
        buf[--i] = "0123456789abcdef"[v & 0xF];
        v >>= 4;
    } while ((v != 0 || 16 - i < minDigits) && i > 0);
    put(fd, buf + i);
}

void putDec(int fd, long v) {
    char buf[24];
    int i = 23;
    buf[23] = 0;
    const bool negative = v < 0;
    unsigned long u = negative ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do {
        buf[--i] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0 && i > 1);
    if (negative) buf[--i] = '-';
    put(fd, buf + i);
}

const char* signalName(int sig) {
    for (const auto& s : kSignalNames)
        if (s.number == sig) return s.name;
    return "signal";
}

std::uintptr_t instructionAddress(void* context, const siginfo_t* info) {
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    if (uc) return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    if (uc) return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
    if (uc) return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
#endif
    return info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
}

bool parseHex(const char*& p, std::uintptr_t& out) {
    std::uintptr_t v = 0;
    const char* start = p;
    for (;; ++p) {
        const char c = *p;
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        v = v << 4 | static_cast<std::uintptr_t>(d);
    }
    out = v;
    return p != start;
}

// One line of /proc/self/maps: "start-end perms offset dev inode   path". Copies the path into
// gModulePath when the range holds `address`.
bool matchMapsLine(const char* line, std::uintptr_t address) {
    const char* p = line;
    std::uintptr_t start = 0, end = 0;
    if (!parseHex(p, start) || *p != '-') return false;
    ++p;
    if (!parseHex(p, end)) return false;
    if (address < start || address >= end) return false;
    for (int field = 0; field < 4; ++field) {  // perms, offset, dev, inode
        while (*p == ' ') ++p;
        while (*p && *p != ' ') ++p;
    }
    while (*p == ' ') ++p;
    std::size_t n = 0;
    while (p[n] && n + 1 < kPathMax) {
        gModulePath[n] = p[n];
        ++n;
    }
    gModulePath[n] = 0;
    return n > 0;
}

// Finds the file of the mapping that holds `address`; false when there is none or it is anonymous.
bool findModule(std::uintptr_t address) {
    gModulePath[0] = 0;
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t lineLen = 0;
    bool found = false;
    for (;;) {
        const ssize_t n = ::read(fd, gMapsChunk, sizeof gMapsChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n && !found; ++i) {
            const char c = gMapsChunk[i];
            if (c == '\n') {
                gMapsLine[lineLen] = 0;
                found = matchMapsLine(gMapsLine, address);
                lineLen = 0;
            } else if (lineLen + 1 < sizeof gMapsLine) {
                gMapsLine[lineLen++] = c;
            }
        }
        if (found) break;
    }
    if (!found && lineLen > 0) {
        gMapsLine[lineLen] = 0;
        found = matchMapsLine(gMapsLine, address);
    }
    ::close(fd);
    return found;
}

const char* fileNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/') name = p + 1;
    return name;
}

void putNotice(int fd, const char* module, int code) {
    put(fd, kNoticeHead);
    put(fd, module);
    put(fd, kNoticeCode);
    putHex(fd, static_cast<std::uint32_t>(code), 8);
}

void endWithDefaultAction(int sig) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
    // The signal stays blocked until the handler returns; it is then delivered with the default
    // action. A hardware fault would also simply recur at the faulting instruction.
    ::raise(sig);
}

void writeReport(int sig, siginfo_t* info, void* context) {
    const std::uintptr_t pc = instructionAddress(context, info);
    const bool haveModule = findModule(pc);
    const char* moduleName = haveModule ? fileNamePart(gModulePath) : "(unknown)";

    if (haveModule) {  // the notice on the terminal, as a message box would show it
        put(STDERR_FILENO, "\n");
        putNotice(STDERR_FILENO, moduleName, sig);
        put(STDERR_FILENO, "\n");
    }
    if (gReportPath[0] == 0) return;

    const int fd = ::open(gReportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        putNotice(fd, moduleName, sig);
        put(fd, "\r\n\r\n");
        put(fd, "Signal: ");
        put(fd, signalName(sig));
        put(fd, " (");
        putDec(fd, sig);
        put(fd, ")\nSignal code: ");
        putDec(fd, info ? info->si_code : 0);
        put(fd, "\nFault address: 0x");
        putHex(fd, info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0, 16);
        put(fd, "\nInstruction address: 0x");
        putHex(fd, pc, 16);
        put(fd, "\nFault module: ");
        put(fd, haveModule ? gModulePath : "(unknown)");
        put(fd, "\nProcess: ");
        putDec(fd, static_cast<long>(::getpid()));
        put(fd, "\n\nBacktrace:\n");
        void* frames[kMaxFrames];
        const int count = ::backtrace(frames, kMaxFrames);
        if (count > 0) ::backtrace_symbols_fd(frames, count, fd);
    }
    if (CrashReportExtra extra = gExtra.load()) extra(fd);
    if (fd >= 0) ::close(fd);
}

void onFatalSignal(int sig, siginfo_t* info, void* context) {
    if (gArmed.exchange(0) != 1) {  // spent: a later fault ends the process without a report
        endWithDefaultAction(sig);
        return;
    }
    const int savedErrno = errno;
    writeReport(sig, info, context);
    errno = savedErrno;
    endWithDefaultAction(sig);
}

}  // namespace

bool installCrashHandler(CrashReportExtra extra) {
    gExtra.store(extra);
    if (gInstalled.exchange(true)) return true;

    gReportPath[0] = 0;
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
        const std::size_t h = length(home);
        const std::size_t f = length(kCrashReportFileName);
        if (h + 1 + f < kPathMax) {
            std::memcpy(gReportPath, home, h);
            std::size_t pos = h;
            if (gReportPath[pos - 1] != '/') gReportPath[pos++] = '/';
            std::memcpy(gReportPath + pos, kCrashReportFileName, f + 1);
        }
    }

    // Load the unwinder now: the first backtrace() call may allocate.
    void* warm[2];
    (void)::backtrace(warm, 2);

    stack_t ss;
    std::memset(&ss, 0, sizeof ss);
    ss.ss_sp = gAltStack;
    ss.ss_size = sizeof gAltStack;
    ss.ss_flags = 0;
    ::sigaltstack(&ss, nullptr);

    gArmed.store(1);
    bool ok = true;
    for (int sig : kFatalSignals) {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_sigaction = onFatalSignal;
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&sa.sa_mask);
        if (::sigaction(sig, &sa, nullptr) != 0) ok = false;
    }
    if (!ok) gInstalled.store(false);
    return ok;
}

}  // namespace zorv::core
