#include "capture/device_list.h"

#ifdef ZORV_HAVE_FIREWIRE
#include "capture/firewire_device.h"
#endif

namespace zorv::capture {

using core::ErrorCode;
using core::Status;

std::vector<DeviceInfo> enumerateDevices() {
#ifdef ZORV_HAVE_FIREWIRE
    return FireWireDevice::enumerate();
#else
    return {};
#endif
}

bool fireWireAvailable() {
#ifdef ZORV_HAVE_FIREWIRE
    return true;
#else
    return false;
#endif
}

std::unique_ptr<CaptureDevice> openDevice(const std::string& id, const SimDeckOptions& simOptions, Status& st) {
    if (id.starts_with("sim:")) {
        auto deck = std::make_unique<SimDeck>();
        st = deck->load(id.substr(4), simOptions);
        if (!st) return nullptr;
        return deck;
    }
#ifdef ZORV_HAVE_FIREWIRE
    if (id.starts_with("fw:")) return FireWireDevice::open(id, st);
#endif
    st = Status::failure(ErrorCode::kOpenFailed, "Could not find Capture Device");
    return nullptr;
}

}  // namespace zorv::capture
