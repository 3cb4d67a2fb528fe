#include "media/scan_fill_ahead.h"

#include <algorithm>
#include <system_error>

#include "core/dv_pack_fill.h"
#include "media/dv_frame_damage.h"

namespace zorv::media {

namespace {

struct FillJob {
    core::MetadataRecord* record;
    core::FrameDamage* damage;
    const uint8_t* frame;
    size_t size;
};

void fillFromMapping(void* job) {
    auto* j = static_cast<FillJob*>(job);
    fillFrameRecords(*j->record, *j->damage, j->frame, j->size);
}

void sizeFor(FilledStretch& s, int64_t frames) {
    s.records.resize(static_cast<size_t>(frames));
    s.damage.resize(static_cast<size_t>(frames));
    s.state.resize(static_cast<size_t>(frames));
}

}  // namespace

void fillFrameRecords(core::MetadataRecord& record, core::FrameDamage& damage, const uint8_t* frame, size_t size) {
    // The damage record goes first: it streams through every block header of the frame, after which
    // the packs are read from the cache instead of one memory round trip each.
    readFrameDamage(damage, frame, size);
    core::fillRecord(record, frame, size);
}

void fillStretch(MappedWindow& window, const std::vector<FrameEntry>& entries, size_t frameSize, int64_t first,
                 int64_t count, FilledStretch& out, const std::atomic<bool>* stop) {
    out.first = first;
    out.end = first + count;
    for (int64_t i = 0; i < count; ++i) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            out.end = first + i;
            return;
        }
        const auto k = static_cast<size_t>(i);
        const FrameEntry& e = entries[static_cast<size_t>(first + i)];
        if (e.empty()) {
            out.state[k] = FillState::kEmpty;
            continue;
        }
        const uint8_t* mapped = window.view(static_cast<int64_t>(e.offset), frameSize);
        if (!mapped) {
            out.state[k] = FillState::kUnread;
            continue;
        }
        FillJob job{&out.records[k], &out.damage[k], mapped, frameSize};
        if (!guardedCall(fillFromMapping, &job)) {
            // The file shrank under the mapping: the scan stops at this frame.
            std::fill(out.state.begin() + static_cast<std::ptrdiff_t>(k), out.state.begin() + count, FillState::kFailed);
            return;
        }
        out.state[k] = FillState::kFilled;
    }
}

ScanFillAhead::ScanFillAhead(int fd, int64_t fileSize, size_t windowBytes, const std::vector<FrameEntry>& entries,
                             size_t frameSize)
    : entries_(entries),
      frameSize_(frameSize),
      count_(static_cast<int64_t>(entries.size())),
      stretch_(std::max<int64_t>(1, static_cast<int64_t>(windowBytes / 2 / std::max<size_t>(frameSize, 1)) - 1)),
      mine_(fd, fileSize, windowBytes / 2),
      helpers_(fd, fileSize, windowBytes / 2) {
    const int64_t frames = std::min(stretch_, std::max<int64_t>(count_, 1));
    sizeFor(own_, frames);
    if (count_ <= stretch_) return;  // one stretch: nothing to share
    sizeFor(ahead_, frames);
    try {
        thread_ = std::thread([this] { run(); });
        threaded_ = true;
    } catch (const std::system_error&) {
        // No thread to be had: the scan reads every stretch itself.
    }
}

ScanFillAhead::~ScanFillAhead() {
    if (!threaded_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ScanFillAhead::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || busy_; });
        if (stop_) return;
        const int64_t first = aheadFirst_;
        lock.unlock();
        fillStretch(helpers_, entries_, frameSize_, first, std::min(stretch_, count_ - first), ahead_, &stop_);
        lock.lock();
        busy_ = false;
        done_.notify_all();
    }
}

const FilledStretch& ScanFillAhead::stretch(int64_t first) {
    if (threaded_) {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
        if (aheadFirst_ == first) return ahead_;
        // The helper is idle and the caller is done with its stretch: it takes the one after this.
        if (first + stretch_ < count_) {
            aheadFirst_ = first + stretch_;
            busy_ = true;
            wake_.notify_one();
        }
    }
    fillStretch(mine_, entries_, frameSize_, first, std::min(stretch_, count_ - first), own_);
    return own_;
}

}  // namespace zorv::media
