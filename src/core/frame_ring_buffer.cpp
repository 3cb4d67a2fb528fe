#include "core/frame_ring_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorv::core {

void FrameRingBuffer::Semaphore::acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (count_ == 0) {
        ++waiters_;
        wake_.wait(lock, [this] { return count_ > 0; });
        --waiters_;
    }
    --count_;
}

void FrameRingBuffer::Semaphore::release() {
    bool wake;
    {
        std::lock_guard<std::mutex> g(mutex_);
        ++count_;
        wake = waiters_ > 0;
    }
    if (wake) wake_.notify_one();
}

Status FrameRingBuffer::create(int slots, int allocationLimit) {
    slots_.clear();
    slots = std::clamp(slots, 0, kMaxSlots);
    slots_.reserve(static_cast<size_t>(slots));
    for (int i = 0; i < slots; ++i) {
        if (allocationLimit >= 0 && i >= allocationLimit) break;
        Slot s;
        s.bytes.reset(new (std::nothrow) uint8_t[kSlotSize]);
        if (!s.bytes) break;  // allocation stops at the first failure
        slots_.push_back(std::move(s));
    }
    if (slotCount() < kMinSlots) {
        slots_.clear();
        return Status::failure(ErrorCode::kOutOfMemory, "Failed to allocate mem buffer");
    }
    readIndex_ = writeIndex_ = 0;
    filled_ = 0;
    consumerHolds_ = false;
    aborted_.store(false, std::memory_order_release);
    freeSlots_ = std::make_unique<Semaphore>(slotCount());
    filledSlots_ = std::make_unique<Semaphore>(0);
    return Status::success();
}

// Waits on sem; after an abort every waiter wakes the next one before giving up.
bool FrameRingBuffer::acquireWake(Semaphore& sem) {
    sem.acquire();
    if (aborted()) {
        sem.release();
        return false;
    }
    return true;
}

bool FrameRingBuffer::putEntry(EntryKind kind, std::span<const uint8_t> frame, uint32_t flags) {
    if (slots_.empty() || aborted() || frame.size() > kSlotSize) return false;
    if (!acquireWake(*freeSlots_)) return false;
    size_t index;
    {
        std::lock_guard<std::mutex> g(lock_);
        index = writeIndex_;
    }
    // The slot is the producer's alone until it is signalled as filled.
    Slot& s = slots_[index];
    if (!frame.empty()) std::memcpy(s.bytes.get(), frame.data(), frame.size());
    {
        std::lock_guard<std::mutex> g(lock_);
        s.length = frame.size();
        s.flags = flags;
        s.kind = kind;
        writeIndex_ = (writeIndex_ + 1) % slots_.size();
        ++filled_;
    }
    filledSlots_->release();
    return true;
}

bool FrameRingBuffer::putFrame(std::span<const uint8_t> frame, uint32_t flags) {
    return putEntry(EntryKind::kFrame, frame, flags);
}
bool FrameRingBuffer::putEndOfFile() { return putEntry(EntryKind::kEndOfFile, {}, 0); }
bool FrameRingBuffer::putEndOfInput() { return putEntry(EntryKind::kEndOfInput, {}, 0); }

bool FrameRingBuffer::take(Entry& entry) {
    if (slots_.empty() || aborted()) return false;
    if (!acquireWake(*filledSlots_)) return false;
    std::lock_guard<std::mutex> g(lock_);
    const Slot& s = slots_[readIndex_];
    entry.kind = s.kind;
    entry.flags = s.flags;
    entry.data = std::span<const uint8_t>(s.bytes.get(), s.length);
    consumerHolds_ = true;
    return true;
}

void FrameRingBuffer::release() {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (!consumerHolds_) return;
        consumerHolds_ = false;
        readIndex_ = (readIndex_ + 1) % slots_.size();
        --filled_;
    }
    freeSlots_->release();
}

FrameRingBuffer::FirstFrame FrameRingBuffer::firstFrameStatus(uint32_t* flags, std::span<const uint8_t>* data) {
    for (;;) {
        if (slots_.empty() || aborted()) return FirstFrame::kAborted;
        if (!acquireWake(*filledSlots_)) return FirstFrame::kAborted;
        EntryKind kind;
        {
            std::lock_guard<std::mutex> g(lock_);
            const Slot& s = slots_[readIndex_];
            kind = s.kind;
            if (kind == EntryKind::kFrame) {
                if (flags) *flags = s.flags;
                if (data) *data = std::span<const uint8_t>(s.bytes.get(), s.length);
            }
            if (kind == EntryKind::kEndOfFile) {
                // A file that never received a frame: nothing to write.
                readIndex_ = (readIndex_ + 1) % slots_.size();
                --filled_;
            }
        }
        if (kind == EntryKind::kEndOfFile) {
            freeSlots_->release();
            continue;
        }
        filledSlots_->release();  // only looked at: the entry stays for take()
        return kind == EntryKind::kFrame ? FirstFrame::kPending : FirstFrame::kNoFrame;
    }
}

void FrameRingBuffer::abort() {
    aborted_.store(true, std::memory_order_release);
    if (freeSlots_) freeSlots_->release();
    if (filledSlots_) filledSlots_->release();
}

int FrameRingBuffer::fillLevel() const {
    std::lock_guard<std::mutex> g(lock_);
    return filled_;
}

}  // namespace zorv::core
