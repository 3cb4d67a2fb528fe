#include "capture/firewire_device.h"

#include <libavc1394/avc1394.h>
#include <libavc1394/avc1394_vcr.h>
#include <libavc1394/rom1394.h>
#include <libiec61883/iec61883.h>
#include <libraw1394/raw1394.h>
#include <poll.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <set>

namespace zorv::capture {

using core::ErrorCode;
using core::Status;

namespace {

constexpr int kMaxPorts = 16;
constexpr nodeid_t kLocalBus = 0xFFC0;
constexpr int kBroadcastChannel = 63;

// libiec61883 keeps its own object in the handle's user data, so bus resets find their device here.
std::mutex gDevicesLock;
std::map<raw1394handle_t, FireWireDevice*> gDevices;

int onFrame(unsigned char* data, int length, int complete, void* self) {
    static_cast<FireWireDevice*>(self)->frameReceived(data, length, complete != 0);
    return 0;
}

int onBusReset(raw1394handle_t handle, unsigned int generation) {
    std::lock_guard<std::mutex> g(gDevicesLock);
    auto it = gDevices.find(handle);
    if (it != gDevices.end()) it->second->busReset(generation);
    else raw1394_update_generation(handle, generation);
    return 0;
}

std::string guidText(uint64_t guid) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, guid);
    return buf;
}

// Every AV/C node of a port: GUID and directory label.
template <typename Visit>
void visitAvcNodes(raw1394handle_t handle, Visit visit) {
    const int nodes = raw1394_get_nodecount(handle);
    const nodeid_t local = raw1394_get_local_id(handle);
    for (int i = 0; i < nodes; ++i) {
        nodeid_t node = static_cast<nodeid_t>(kLocalBus | i);
        if (node == local) continue;
        rom1394_directory dir{};
        if (rom1394_get_directory(handle, node, &dir) < 0) continue;
        if (rom1394_get_node_type(&dir) == ROM1394_NODE_TYPE_AVC)
            visit(node, rom1394_get_guid(handle, node), dir.label ? std::string(dir.label) : std::string());
        rom1394_free_directory(&dir);
    }
}

int portCount(raw1394handle_t handle) {
    raw1394_portinfo ports[kMaxPorts];
    int n = raw1394_get_port_info(handle, ports, kMaxPorts);
    return n < 0 ? 0 : std::min(n, kMaxPorts);
}

}  // namespace

std::vector<DeviceInfo> FireWireDevice::enumerate() {
    std::vector<DeviceInfo> out;
    raw1394handle_t probe = raw1394_new_handle();
    if (!probe) return out;
    const int ports = portCount(probe);
    raw1394_destroy_handle(probe);
    for (int p = 0; p < ports; ++p) {
        raw1394handle_t h = raw1394_new_handle_on_port(p);
        if (!h) continue;
        visitAvcNodes(h, [&](nodeid_t node, uint64_t guid, const std::string& label) {
            DeviceInfo d;
            d.id = "fw:" + guidText(guid);
            d.friendlyName = label.empty() ? "DV camcorder" : label;
            d.description = avc1394_check_subunit_type(h, node, AVC1394_SUBUNIT_TYPE_VCR) ? "DV tape device" : "AV/C device";
            out.push_back(std::move(d));
        });
        raw1394_destroy_handle(h);
    }
    return out;
}

std::unique_ptr<CaptureDevice> FireWireDevice::open(const std::string& id, Status& st) {
    st = Status::failure(ErrorCode::kOpenFailed, "Could not find Capture Device");
    uint64_t guid = 0;
    if (!id.starts_with("fw:") || std::sscanf(id.c_str() + 3, "%" SCNx64, &guid) != 1) return nullptr;
    for (const auto& d : enumerate()) {
        if (d.id != "fw:" + guidText(guid)) continue;
        std::unique_ptr<FireWireDevice> dev(new FireWireDevice());
        dev->info_ = d;
        dev->guid_ = guid;
        raw1394handle_t probe = raw1394_new_handle();
        const int ports = probe ? portCount(probe) : 0;
        if (probe) raw1394_destroy_handle(probe);
        for (int p = 0; p < ports; ++p) {
            raw1394handle_t h = raw1394_new_handle_on_port(p);
            if (!h) continue;
            uint16_t node = 0;
            dev->port_ = p;
            if (dev->locate(h, node)) {
                dev->command_ = h;
                break;
            }
            raw1394_destroy_handle(h);
        }
        if (!dev->command_) return nullptr;
        st = Status::success();
        return dev;
    }
    return nullptr;
}

FireWireDevice::~FireWireDevice() {
    stopStream();
    if (command_) raw1394_destroy_handle(command_);
}

bool FireWireDevice::locate(raw1394_handle* handle, uint16_t& node) const {
    bool found = false;
    visitAvcNodes(handle, [&](nodeid_t n, uint64_t guid, const std::string&) {
        if (!found && guid == guid_) {
            node = n;
            found = true;
        }
    });
    return found;
}

Status FireWireDevice::startStream(FrameCallback onFrame, EventCallback onEvent) {
    if (removed_ || thread_.joinable()) return Status::failure(ErrorCode::kOpenFailed, "Could not run source graph");
    stream_ = raw1394_new_handle_on_port(port_);
    if (!stream_ || !locate(stream_, node_)) {
        if (stream_) raw1394_destroy_handle(stream_);
        stream_ = nullptr;
        return Status::failure(ErrorCode::kOpenFailed, "Could not find Capture Device", errno);
    }
    onFrame_ = std::move(onFrame);
    onEvent_ = std::move(onEvent);
    oplug_ = iplug_ = -1;
    bandwidth_ = 0;
    channel_ = iec61883_cmp_connect(stream_, node_, &oplug_, raw1394_get_local_id(stream_), &iplug_, &bandwidth_);
    if (channel_ < 0) channel_ = kBroadcastChannel;  // devices without plug registers send on 63
    frames_ = iec61883_dv_fb_init(stream_, zorv::capture::onFrame, this);
    if (!frames_ || iec61883_dv_fb_start(frames_, channel_) != 0) {
        if (frames_) iec61883_dv_fb_close(frames_);
        frames_ = nullptr;
        raw1394_destroy_handle(stream_);
        stream_ = nullptr;
        return Status::failure(ErrorCode::kReadFailed, "Could not render capture stream");
    }
    {
        std::lock_guard<std::mutex> g(gDevicesLock);
        gDevices[stream_] = this;
    }
    raw1394_set_bus_reset_handler(stream_, onBusReset);
    incomplete_ = 0;
    quit_ = false;
    thread_ = std::thread([this] { run(); });
    return Status::success();
}

void FireWireDevice::run() {
    pollfd pfd{raw1394_get_fd(stream_), POLLIN | POLLERR | POLLHUP, 0};
    while (!quit_ && !removed_) {
        int r = poll(&pfd, 1, 200);
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && raw1394_loop_iterate(stream_) != 0) {
            if (!quit_ && onEvent_) onEvent_(removed_ ? DeviceEvent::kRemoved : DeviceEvent::kReadFailed);
            return;
        }
    }
    if (removed_ && onEvent_) onEvent_(DeviceEvent::kRemoved);
}

void FireWireDevice::stopStream() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
    if (!stream_) return;
    {
        std::lock_guard<std::mutex> g(gDevicesLock);
        gDevices.erase(stream_);
    }
    if (frames_) iec61883_dv_fb_close(frames_);
    frames_ = nullptr;
    if (channel_ >= 0 && channel_ != kBroadcastChannel && !removed_)
        iec61883_cmp_disconnect(stream_, node_, oplug_, raw1394_get_local_id(stream_), iplug_,
                                static_cast<unsigned>(channel_), static_cast<unsigned>(bandwidth_));
    channel_ = -1;
    raw1394_destroy_handle(stream_);
    stream_ = nullptr;
}

void FireWireDevice::frameReceived(const uint8_t* data, int length, bool complete) {
    if (!complete) {
        ++incomplete_;
        return;
    }
    if (onFrame_ && length > 0) onFrame_(std::span<const uint8_t>(data, static_cast<size_t>(length)));
}

// Runs on the stream thread inside raw1394_loop_iterate.
void FireWireDevice::busReset(unsigned int generation) {
    raw1394_update_generation(stream_, generation);
    uint16_t node = 0;
    if (!locate(stream_, node)) {
        removed_ = true;
        return;
    }
    if (node != node_) {
        node_ = node;
        channel_ =
            iec61883_cmp_reconnect(stream_, node_, &oplug_, raw1394_get_local_id(stream_), &iplug_, &bandwidth_, channel_);
    }
}

Status FireWireDevice::transport(TransportCommand command) {
    if (removed_) return Status::failure(ErrorCode::kOpenFailed, "Capture device removed");
    std::lock_guard<std::mutex> g(commandLock_);
    uint16_t node = 0;
    if (!locate(command_, node)) return Status::failure(ErrorCode::kOpenFailed, "Could not get transport interface");
    switch (command) {
    case TransportCommand::kPlay: avc1394_vcr_play(command_, node); break;
    case TransportCommand::kStop: avc1394_vcr_stop(command_, node); break;
    case TransportCommand::kPause: avc1394_vcr_pause(command_, node); break;
    case TransportCommand::kFastForward: avc1394_vcr_forward(command_, node); break;
    case TransportCommand::kRewind: avc1394_vcr_rewind(command_, node); break;
    case TransportCommand::kPlayFastForward: avc1394_vcr_trick_play(command_, node, 7); break;
    case TransportCommand::kPlayRewind: avc1394_vcr_trick_play(command_, node, -7); break;
    case TransportCommand::kForwardFrame: avc1394_vcr_next(command_, node); break;
    case TransportCommand::kBackwardFrame: avc1394_vcr_previous(command_, node); break;
    }
    return Status::success();
}

Query<DeviceKind> FireWireDevice::queryKind() {
    if (removed_) return Query<DeviceKind>::failure("Could not get device capability");
    std::lock_guard<std::mutex> g(commandLock_);
    uint16_t node = 0;
    if (!locate(command_, node)) return Query<DeviceKind>::failure("Could not get device capability");
    if (avc1394_check_subunit_type(command_, node, AVC1394_SUBUNIT_TYPE_VCR))
        return Query<DeviceKind>::success(DeviceKind::kVcr);
    if (avc1394_check_subunit_type(command_, node, AVC1394_SUBUNIT_TYPE_VIDEO_CAMERA))
        return Query<DeviceKind>::success(DeviceKind::kCamera);
    return Query<DeviceKind>::success(DeviceKind::kOther);
}

Query<TapeFormat> FireWireDevice::queryTapeFormat() {
    if (removed_) return Query<TapeFormat>::failure("GetTransportBasicParameters failed");
    std::lock_guard<std::mutex> g(commandLock_);
    uint16_t node = 0;
    if (!locate(command_, node)) return Query<TapeFormat>::failure("GetTransportBasicParameters failed");
    quadlet_t state = avc1394_vcr_status(command_, node);
    if (state == 0) return Query<TapeFormat>::failure("GetStatus failed");
    // A deck without a cassette reports the load-medium state with the eject operand.
    if (AVC1394_MASK_OPCODE(state) == AVC1394_VCR_RESPONSE_TRANSPORT_STATE_LOAD_MEDIUM &&
        (state & 0xFF) == AVC1394_VCR_OPERAND_LOAD_MEDIUM_EJECT)
        return Query<TapeFormat>::success(TapeFormat::kNoTape);
    quadlet_t mode = avc1394_transaction(command_, node,
                                         AVC1394_CTYPE_STATUS | AVC1394_SUBUNIT_TYPE_VCR | AVC1394_SUBUNIT_ID_0 |
                                             AVC1394_VCR_COMMAND_OUTPUT_SIGNAL_MODE | 0xFF,
                                         2);
    if (AVC1394_MASK_RESPONSE(mode) != AVC1394_RESPONSE_IMPLEMENTED)
        return Query<TapeFormat>::failure("GetTransportBasicParameters failed");
    // Signal mode: bit 7 set for 625/50 (SD 0x80, SDL 0x84), clear for 525/60 (SD 0x00, SDL 0x04).
    switch (mode & 0xFF) {
    case 0x00:
    case 0x04: return Query<TapeFormat>::success(TapeFormat::kNtsc);
    case 0x80:
    case 0x84: return Query<TapeFormat>::success(TapeFormat::kPal);
    default: return Query<TapeFormat>::success(TapeFormat::kOther);
    }
}

Query<DeviceTimecode> FireWireDevice::queryTimecode() {
    if (removed_) return Query<DeviceTimecode>::failure("GetStatus failed");
    std::lock_guard<std::mutex> g(commandLock_);
    uint16_t node = 0;
    if (!locate(command_, node)) return Query<DeviceTimecode>::failure("GetStatus failed");
    char text[16] = {};
    DeviceTimecode tc;
    if (avc1394_vcr_get_timecode2(command_, node, text) != 0 ||
        std::sscanf(text, "%d:%d:%d:%d", &tc.hours, &tc.minutes, &tc.seconds, &tc.frames) != 4)
        return Query<DeviceTimecode>::failure("GetStatus failed");
    return Query<DeviceTimecode>::success(tc);
}

bool FireWireMonitor::start(DeviceNoticeCallback callback) {
    if (thread_.joinable()) return false;
    raw1394handle_t h = raw1394_new_handle_on_port(0);
    if (!h) return false;
    quit_ = false;
    thread_ = std::thread([this, h, callback = std::move(callback)] {
        std::set<std::string> known;
        for (const auto& d : FireWireDevice::enumerate()) known.insert(d.id);
        pollfd pfd{raw1394_get_fd(h), POLLIN | POLLERR | POLLHUP, 0};
        while (!quit_) {
            int r = poll(&pfd, 1, 200);
            if (r <= 0) continue;
            const unsigned before = raw1394_get_generation(h);
            if (raw1394_loop_iterate(h) != 0) break;
            if (raw1394_get_generation(h) == before) continue;  // not a bus reset
            std::set<std::string> now;
            for (const auto& d : FireWireDevice::enumerate()) now.insert(d.id);
            for (const auto& id : now)
                if (!known.count(id)) callback(DeviceNotice::kArrived, id);
            for (const auto& id : known)
                if (!now.count(id)) callback(DeviceNotice::kRemoved, id);
            known = std::move(now);
        }
        raw1394_destroy_handle(h);
    });
    return true;
}

void FireWireMonitor::stop() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace zorv::capture
