#include "media/scan_fill_ahead.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/dv_pack_fill.h"
#include "media/dv_frame_damage.h"

namespace zorv::media {

namespace {

void sizeFor(FilledStretch& s, int64_t frames) {
    s.records.resize(static_cast<size_t>(frames));
    s.damage.resize(static_cast<size_t>(frames));
    s.state.resize(static_cast<size_t>(frames));
}

}  // namespace

void fillFrameRecords(core::MetadataRecord& record, core::FrameDamage& damage, const uint8_t* frame, size_t size) {
    // The damage record goes first: it streams through every block header of the frame, after which
    // the packs are read from the cache (when the frame is not there already).
    readFrameDamage(damage, frame, size);
    core::fillRecord(record, frame, size);
}

const uint8_t* FrameReader::read(int64_t offset, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd_, buf_.data() + got, n - got, static_cast<off_t>(offset + static_cast<int64_t>(got)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return nullptr;
        got += static_cast<size_t>(r);
    }
    return buf_.data();
}

void fillStretch(FrameReader& reader, const std::vector<FrameEntry>& entries, size_t frameSize, int64_t first, int64_t count,
                 FilledStretch& out, const std::atomic<bool>* stop) {
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
        const uint8_t* frame = reader.read(static_cast<int64_t>(e.offset), frameSize);
        if (!frame) {
            out.state[k] = FillState::kUnread;
            continue;
        }
        fillFrameRecords(out.records[k], out.damage[k], frame, frameSize);
        out.state[k] = FillState::kFilled;
    }
}

ScanFillAhead::ScanFillAhead(int fd, size_t stretchBytes, const std::vector<FrameEntry>& entries, size_t frameSize)
    : entries_(entries),
      frameSize_(frameSize),
      count_(static_cast<int64_t>(entries.size())),
      stretch_(std::max<int64_t>(1, static_cast<int64_t>(stretchBytes / std::max<size_t>(frameSize, 1)) - 1)),
      stretches_((count_ + stretch_ - 1) / stretch_),
      mine_(fd, frameSize),
      helpers_(fd, frameSize) {
    const int64_t frames = std::min(stretch_, std::max<int64_t>(count_, 1));
    sizeFor(slots_[0].data, frames);
    if (stretches_ <= 1) return;  // one stretch: nothing to share
    for (int i = 1; i < kSlots; ++i) sizeFor(slots_[i].data, frames);
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

ScanFillAhead::Slot* ScanFillAhead::freeSlot() {
    for (Slot& s : slots_)
        if (s.state == SlotState::kFree) return &s;
    return nullptr;
}

ScanFillAhead::Slot* ScanFillAhead::slotOf(int64_t index) {
    for (Slot& s : slots_)
        if (s.state != SlotState::kFree && s.index == index) return &s;
    return nullptr;
}

bool ScanFillAhead::fillNext(std::unique_lock<std::mutex>& lock, FrameReader& reader, const std::atomic<bool>* stop) {
    Slot* s = next_ < stretches_ ? freeSlot() : nullptr;
    if (!s) return false;
    s->index = next_++;
    s->state = SlotState::kFilling;
    const int64_t first = s->index * stretch_;
    lock.unlock();
    fillStretch(reader, entries_, frameSize_, first, std::min(stretch_, count_ - first), s->data, stop);
    lock.lock();
    s->state = SlotState::kFilled;
    done_.notify_all();
    return true;
}

void ScanFillAhead::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (!fillNext(lock, helpers_, &stop_)) wake_.wait(lock);
    }
}

const FilledStretch& ScanFillAhead::stretch(int64_t first) {
    const int64_t index = first / stretch_;
    if (!threaded_) {
        FilledStretch& own = slots_[0].data;
        fillStretch(mine_, entries_, frameSize_, first, std::min(stretch_, count_ - first), own);
        return own;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (held_) {
        held_->state = SlotState::kFree;
        held_ = nullptr;
        wake_.notify_one();
    }
    for (;;) {
        Slot* s = slotOf(index);
        if (s && s->state == SlotState::kFilled) {
            s->state = SlotState::kHeld;
            held_ = s;
            return s->data;
        }
        // Not filled yet: read the next stretch nobody has taken (this one, when the helper has not
        // reached it) rather than wait.
        if (!fillNext(lock, mine_, nullptr)) done_.wait(lock);
    }
}

}  // namespace zorv::media
