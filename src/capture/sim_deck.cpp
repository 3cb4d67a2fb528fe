#include "capture/sim_deck.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "core/dv_pack_fill.h"

namespace zorv::capture {

using core::ErrorCode;
using core::Status;
using Clock = std::chrono::steady_clock;

SimDeck::~SimDeck() { stopStream(); }

Status SimDeck::load(const std::string& path, const SimDeckOptions& options) {
    stopStream();
    std::lock_guard<std::mutex> g(mutex_);
    options_ = options;
    if (!file_.open(path) || file_.frameCount() <= 0 || file_.frameSize() == 0)
        return Status::failure(core::callFaultOr(file_.lastError(), ErrorCode::kOpenFailed), "Could not find Capture Device",
                               file_.sysError());
    tapeFrames_ = file_.frameCount();
    pal_ = file_.frameSize() >= 144000;
    frame_.assign(file_.frameSize(), 0);
    scratch_.assign(file_.frameSize(), 0);
    position_ = 0;
    state_ = SimTransportState::kStopped;
    info_.id = "sim:" + path;
    info_.friendlyName = "Simulated DV deck (" + std::filesystem::path(path).filename().string() + ")";
    info_.description = pal_ ? "DV tape, 625/50" : "DV tape, 525/60";
    return Status::success();
}

Status SimDeck::startStream(FrameCallback onFrame, EventCallback onEvent) {
    if (unplugged_) return Status::failure(ErrorCode::kOpenFailed, "Could not find Capture Device");
    if (thread_.joinable() || tapeFrames_ == 0) return Status::failure(ErrorCode::kOpenFailed, "Could not run source graph");
    {
        std::lock_guard<std::mutex> g(mutex_);
        onFrame_ = std::move(onFrame);
        onEvent_ = std::move(onEvent);
        quit_ = false;
        dropped_ = 0;
        delivered_ = 0;
        if (options_.playOnStart && tapeIn_) state_ = SimTransportState::kPlaying;
    }
    thread_ = std::thread([this] { run(); });
    return Status::success();
}

void SimDeck::stopStream() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool SimDeck::readFrameLocked(int64_t n) {
    if (n < 0 || n >= tapeFrames_) return false;
    return file_.readFrame(n, frame_.data());
}

void SimDeck::run() {
    const bool realTime = options_.pacing == SimPacing::kRealTime;
    const auto period = std::chrono::microseconds(framePeriodMicros());
    auto next = Clock::now();
    std::unique_lock<std::mutex> lk(mutex_);
    while (!quit_) {
        if (unplugged_) {
            lk.unlock();
            if (onEvent_) onEvent_(DeviceEvent::kRemoved);
            return;
        }
        bool deliver = false;
        bool moving = true;
        switch (state_) {
        case SimTransportState::kPlaying: {
            if (!tapeIn_ || position_ >= tapeFrames_) {
                state_ = SimTransportState::kStopped;
                continue;
            }
            int64_t n = position_++;
            if (readFrameLocked(n)) {
                if (dropPending_ > 0) {
                    --dropPending_;
                    ++dropped_;
                } else {
                    deliver = true;
                }
            }
            break;
        }
        case SimTransportState::kShuttleForward:
        case SimTransportState::kShuttleBack: {
            const bool forward = state_ == SimTransportState::kShuttleForward;
            if (!tapeIn_ || position_ < 0 || position_ >= tapeFrames_) {
                position_ = std::clamp<int64_t>(position_, 0, std::max<int64_t>(tapeFrames_ - 1, 0));
                state_ = SimTransportState::kStopped;
                continue;
            }
            deliver = readFrameLocked(position_);
            position_ += forward ? kShuttleStep : -kShuttleStep;
            break;
        }
        case SimTransportState::kWindForward:
        case SimTransportState::kWindBack: {
            const bool forward = state_ == SimTransportState::kWindForward;
            position_ += forward ? kWindFramesPerTick : -kWindFramesPerTick;
            if (position_ <= 0 || position_ >= tapeFrames_ || !tapeIn_) {
                position_ = std::clamp<int64_t>(position_, 0, tapeFrames_);
                state_ = SimTransportState::kStopped;
            }
            break;
        }
        case SimTransportState::kStopped:
        case SimTransportState::kPaused:
            if (stepPending_) {
                stepPending_ = false;
                deliver = tapeIn_ && readFrameLocked(position_);
            } else {
                moving = false;
            }
            break;
        }
        if (!moving) {
            wake_.wait_for(lk, std::chrono::milliseconds(20));
            next = Clock::now();
            continue;
        }
        if (deliver) {
            lk.unlock();
            if (!realTime && gate_) {
                while (!gate_()) {
                    if (unplugged_) break;
                    {
                        std::lock_guard<std::mutex> g(mutex_);
                        if (quit_) break;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            }
            if (!unplugged_ && onFrame_) {
                onFrame_(std::span<const uint8_t>(frame_.data(), frame_.size()));
                ++delivered_;
            }
            lk.lock();
        }
        if (realTime) {
            next += period;
            auto now = Clock::now();
            if (next < now - std::chrono::seconds(1)) next = now;  // far behind: do not race to catch up
            wake_.wait_until(lk, next, [this] { return quit_ || unplugged_.load(); });
        }
    }
}

Status SimDeck::transport(TransportCommand command) {
    if (unplugged_) return Status::failure(ErrorCode::kOpenFailed, "Capture device removed");
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (!tapeIn_) return Status::success();  // a deck without a tape ignores its buttons
        switch (command) {
        case TransportCommand::kPlay: state_ = SimTransportState::kPlaying; break;
        case TransportCommand::kStop: state_ = SimTransportState::kStopped; break;
        case TransportCommand::kPause: state_ = SimTransportState::kPaused; break;
        case TransportCommand::kFastForward: state_ = SimTransportState::kWindForward; break;
        case TransportCommand::kRewind: state_ = SimTransportState::kWindBack; break;
        case TransportCommand::kPlayFastForward: state_ = SimTransportState::kShuttleForward; break;
        case TransportCommand::kPlayRewind: state_ = SimTransportState::kShuttleBack; break;
        case TransportCommand::kForwardFrame:
        case TransportCommand::kBackwardFrame: {
            int64_t step = command == TransportCommand::kForwardFrame ? 1 : -1;
            position_ = std::clamp<int64_t>(position_ + step, 0, std::max<int64_t>(tapeFrames_ - 1, 0));
            state_ = SimTransportState::kPaused;
            stepPending_ = true;
            break;
        }
        }
    }
    wake_.notify_all();
    return Status::success();
}

Query<DeviceKind> SimDeck::queryKind() {
    if (unplugged_) return Query<DeviceKind>::failure("Could not get device capability");
    return Query<DeviceKind>::success(options_.kind);
}

Query<TapeFormat> SimDeck::queryTapeFormat() {
    if (unplugged_) return Query<TapeFormat>::failure("GetTransportBasicParameters failed");
    std::lock_guard<std::mutex> g(mutex_);
    if (!tapeIn_) return Query<TapeFormat>::success(TapeFormat::kNoTape);
    return Query<TapeFormat>::success(pal_ ? TapeFormat::kPal : TapeFormat::kNtsc);
}

Query<DeviceTimecode> SimDeck::queryTimecode() {
    if (unplugged_) return Query<DeviceTimecode>::failure("GetStatus failed");
    std::lock_guard<std::mutex> g(mutex_);
    if (!tapeIn_) return Query<DeviceTimecode>::failure("GetStatus failed");
    int64_t n = std::clamp<int64_t>(position_, 0, tapeFrames_ - 1);
    if (!file_.readFrame(n, scratch_.data())) return Query<DeviceTimecode>::failure("GetStatus failed");
    core::FoundTimecode tc = core::findTimecode(scratch_.data(), static_cast<int>(scratch_.size() / 12000));
    if (tc.hours < 0) return Query<DeviceTimecode>::failure("GetStatus failed");
    return Query<DeviceTimecode>::success({tc.hours, tc.minutes, tc.seconds, tc.frames, tc.dropFrame});
}

void SimDeck::unplug() {
    unplugged_ = true;
    wake_.notify_all();
}

void SimDeck::ejectTape() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        tapeIn_ = false;
        state_ = SimTransportState::kStopped;
    }
    wake_.notify_all();
}

void SimDeck::insertTape() {
    std::lock_guard<std::mutex> g(mutex_);
    tapeIn_ = true;
    position_ = 0;
}

void SimDeck::dropNextFrames(int64_t n) {
    std::lock_guard<std::mutex> g(mutex_);
    dropPending_ += std::max<int64_t>(n, 0);
}

void SimDeck::setReadyGate(std::function<bool()> gate) {
    std::lock_guard<std::mutex> g(mutex_);
    gate_ = std::move(gate);
}

void SimDeck::setSimulatedFreeSpace(std::optional<uint64_t> bytes) {
    freeSpace_ = bytes ? static_cast<int64_t>(*bytes) : -1;
}

FreeSpaceQuery SimDeck::freeSpaceQuery() {
    return [this](const std::string& path) -> std::optional<uint64_t> {
        int64_t v = freeSpace_.load();
        if (v >= 0) return static_cast<uint64_t>(v);
        return volumeFreeBytes(path);
    };
}

int64_t SimDeck::position() const {
    std::lock_guard<std::mutex> g(mutex_);
    return position_;
}

void SimDeck::setPosition(int64_t frame) {
    std::lock_guard<std::mutex> g(mutex_);
    position_ = std::clamp<int64_t>(frame, 0, tapeFrames_);
}

SimTransportState SimDeck::transportState() const {
    std::lock_guard<std::mutex> g(mutex_);
    return state_;
}

}  // namespace zorv::capture
