// Gathered writes straight from the caller's buffers to a descriptor: no stdio buffer in between,
// so a 144000-byte DV frame and its chunk header go to the kernel in one call with no copy.
//
// GatherBatch collects many frames' worth of pieces for one writev: large spans (frames seen through
// a memory map) are referenced, small ones (chunk headers, PCM, rewritten DIF blocks) are copied into
// a fixed arena. Nothing is allocated after construction.
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

namespace zorv::media {

// Writes every byte of the count buffers at the descriptor's position, retrying interrupted and
// partial writes. Returns 0, or the errno of the failure (EIO when the kernel accepts nothing).
// The iovec array is used as scratch.
int writeAllV(int fd, struct iovec* iov, int count);
// The same at a file position, leaving the descriptor's position alone.
int pwriteAll(int fd, const void* data, size_t size, int64_t offset);

// A DV frame as the bytes to write: `data`, except that the listed 80-byte DIF blocks (ascending
// block numbers within the frame) are taken from `patch`, which holds their bytes one after another.
struct PatchedFrame {
    std::span<const uint8_t> data;
    const uint8_t* patch = nullptr;
    const uint16_t* blocks = nullptr;
    int blockCount = 0;

    // The byte at a frame offset as written.
    uint8_t at(size_t offset) const;
};

class GatherBatch {
public:
    static constexpr int kMaxIov = 1024;  // IOV_MAX on Linux
    // Largest total that one batch holds before it asks for a flush.
    static constexpr size_t kMaxPending = size_t(16) << 20;

    static constexpr size_t kDefaultArena = size_t(1) << 20;

    explicit GatherBatch(size_t arenaBytes = kDefaultArena);
    GatherBatch(const GatherBatch&) = delete;
    GatherBatch& operator=(const GatherBatch&) = delete;

    // True when iovecs more pieces and copyBytes more arena bytes fit in this batch.
    bool fits(int iovecs, size_t copyBytes) const {
        return used_ + iovecs <= kMaxIov && arenaUsed_ + copyBytes <= arenaSize_ && pending_ < kMaxPending;
    }
    // Room a frame needs: pieces and copied bytes.
    static int iovecsFor(const PatchedFrame& f) { return 2 * f.blockCount + 1; }
    static size_t copyBytesFor(const PatchedFrame& f) { return size_t(f.blockCount) * 80; }

    // Referenced bytes: they must stay valid and unchanged until flush(). Adjacent pieces merge.
    void ref(const void* data, size_t size);
    // Copied bytes (the caller checked fits()).
    void copy(const void* data, size_t size);
    // A frame: its data referenced, its patched blocks copied.
    void frame(const PatchedFrame& f);

    bool empty() const { return used_ == 0; }
    // Forgets what is queued.
    void clear() { used_ = 0, arenaUsed_ = 0, pending_ = 0; }
    // Writes the batch at the descriptor's position; 0 or errno. The batch is empty afterwards.
    int flush(int fd);

    // Exchanges contents (queued pieces and their arena) with another batch.
    friend void swap(GatherBatch& a, GatherBatch& b) noexcept {
        using std::swap;
        swap(a.iov_, b.iov_);
        swap(a.arena_, b.arena_);
        swap(a.arenaSize_, b.arenaSize_);
        swap(a.arenaUsed_, b.arenaUsed_);
        swap(a.used_, b.used_);
        swap(a.pending_, b.pending_);
    }

private:
    void add(const uint8_t* p, size_t n);

    std::unique_ptr<struct iovec[]> iov_;
    std::unique_ptr<uint8_t[]> arena_;
    size_t arenaSize_;
    size_t arenaUsed_ = 0;
    int used_ = 0;
    size_t pending_ = 0;
};

}  // namespace zorv::media
