// A ring of fixed 144000-byte frame slots between one producer thread and one consumer thread: the file
// splitter (8 slots) and the capture writer (150 slots) pass whole DV frames through it.
//
// Two counting semaphores carry the counts (free slots, filled slots); a mutex guards the read and write
// indices and the per-slot lengths and marks. The semaphores are a count under a mutex with a condition
// variable: a waiter sleeps in the kernel straight away (std::counting_semaphore spins and yields its
// time slice first, which on a busy machine hands the core to other processes for milliseconds at
// each hand-over). Besides frames, a slot can carry an end-of-file entry (the
// current output file is complete) or the end-of-input entry (nothing more will come). A frame can be
// flagged to start a new output file and to start a new reel. The producer copies into preallocated
// slots and never allocates.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "core/error.h"

namespace zorv::core {

class FrameRingBuffer {
public:
    static constexpr size_t kSlotSize = 144000;  // one 625-line DV frame, the largest DV frame
    static constexpr int kMinSlots = 4;
    static constexpr int kMaxSlots = 1024;

    // Flags of a frame entry.
    static constexpr uint32_t kStartNewFile = 1;
    static constexpr uint32_t kNewReel = 2;

    enum class EntryKind : uint8_t { kFrame, kEndOfFile, kEndOfInput };

    struct Entry {
        EntryKind kind = EntryKind::kEndOfInput;
        uint32_t flags = 0;
        std::span<const uint8_t> data;  // the frame bytes, valid until release()
    };

    // What the consumer sees at the head of the buffer before a file starts.
    enum class FirstFrame : int {
        kPending = 0,  // a frame is waiting (its flags say whether it starts a new reel)
        kNoFrame = 1,  // the input ended before another frame came
        kAborted = 2,  // the buffer was aborted
    };

    FrameRingBuffer() = default;
    FrameRingBuffer(const FrameRingBuffer&) = delete;
    FrameRingBuffer& operator=(const FrameRingBuffer&) = delete;

    // Allocates up to `slots` slots one by one and stops at the first failure. Fewer than 4 slots:
    // "Failed to allocate mem buffer". A count above kMaxSlots is taken as kMaxSlots.
    // allocationLimit (for tests) pretends that only so many allocations succeed; -1 for no limit.
    Status create(int slots, int allocationLimit = -1);
    int slotCount() const { return static_cast<int>(slots_.size()); }

    // Producer side. Each call waits for a free slot; false when the buffer was aborted (or not created)
    // or the frame is larger than a slot.
    bool putFrame(std::span<const uint8_t> frame, uint32_t flags = 0);
    bool putEndOfFile();
    bool putEndOfInput();

    // Consumer side. take() waits for a filled slot and returns its entry; the slot stays the
    // consumer's until release(). False when aborted.
    bool take(Entry& entry);
    void release();

    // Waits for the next entry without taking it; end-of-file entries at the head (files that never
    // received a frame) are dropped on the way. kPending fills flags and data with the waiting frame's
    // flags and bytes (valid until that frame is taken and released).
    FirstFrame firstFrameStatus(uint32_t* flags = nullptr, std::span<const uint8_t>* data = nullptr);

    // Wakes every waiter on both sides; later calls fail at once. Used on cancel and on failure.
    void abort();
    bool aborted() const { return aborted_.load(std::memory_order_acquire); }

    // Filled slots at this moment (for a "Buffer" level display).
    int fillLevel() const;

private:
    struct Slot {
        std::unique_ptr<uint8_t[]> bytes;
        size_t length = 0;
        uint32_t flags = 0;
        EntryKind kind = EntryKind::kFrame;
    };

    // A counting semaphore with a fixed initial count.
    class Semaphore {
    public:
        explicit Semaphore(int count) : count_(count) {}
        void acquire();
        void release();

    private:
        std::mutex mutex_;
        std::condition_variable wake_;
        int count_;
        int waiters_ = 0;
    };

    bool putEntry(EntryKind kind, std::span<const uint8_t> frame, uint32_t flags);
    bool acquireWake(Semaphore& sem);

    std::vector<Slot> slots_;
    mutable std::mutex lock_;
    size_t readIndex_ = 0;
    size_t writeIndex_ = 0;
    int filled_ = 0;
    bool consumerHolds_ = false;
    std::atomic<bool> aborted_{false};
    std::unique_ptr<Semaphore> freeSlots_;
    std::unique_ptr<Semaphore> filledSlots_;
};

}  // namespace zorv::core
