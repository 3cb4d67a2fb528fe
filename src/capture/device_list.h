// Finding and opening capture devices by id: "sim:PATH" opens a simulated deck playing the DV file
// PATH; "fw:GUID" (16 hexadecimal digits) a FireWire camcorder or deck, when the FireWire backend is
// built.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "capture/capture_device.h"
#include "capture/sim_deck.h"

namespace zorv::capture {

// The FireWire devices on the bus (none when the backend is not built or no bus is present).
std::vector<DeviceInfo> enumerateDevices();

// Opens a device by id. Failures: "Could not find Capture Device" (unknown id, missing device or tape
// file), with the reason in st.
std::unique_ptr<CaptureDevice> openDevice(const std::string& id, const SimDeckOptions& simOptions, core::Status& st);

// Whether the FireWire backend was built into this program.
bool fireWireAvailable();

}  // namespace zorv::capture
