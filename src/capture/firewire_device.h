// A DV camcorder or deck on the FireWire bus: DV frames received over an IEC 61883 isochronous
// connection (libiec61883's frame interface), tape transport and status by AV/C commands
// (libavc1394), device discovery through the configuration ROM. A bus reset after which the device's
// GUID is no longer on the bus reports the device as removed.
//
// Threads: the stream thread owns one libraw1394 handle (reception and bus resets); commands and status
// queries share a second handle under a lock, so the window's transport thread never touches the
// stream's handle.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"

struct raw1394_handle;
struct iec61883_dv_fb;

namespace zorv::capture {

class FireWireDevice : public CaptureDevice {
public:
    ~FireWireDevice() override;

    // AV/C devices on every port, ids "fw:" + 16 hexadecimal digits of the GUID.
    static std::vector<DeviceInfo> enumerate();
    static std::unique_ptr<CaptureDevice> open(const std::string& id, core::Status& st);

    const DeviceInfo& info() const override { return info_; }
    core::Status startStream(FrameCallback onFrame, EventCallback onEvent) override;
    void stopStream() override;
    bool streaming() const override { return thread_.joinable(); }
    core::Status transport(TransportCommand command) override;
    Query<DeviceKind> queryKind() override;
    Query<TapeFormat> queryTapeFormat() override;
    Query<DeviceTimecode> queryTimecode() override;
    int64_t droppedFrames() const override { return incomplete_.load(); }

    // Called by the reception and bus-reset callbacks.
    void frameReceived(const uint8_t* data, int length, bool complete);
    void busReset(unsigned int generation);

private:
    FireWireDevice() = default;
    void run();
    bool locate(raw1394_handle* handle, uint16_t& node) const;

    DeviceInfo info_;
    uint64_t guid_ = 0;
    int port_ = 0;

    std::mutex commandLock_;
    raw1394_handle* command_ = nullptr;

    raw1394_handle* stream_ = nullptr;
    iec61883_dv_fb* frames_ = nullptr;
    uint16_t node_ = 0;
    int channel_ = -1, oplug_ = -1, iplug_ = -1, bandwidth_ = 0;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> removed_{false};
    std::atomic<int64_t> incomplete_{0};
    FrameCallback onFrame_;
    EventCallback onEvent_;
};

// Arrival and removal notices of FireWire devices: a thread that waits for bus resets and compares the
// devices on the bus before and after.
class FireWireMonitor {
public:
    ~FireWireMonitor() { stop(); }
    bool start(DeviceNoticeCallback callback);
    void stop();

private:
    std::thread thread_;
    std::atomic<bool> quit_{false};
};

}  // namespace zorv::capture
