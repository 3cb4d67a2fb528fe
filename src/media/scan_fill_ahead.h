// The reading half of the metadata scan shared with a second thread. Reading the packs and the damage
// record of a frame means streaming every DIF block header through the processor, which is most of the
// scan's time; the decoding and comparing that follow are cheap but must go frame by frame in order.
// So the frames are taken in stretches: a helper thread fills every other stretch (packs and damage
// record of each frame) through its own mapped window while the scan fills the stretch before it and
// goes through it in order. Memory stays bounded: two windows and the records of two stretches.
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
#include "media/mapped_window.h"

namespace zorv::media {

// The packs and the damage record of one frame (frameSize readable bytes), read in one pass.
void fillFrameRecords(core::MetadataRecord& record, core::FrameDamage& damage, const uint8_t* frame, size_t size);

// What the reading gave for one frame of a stretch.
enum class FillState : uint8_t {
    kFilled,  // record and damage hold the frame's packs and damage record
    kUnread,  // not mappable (past the end of the file): the scan reads it into its buffer itself
    kFailed,  // the file shrank under the mapping: the scan fails here
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

// Reads frames [first, first + count) of entries through window into out (sized for count frames),
// giving up at the next frame once stop is set.
void fillStretch(MappedWindow& window, const std::vector<FrameEntry>& entries, size_t frameSize, int64_t first,
                 int64_t count, FilledStretch& out, const std::atomic<bool>* stop = nullptr);

class ScanFillAhead {
public:
    // Two windows of windowBytes / 2 each, stretches of about one such window of frames; the helper
    // starts when there is more than one stretch.
    ScanFillAhead(int fd, int64_t fileSize, size_t windowBytes, const std::vector<FrameEntry>& entries,
                  size_t frameSize);
    ~ScanFillAhead();  // stops the helper (it finishes at the next frame) and waits for it
    ScanFillAhead(const ScanFillAhead&) = delete;
    ScanFillAhead& operator=(const ScanFillAhead&) = delete;

    int64_t stretchFrames() const { return stretch_; }
    // The stretch that begins at frame first (a multiple of stretchFrames()), filled: by the helper
    // when it has taken that stretch, else here. Valid until the next call.
    const FilledStretch& stretch(int64_t first);

private:
    void run();

    const std::vector<FrameEntry>& entries_;
    const size_t frameSize_;
    const int64_t count_;
    int64_t stretch_ = 1;
    MappedWindow mine_;
    MappedWindow helpers_;
    FilledStretch own_;
    FilledStretch ahead_;  // the helper's: being filled while busy_, else filled or idle

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::thread thread_;
    bool threaded_ = false;
    bool busy_ = false;
    std::atomic<bool> stop_{false};
    int64_t aheadFirst_ = -1;  // the stretch ahead_ holds or is being filled with; -1 none
};

}  // namespace zorv::media
