// The device-control thread of the Capture window: transport buttons post commands and status timers
// post queries; both run here against the device, so the window never waits for a slow deck. The
// latest answers are kept for the window to read at any time.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "capture/capture_device.h"

namespace zorv::capture {

// The status lines from the last completed query round.
struct DeviceStatusLines {
    std::string mode;       // "VCR", "Camera", "?", "" or "Error"
    std::string signal;     // "NTSC", "PAL", "?", "No tape" or "Error"
    std::string timecode;   // "hh:mm:ss:ff" / "hh:mm:ss;ff", empty when unknown
    std::string lastError;  // the failure text of a query or command, empty when all went well
    bool vcr = false;       // the transport buttons are usable
    int rounds = 0;         // completed query rounds
};

class TransportThread {
public:
    explicit TransportThread(CaptureDevice& device);
    ~TransportThread();
    TransportThread(const TransportThread&) = delete;
    TransportThread& operator=(const TransportThread&) = delete;

    // Queue a transport command; returns at once.
    void post(TransportCommand command);
    // Queue a round of the mode, signal and timecode queries (skipped when one is already queued).
    void refreshStatus();
    DeviceStatusLines status() const;
    // Commands run so far (for the window's tests).
    int commandsRun() const;

    // Ends the thread after the work in hand; later posts are ignored.
    void stop();

private:
    void run();

    CaptureDevice& device_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TransportCommand> commands_;
    bool statusQueued_ = false;
    bool quit_ = false;
    int commandsRun_ = 0;
    DeviceStatusLines status_;
    std::thread thread_;
};

}  // namespace zorv::capture
