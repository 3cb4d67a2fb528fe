#include "capture/transport_thread.h"

#include "capture/capture_status_text.h"

namespace zorv::capture {

TransportThread::TransportThread(CaptureDevice& device) : device_(device) {
    thread_ = std::thread([this] { run(); });
}

TransportThread::~TransportThread() { stop(); }

void TransportThread::post(TransportCommand command) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (quit_) return;
        commands_.push_back(command);
    }
    wake_.notify_one();
}

void TransportThread::refreshStatus() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (quit_ || statusQueued_) return;
        statusQueued_ = true;
    }
    wake_.notify_one();
}

DeviceStatusLines TransportThread::status() const {
    std::lock_guard<std::mutex> g(mutex_);
    return status_;
}

int TransportThread::commandsRun() const {
    std::lock_guard<std::mutex> g(mutex_);
    return commandsRun_;
}

void TransportThread::stop() {
    {
        std::lock_guard<std::mutex> g(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void TransportThread::run() {
    std::unique_lock<std::mutex> lk(mutex_);
    for (;;) {
        wake_.wait(lk, [this] { return quit_ || !commands_.empty() || statusQueued_; });
        if (!commands_.empty()) {
            TransportCommand c = commands_.front();
            commands_.pop_front();
            lk.unlock();
            core::Status st = device_.transport(c);
            lk.lock();
            ++commandsRun_;
            if (!st) status_.lastError = st.message;
            continue;
        }
        if (statusQueued_) {
            lk.unlock();
            Query<DeviceKind> kind = device_.queryKind();
            Query<TapeFormat> format = device_.queryTapeFormat();
            Query<DeviceTimecode> tc = device_.queryTimecode();
            DeviceStatusLines lines;
            lines.mode = modeText(kind);
            lines.vcr = kind.ok && kind.value == DeviceKind::kVcr;
            lines.signal = signalText(format);
            lines.timecode = deviceTimecodeText(tc);
            if (!kind.ok) lines.lastError = kind.error;
            else if (!format.ok) lines.lastError = format.error;
            lk.lock();
            statusQueued_ = false;
            lines.rounds = status_.rounds + 1;
            if (lines.lastError.empty()) lines.lastError = status_.lastError;
            status_ = std::move(lines);
            continue;
        }
        if (quit_) return;
    }
}

}  // namespace zorv::capture
