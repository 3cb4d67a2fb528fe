// The reading half of the metadata scan shared with a second thread. Reading the packs and the damage
// record of a frame means streaming every DIF block header through the processor, which is most of the
// scan's time; the decoding and comparing that follow are cheap but must go frame by frame in order.
// So the frames are taken in stretches, which a helper thread and the scan both fill (packs and damage
// record of each frame) while the scan goes through the filled ones in order. Each thread reads a frame
// at a time into a buffer of its own: the frame is then read from the processor's cache, and the file
// costs no page-table entries (mapping it cost a quarter of the scan's time in the kernel). Memory stays
// bounded: two frame buffers and the records of a few stretches.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "core/dv_damage.h"
#include "core/metadata_record.h"
#include "media/frame_index.h"

namespace zorv::media {

// The packs and the damage record of one frame (frameSize readable bytes), read in one pass.
void fillFrameRecords(core::MetadataRecord& record, core::FrameDamage& damage, const uint8_t* frame, size_t size);

// What the reading gave for one frame of a stretch.
enum class FillState : uint8_t {
    kFilled,  // record and damage hold the frame's packs and damage record
    kUnread,  // could not be read whole (past the end of the file): the scan reads it itself and fails
    kEmpty,   // an empty index entry (a dropped frame)
};

// The frames [first, end) of the index, as read.
struct FilledStretch {
    int64_t first = 0;
    int64_t end = 0;
    std::vector<core::MetadataRecord> records;
    std::vector<core::FrameDamage> damage;
    std::vector<FillState> state;
};

// Reads whole frames of a file into a buffer of its own.
class FrameReader {
public:
    FrameReader(int fd, size_t frameSize) : fd_(fd), buf_(frameSize) {}
    // The n bytes at offset (n at most the frame size), or nullptr when they could not all be read.
    const uint8_t* read(int64_t offset, size_t n);

private:
    int fd_;
    std::vector<uint8_t> buf_;
};

// Reads frames [first, first + count) of entries through reader into out (sized for count frames),
// giving up at the next frame once stop is set.
void fillStretch(FrameReader& reader, const std::vector<FrameEntry>& entries, size_t frameSize, int64_t first, int64_t count,
                 FilledStretch& out, const std::atomic<bool>* stop = nullptr);

class ScanFillAhead {
public:
    // Stretches of about stretchBytes of frames; the helper starts when there is more than one.
    ScanFillAhead(int fd, size_t stretchBytes, const std::vector<FrameEntry>& entries, size_t frameSize);
    ~ScanFillAhead();  // stops the helper (it finishes at the next frame) and waits for it
    ScanFillAhead(const ScanFillAhead&) = delete;
    ScanFillAhead& operator=(const ScanFillAhead&) = delete;

    int64_t stretchFrames() const { return stretch_; }
    // The stretch that begins at frame first, filled. Stretches are asked for in order from frame 0
    // (first a multiple of stretchFrames()). Valid until the next call.
    const FilledStretch& stretch(int64_t first);

private:
    // Stretches filled ahead of the caller are kept in a few slots: the helper takes the next stretch
    // nobody has taken whenever a slot is free, and the caller, while the stretch it needs is still being
    // filled, takes one after it instead of waiting; so both threads keep reading whatever the caller
    // does between stretches.
    static constexpr int kSlots = 4;
    enum class SlotState : uint8_t { kFree, kFilling, kFilled, kHeld };
    struct Slot {
        FilledStretch data;
        SlotState state = SlotState::kFree;
        int64_t index = -1;  // stretch number
    };

    void run();
    Slot* freeSlot();             // under the lock; nullptr when none
    Slot* slotOf(int64_t index);  // under the lock; the slot taken for that stretch, or nullptr
    // Takes the next stretch nobody has taken into a free slot and fills it through reader; the lock is
    // held on entry and on return, released while reading. False when there is none or no free slot.
    bool fillNext(std::unique_lock<std::mutex>& lock, FrameReader& reader, const std::atomic<bool>* stop);

    const std::vector<FrameEntry>& entries_;
    const size_t frameSize_;
    const int64_t count_;
    const int64_t stretch_;
    const int64_t stretches_;
    FrameReader mine_;
    FrameReader helpers_;
    Slot slots_[kSlots];
    Slot* held_ = nullptr;  // the slot last handed to the caller
    int64_t next_ = 0;      // the first stretch nobody has taken

    std::mutex mutex_;
    std::condition_variable wake_;  // for the helper: a slot was freed, or stop
    std::condition_variable done_;  // for the caller: a stretch was filled
    std::thread thread_;
    bool threaded_ = false;
    std::atomic<bool> stop_{false};
};

}  // namespace zorv::media
