// A simulated DV deck: plays a DV file (AVI Type 1, AVI Type 2 or Raw DV) as if it were a tape in a
// FireWire deck. The transport moves a tape position; Play streams the frame under the head and moves
// on, either at the real frame rate or as fast as the receiver takes frames. The deck can be unplugged,
// have its tape taken out, lose frames on demand and pretend a nearly full disk, so that a capture can
// be tried end to end without hardware.
//
// Tape model: frames 0 .. tapeFrames()-1 (empty AVI frames are skipped on playback). Play stops at the
// end of the tape. Wind moves the position without streaming; shuttle streams every fifth frame forward
// or backward; a step moves one frame and streams that frame once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"
#include "capture/free_space.h"
#include "core/dv_layout.h"
#include "media/dv_media_file.h"

namespace zorv::capture {

enum class SimPacing : int {
    kRealTime,          // one frame per frame period (40 ms at 25 frames/s, 1001/30 ms at 29.97)
    kAsFastAsPossible,  // as fast as the ready gate lets frames through (no gate: no waiting at all)
};

struct SimDeckOptions {
    SimPacing pacing = SimPacing::kRealTime;
    DeviceKind kind = DeviceKind::kVcr;
    bool playOnStart = false;  // start playing as soon as the stream starts
};

enum class SimTransportState : int { kStopped, kPlaying, kPaused, kWindForward, kWindBack, kShuttleForward, kShuttleBack };

class SimDeck : public CaptureDevice {
public:
    static constexpr int64_t kWindFramesPerTick = 30;
    static constexpr int64_t kShuttleStep = 5;

    SimDeck() = default;
    ~SimDeck() override;

    // Loads the tape. Fails with the file's open error when it is not a DV file.
    core::Status load(const std::string& path, const SimDeckOptions& options = {});

    const DeviceInfo& info() const override { return info_; }
    core::Status startStream(FrameCallback onFrame, EventCallback onEvent) override;
    void stopStream() override;
    bool streaming() const override { return thread_.joinable(); }
    core::Status transport(TransportCommand command) override;
    Query<DeviceKind> queryKind() override;
    Query<TapeFormat> queryTapeFormat() override;
    Query<DeviceTimecode> queryTimecode() override;
    int64_t droppedFrames() const override { return dropped_.load(); }

    // Simulation controls, callable from any thread.
    // The device disappears: the stream ends with a removal event, every later call fails.
    void unplug();
    void ejectTape();
    void insertTape();
    // The next n frames played are lost before delivery (counted by droppedFrames()).
    void dropNextFrames(int64_t n);
    // With kAsFastAsPossible, each frame waits until gate() is true (the receiver has room).
    void setReadyGate(std::function<bool()> gate);
    // Free space reported to a capture session using freeSpaceQuery(): a fixed byte count, or the
    // real volume when unset.
    void setSimulatedFreeSpace(std::optional<uint64_t> bytes);
    FreeSpaceQuery freeSpaceQuery();

    int64_t position() const;
    void setPosition(int64_t frame);
    int64_t tapeFrames() const { return tapeFrames_; }
    bool pal() const { return pal_; }
    SimTransportState transportState() const;
    // Frames handed to the frame callback since the stream started.
    int64_t deliveredFrames() const { return delivered_.load(); }

private:
    void run();
    bool readFrameLocked(int64_t n);
    int64_t framePeriodMicros() const { return core::dv::systemFor(pal_).frameMicros; }

    DeviceInfo info_;
    SimDeckOptions options_;
    media::DvMediaFile file_;
    std::vector<uint8_t> frame_;    // the frame under the head, filled by the device thread
    std::vector<uint8_t> scratch_;  // for status reads
    int64_t tapeFrames_ = 0;
    bool pal_ = true;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    FrameCallback onFrame_;
    EventCallback onEvent_;
    std::function<bool()> gate_;
    SimTransportState state_ = SimTransportState::kStopped;
    int64_t position_ = 0;
    int64_t dropPending_ = 0;
    bool stepPending_ = false;
    bool quit_ = false;
    bool tapeIn_ = true;
    std::atomic<bool> unplugged_{false};
    std::atomic<int64_t> dropped_{0};
    std::atomic<int64_t> delivered_{0};
    std::atomic<int64_t> freeSpace_{-1};
};

}  // namespace zorv::capture
