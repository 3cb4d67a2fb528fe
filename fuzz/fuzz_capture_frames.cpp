// Arbitrary bytes as the frames a capture device delivers: a device thread hands frames of the input's
// choosing (whole 525/60 or 625/50 frames, odd sizes) to a capture session, which splits, names and
// writes them with every trigger and name format taken from the input.
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_session.h"

using namespace zorv;
using namespace zorv::capture;

namespace {

class BytesDevice : public CaptureDevice {
public:
    BytesDevice(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    ~BytesDevice() override { stopStream(); }
    const DeviceInfo& info() const override { return info_; }
    core::Status startStream(FrameCallback onFrame, EventCallback onEvent) override {
        thread_ = std::thread([this, onFrame, onEvent] {
            std::vector<uint8_t> frame;
            size_t pos = 0;
            while (pos < size_) {
                // One byte picks the size, the rest fills the frame by repeating the input.
                uint8_t kind = data_[pos++];
                size_t n = kind % 4 == 0 ? 120000 : kind % 4 == 1 ? 144000 : static_cast<size_t>(kind) * 7;
                frame.resize(n);
                for (size_t i = 0; i < n; ++i) frame[i] = data_[(pos + i) % size_];
                pos += 1 + n / 4000;
                onFrame(frame);
            }
            if (size_ % 3 == 0) onEvent(DeviceEvent::kReadFailed);
            done_ = true;
        });
        return core::Status::success();
    }
    void stopStream() override {
        if (thread_.joinable()) thread_.join();
    }
    bool streaming() const override { return thread_.joinable(); }
    core::Status transport(TransportCommand) override { return core::Status::success(); }
    Query<DeviceKind> queryKind() override { return Query<DeviceKind>::success(DeviceKind::kVcr); }
    Query<TapeFormat> queryTapeFormat() override { return Query<TapeFormat>::success(TapeFormat::kPal); }
    Query<DeviceTimecode> queryTimecode() override { return Query<DeviceTimecode>::failure("GetStatus failed"); }
    int64_t droppedFrames() const override { return 0; }
    bool done() const { return done_.load(); }

private:
    const uint8_t* data_;
    size_t size_;
    DeviceInfo info_{"fuzz", "fuzz", ""};
    std::thread thread_;
    std::atomic<bool> done_{false};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 200000) return 0;
    static const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zorv-fuzz-capture-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    CaptureSettings s;
    s.capturePath = (dir / "Cap.avi").string();
    s.reelName = (data[0] & 0x80) ? "Reel" : "";
    s.trigger = static_cast<core::SplitTrigger>(1 + data[0] % 4);
    s.nameFormat = static_cast<core::SplitNameFormat>(1 + data[1] % 4);
    s.timecodeThreshold = 1 + data[2] % 999;
    s.dateTimeThreshold = 1 + data[2] % 999;
    s.prerollSeconds = data[3] % 3;
    s.aviType = (data[1] >> 7) ? media::AviType::kType2 : media::AviType::kType1;
    s.useSplitter = (data[3] & 0x40) == 0;
    s.bufferSlots = 8;

    BytesDevice device(data + 4, size - 4);
    CaptureSession session(device);
    session.setSettings(s);
    session.setFreeSpaceQuery([](const std::string&) { return std::optional<uint64_t>(1ull << 30); });
    if (session.start()) {
        while (!device.done()) std::this_thread::yield();  // all frames delivered
        if (data[3] & 0x20) session.splitNow();
        session.stop();
    }
    std::filesystem::remove_all(dir);
    return 0;
}
