#include "media/mapped_window.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

namespace zorv::media {

namespace {

thread_local sigjmp_buf* tGuard = nullptr;
struct sigaction gPrevious;

void onBusError(int sig, siginfo_t* info, void* uctx) {
    if (sigjmp_buf* env = tGuard) {
        tGuard = nullptr;
        siglongjmp(*env, 1);
    }
    // Not ours: hand over to whoever handled the signal before, so a crash is still reported.
    if (gPrevious.sa_flags & SA_SIGINFO) {
        gPrevious.sa_sigaction(sig, info, uctx);
        return;
    }
    if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(sig);
        return;
    }
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);  // a fault re-raises on return anyway; this covers a signal sent by kill
}

void installOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_sigaction = onBusError;
        // SA_NODEFER: the jump out of the handler leaves no signal blocked, so the guard needs no
        // signal-mask save and restore on every call.
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &gPrevious);
    });
}

size_t pageSize() {
    static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return page;
}

}  // namespace

bool guardedCall(void (*fn)(void*), void* context) {
    installOnce();
    sigjmp_buf env;
    sigjmp_buf* const outer = tGuard;
    if (sigsetjmp(env, 0) != 0) {
        tGuard = outer;
        return false;
    }
    tGuard = &env;
    fn(context);
    tGuard = outer;
    return true;
}

MappedWindow::MappedWindow(int fd, int64_t fileSize, size_t windowBytes, bool populate)
    : fd_(fd), fileSize_(fileSize), windowBytes_(std::max(windowBytes, pageSize())), populate_(populate) {}

MappedWindow::~MappedWindow() { unmap(); }

void MappedWindow::unmap() {
    if (base_) ::munmap(base_, length_);
    base_ = nullptr;
    length_ = 0;
}

const uint8_t* MappedWindow::view(int64_t offset, size_t n) {
    errno_ = 0;
    if (offset < 0 || offset > fileSize_ || static_cast<uint64_t>(fileSize_ - offset) < n) return nullptr;
    if (base_ && offset >= start_ && static_cast<uint64_t>(offset - start_) + n <= length_) return base_ + (offset - start_);
    unmap();
    const int64_t page = static_cast<int64_t>(pageSize());
    const int64_t start = offset / page * page;
    const int64_t want = std::max<int64_t>(static_cast<int64_t>(windowBytes_), offset - start + static_cast<int64_t>(n));
    const size_t length = static_cast<size_t>(std::min<int64_t>(want, fileSize_ - start));
    if (length == 0) return nullptr;
    void* p =
        ::mmap(nullptr, length, PROT_READ, MAP_SHARED | (populate_ ? MAP_POPULATE : 0), fd_, static_cast<off_t>(start));
    if (p == MAP_FAILED) {
        errno_ = errno ? errno : EIO;
        return nullptr;
    }
    ::madvise(p, length, MADV_SEQUENTIAL);
    ::madvise(p, length, MADV_WILLNEED);
    base_ = static_cast<uint8_t*>(p);
    start_ = start;
    length_ = length;
    return base_ + (offset - start_);
}

}  // namespace zorv::media
