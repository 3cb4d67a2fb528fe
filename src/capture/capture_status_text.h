// The texts of the Capture window's status lines: device mode and signal, device timecode, capture
// duration, disk free space, and the fixed messages of a capture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "capture/capture_device.h"

namespace zorv::capture {

inline constexpr const char* kDeviceRemovedMessage = "Currently used Capture device has been removed.";
inline constexpr const char* kDeviceRemovedTitle = "Device removed or unplugged";
inline constexpr const char* kBuildFailedMessage =
    "Unable to build the capture graph.\r\n\r\nPlease check if another program is already using the "
    "camcorder/deck (you may also need to check programs running in the background or in the system tray). "
    "If you find any such programs close them, and then click the \"Refresh\" button.";

// "VCR", "Camera", "?" for another kind, "" when the device does not answer, "Error" when the query fails.
std::string modeText(const Query<DeviceKind>& kind);
// "NTSC", "PAL", "?", "No tape", or "Error" when the query fails.
std::string signalText(const Query<TapeFormat>& format);
// "hh:mm:ss:ff" (";" before the frames for drop-frame timecode); empty when the query failed.
std::string deviceTimecodeText(const Query<DeviceTimecode>& timecode);
// "hh:mm:ss" of whole seconds.
std::string durationText(int64_t seconds);
// "12,345 MB (1.1 hours)" from 11,250 MiB up, "1,234 MB (658 mins)" below, "Disk full" below 1 MiB,
// "Unknown" when the volume cannot be queried.
std::string freeSpaceText(std::optional<uint64_t> freeBytes);

}  // namespace zorv::capture
