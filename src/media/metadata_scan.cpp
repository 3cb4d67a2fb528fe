// The metadata scan and the per-frame detection of in-order passes, as members of DvMediaFile.
#include <algorithm>
#include <cerrno>

#include "core/dv_decode.h"
#include "media/dv_media_file.h"
#include "media/scan_fill_ahead.h"

namespace zorv::media {

namespace {

// The frames read by one thread at a time: enough that handing stretches between the threads costs
// nothing.
constexpr size_t kScanStretchBytes = size_t(4) << 20;

// Starts the previous-frame values afresh while keeping what is decided once per file.
core::DecodedValues freshValues(const core::DecodedValues& keepFileValues) {
    core::DecodedValues v;
    v.fieldRate = keepFileValues.fieldRate;
    v.frameRate = keepFileValues.frameRate;
    v.timecodeStyle = keepFileValues.timecodeStyle;
    v.timecodeStyleSettled = keepFileValues.timecodeStyleSettled;
    return v;
}

}  // namespace

bool DvMediaFile::scan(core::Progress* progress, ScanObserver* observer) {
    if (scanned_) return true;
    if (!indexed() && !buildIndex()) return false;
    clearError();
    scenes_.clear();
    if (!ensureFrameBuffer()) return false;

    const int64_t count = frameCount();
    const size_t size = index_.frameSize;
    uint8_t* buf = frameBuf_.data();
    previous_ = freshValues(current_);
    // Every DIF block's header is read (the damage record): the reading of the frames is shared with a
    // helper thread, stretch by stretch, while the frames are decoded and compared here in order.
    ScanFillAhead fill(file_.fd(), kScanStretchBytes, index_.entries, size);
    if (progress) {
        progress->setTotal(std::max<int64_t>(count - 1, 1));
        progress->setDone(0);
    }

    const FilledStretch* stretch = nullptr;
    for (int64_t n = 0; n < count; ++n) {
        if (!stretch || n >= stretch->end) stretch = &fill.stretch(n);
        const auto i = static_cast<size_t>(n - stretch->first);
        const FrameEntry& e = index_.entries[static_cast<size_t>(n)];
        switch (stretch->state[i]) {
        case FillState::kEmpty: scenes_.addDroppedFrame(n); continue;
        case FillState::kFilled:
            record_ = stretch->records[i];
            damage_ = stretch->damage[i];
            break;
        case FillState::kUnread: {  // a short read: the file ends there (or shrank)
            const int64_t got = file_.readAt(static_cast<int64_t>(e.offset), buf, size);
            if (got != static_cast<int64_t>(size)) {
                setError(core::ErrorCode::kReadFailed, got < 0 ? file_.sysError() : 0);
                return false;
            }
            fillFrameRecords(record_, damage_, buf, size);
            break;
        }
        }
        position_ = static_cast<int64_t>(e.offset);
        core::decodeRecord(record_, current_);
        if (n > 0) {
            core::checkTimecodeOrder(damage_, current_, previous_);
            scenes_.compareFrame(n, current_, previous_, false);
        }
        scenes_.noteDamage(n, damage_.damaged(), false);
        if (observer && !observer->onFrame(n, record_, current_)) {
            setError(core::ErrorCode::kWriteFailed, 0);
            return false;
        }
        previous_ = current_;
        if (progress) {
            progress->setDone(n);
            if (n % kScanCancelInterval == 0 && progress->cancelled()) {
                setError(core::ErrorCode::kCancelled, 0, "Operation Cancelled");
                return false;
            }
        }
    }
    if (progress) progress->setDone(std::max<int64_t>(count - 1, 1));
    markScanned();
    return true;
}

bool DvMediaFile::detectFrame(int64_t n, const uint8_t* frame) {
    fillFrameRecords(record_, damage_, frame, index_.frameSize);
    core::decodeRecord(record_, current_);
    bool change = false;
    if (n > 0) {
        core::checkTimecodeOrder(damage_, current_, previous_);
        change = scenes_.compareFrame(n, current_, previous_, true);
    }
    change = scenes_.noteDamage(n, damage_.damaged(), true) || change;
    previous_ = current_;
    return change;
}

}  // namespace zorv::media
