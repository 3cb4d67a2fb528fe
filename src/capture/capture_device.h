// A DV capture device as the capture session sees it: a camcorder or deck that streams whole DV frames
// and obeys tape transport commands. Backends: the FireWire one (IEC 61883 reception, AV/C commands)
// and a simulated deck that plays a DV file as tape.
//
// Frames arrive through a callback on the device's own thread, one whole frame per call; the callback
// must copy what it needs and return quickly. Events (removal of the device, a failed read) arrive the
// same way through the event callback.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"

namespace zorv::capture {

struct DeviceInfo {
    std::string id;            // what open() takes: "sim:PATH", or "fw:GUID" for a FireWire device
    std::string friendlyName;  // shown in the Device list
    std::string description;
};

enum class TransportCommand : int {
    kPlay,
    kStop,
    kPause,            // freeze
    kFastForward,      // wind
    kRewind,           // wind
    kPlayFastForward,  // shuttle
    kPlayRewind,       // shuttle
    kForwardFrame,     // step
    kBackwardFrame,    // step
};

// What the device says it is. kUnsupported: the device does not answer the question.
enum class DeviceKind : int { kVcr, kCamera, kOther, kUnsupported };
enum class TapeFormat : int { kNtsc, kPal, kOther, kNoTape };

// A status query: the value, or the failure text of the query ("GetStatus failed", ...).
template <typename T>
struct Query {
    bool ok = false;
    T value{};
    std::string error;

    static Query success(T v) { return Query{true, v, {}}; }
    static Query failure(std::string text) { return Query{false, T{}, std::move(text)}; }
};

struct DeviceTimecode {
    int hours = 0, minutes = 0, seconds = 0, frames = 0;
    bool dropFrame = false;
};

enum class DeviceEvent : int {
    kRemoved,     // the device is gone (unplugged, powered off)
    kReadFailed,  // the stream broke off while reading
};

class CaptureDevice {
public:
    using FrameCallback = std::function<void(std::span<const uint8_t> frame)>;
    using EventCallback = std::function<void(DeviceEvent event)>;

    virtual ~CaptureDevice() = default;

    virtual const DeviceInfo& info() const = 0;

    // Starts delivering frames to onFrame on the device's thread. onEvent receives removal and read
    // failures (also on a thread of the device). Fails when the device is gone or already streaming.
    virtual core::Status startStream(FrameCallback onFrame, EventCallback onEvent) = 0;
    // Stops the stream and waits for the device thread; no callback runs after it returns. Must not be
    // called from a callback.
    virtual void stopStream() = 0;
    virtual bool streaming() const = 0;

    // Runs a transport command. May take a while on real hardware: the window calls it from its
    // transport thread.
    virtual core::Status transport(TransportCommand command) = 0;

    virtual Query<DeviceKind> queryKind() = 0;
    virtual Query<TapeFormat> queryTapeFormat() = 0;
    virtual Query<DeviceTimecode> queryTimecode() = 0;

    // Frames the device or its driver lost before delivery, since the stream started.
    virtual int64_t droppedFrames() const = 0;
};

// Notices of devices coming and going, for the Device list.
enum class DeviceNotice : int { kArrived, kRemoved };
using DeviceNoticeCallback = std::function<void(DeviceNotice notice, const std::string& deviceId)>;

}  // namespace zorv::capture
