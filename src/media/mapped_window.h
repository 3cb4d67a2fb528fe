// Read-only view of a large file through a memory-mapped window that moves forward with the reader:
// the bytes are used where the kernel's page cache holds them, with no copy, and only one window
// (tens of MiB) is mapped at a time, so memory stays flat whatever the file's size.
//
// A mapped file that another process truncates turns reads past its new end into SIGBUS. Every read
// of mapped bytes therefore runs inside guardedCall(), which turns that signal into a failed result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv::media {

class MappedWindow {
public:
    static constexpr size_t kDefaultWindow = size_t(32) << 20;

    // Maps nothing yet; fd stays owned by the caller and must outlive the window. fileSize bounds
    // every view. populate: each window's pages are mapped in one go when it is mapped (for readers
    // that use every byte) instead of page by page as they are touched.
    MappedWindow(int fd, int64_t fileSize, size_t windowBytes = kDefaultWindow, bool populate = false);
    ~MappedWindow();
    MappedWindow(const MappedWindow&) = delete;
    MappedWindow& operator=(const MappedWindow&) = delete;

    // The n bytes at offset, mapping a new window when they lie outside the current one. nullptr when
    // the range runs past fileSize (sysError() 0) or the mapping fails (sysError() = errno). The bytes
    // stay valid until the next call; read them only inside guardedCall().
    const uint8_t* view(int64_t offset, size_t n);

    int sysError() const { return errno_; }
    // True when view(offset, n) would use the current window (earlier views stay valid).
    bool contains(int64_t offset, size_t n) const {
        return base_ && offset >= start_ && static_cast<uint64_t>(offset - start_) + n <= length_;
    }

private:
    void unmap();

    int fd_;
    int64_t fileSize_;
    size_t windowBytes_;
    bool populate_;
    uint8_t* base_ = nullptr;
    int64_t start_ = 0;  // file offset of base_
    size_t length_ = 0;
    int errno_ = 0;
};

// Calls fn(context) with SIGBUS on this thread turned into a false result (the call is abandoned at
// the faulting read, so fn must own nothing that needs destroying). Returns true when fn completed.
// The handler is installed once; a SIGBUS outside a guarded call goes on to the handler installed
// before it (or the default action).
bool guardedCall(void (*fn)(void*), void* context);

}  // namespace zorv::media
