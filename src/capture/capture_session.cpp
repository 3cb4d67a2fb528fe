#include "capture/capture_session.h"

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "core/dv_layout.h"
#include "media/avi_chunks.h"
#include "media/dv_audio.h"
#include "media/file_io.h"
#include "tools/file_log_entry.h"
#include "tools/split_naming.h"

namespace zorv::capture {

using core::ErrorCode;
using core::FrameRingBuffer;
using core::Status;

namespace {

// Frames taken while the session was paused: the splitter still sees them, no file receives them.
constexpr uint32_t kPausedFrame = 0x100;

// How often a growing file is made valid on disk: at most this much is lost to a crash.
constexpr auto kCheckpointInterval = std::chrono::seconds(1);
constexpr uint32_t kCaptureIndexSlots = 4096;

constexpr size_t kNtscFrameBytes = 120000;  // 10 DIF sequences
constexpr size_t kPalFrameBytes = 144000;   // 12 DIF sequences

int64_t nowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// " on DATE at TIME" in the user's locale forms.
std::string localDateAndTime() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char date[64], time[64];
    std::strftime(date, sizeof date, "%x", &tm);
    std::strftime(time, sizeof time, "%X", &tm);
    return std::string(" on ") + date + " at " + time;
}

bool isError(StopReason r) {
    return r == StopReason::kDeviceRemoved || r == StopReason::kReadError || r == StopReason::kWriteError ||
           r == StopReason::kDiskSpace;
}

}  // namespace

CaptureSettings captureSettingsFrom(const core::Options& o, const std::string& capturePath, const std::string& reelName) {
    CaptureSettings s;
    s.capturePath = capturePath;
    s.reelName = reelName;
    s.stopMode = core::captureStopModeOf(o);
    s.durationHours = o.captureDurationHours;
    s.durationMinutes = o.captureDurationMinutes;
    s.durationSeconds = o.captureDurationSeconds;
    s.noFramesSeconds = core::clampNoFramesSeconds(o.noFramesSeconds);
    s.aviType = core::choiceOf<media::AviType>(core::clampCaptureAviType(o.captureAviType));
    s.useSplitter = o.useSplitter;
    s.slaveToCamera = o.slaveToCamera;
    s.useCurrentDateTime = o.useCurrentDateTime;
    s.trigger = core::splitTriggerOf(o);
    s.nameFormat = core::splitNameFormatOf(o);
    s.timecodeThreshold = core::clampSplitThreshold(o.timecodeTriggerFrames);
    s.dateTimeThreshold = core::clampSplitThreshold(o.dateTimeTriggerSeconds);
    s.prerollSeconds = core::clampPrerollDelay(o.prerollDelaySeconds);
    s.dropFrameDisplay = core::choiceOf<core::DropFrameDisplay>(core::clampDropFrameDisplay(o.dropFrameDisplay));
    return s;
}

CaptureSession::CaptureSession(CaptureDevice& device) : device_(device) {}

CaptureSession::~CaptureSession() { stop(); }

void CaptureSession::setWatchIntervals(std::chrono::milliseconds conditions, std::chrono::milliseconds freeSpace) {
    watchInterval_ = conditions;
    freeSpaceInterval_ = freeSpace;
}

Status CaptureSession::start() {
    if (running_) return Status::failure(ErrorCode::kOpenFailed, "Error while capturing");
    if (watcher_.joinable()) watcher_.join();  // an earlier run that stopped by itself
    if (settings_.capturePath.empty()) return Status::failure(ErrorCode::kOpenFailed, "A Capture file pathname is required");
    base_ = tools::pathWithoutExtension(settings_.capturePath);

    std::optional<uint64_t> free = freeSpace_ ? freeSpace_(base_) : volumeFreeBytes(base_);
    if (free && wholeMiB(*free) < kMinFreeMiB)
        return Status::failure(ErrorCode::kWriteFailed, "Insufficient disk space available");

    logPath_ = base_ + ".log";
    // A later session with the same base adds to the log and the batch list of the earlier ones.
    log_ = std::fopen(logPath_.c_str(), "ab");
    if (!log_) return Status::failure(ErrorCode::kWriteFailed, "Failed to create log file", errno);
    batchPath_ = base_ + ".csv";
    batch_ = std::fopen(batchPath_.c_str(), "ab");
    if (!batch_) {
        int err = errno;
        std::fclose(log_);
        log_ = nullptr;
        return Status::failure(ErrorCode::kWriteFailed, "Failed to create Premiere batch list file", err);
    }
    logFailed_ = false;
    logText("\r\nCapture started" + localDateAndTime() + "\r\n\r\n");

    Status st = buffer_.create(settings_.bufferSlots);
    if (!st) {
        std::fclose(log_);
        std::fclose(batch_);
        log_ = batch_ = nullptr;
        return st;
    }

    tools::SplitRules rules;
    rules.trigger = settings_.trigger;
    rules.timecodeThreshold = settings_.timecodeThreshold;
    rules.dateTimeThreshold = settings_.dateTimeThreshold;
    rules.prerollSeconds = settings_.prerollSeconds;
    decider_.reset(rules);
    pcm_.assign(2 * media::dvaudio::kMaxSamplesPerFrame, 0);
    currentReel_ = settings_.reelName;
    reelCounter_ = 0;
    fileCount_ = 0;
    sequence_ = 1;
    fileOpen_ = haveStartFrame_ = newReelPending_ = false;
    durationLimitFrames_ = -1;  // known at the first frame (frame rate)
    lastSequences_ = 0;
    bufferDrops_ = framesDelivered_ = framesWritten_ = 0;
    paused_ = false;
    splitNow_ = false;
    stopReason_ = StopReason::kNone;
    {
        std::lock_guard<std::mutex> g(mutex_);
        stopRequested_ = false;
        stopped_ = false;
        lastError_.clear();
        files_.clear();
    }
    started_ = std::chrono::steady_clock::now();
    freeKnown_ = false;
    lastFrameMicros_ = nowMicros();
    running_ = true;
    accepting_ = true;

    writer_ = std::thread([this] { writerLoop(); });
    // The stream starts before the watcher, which is the one to stop it.
    if (!callerStream_)
        st = device_.startStream([this](std::span<const uint8_t> f) { onFrame(f); }, [this](DeviceEvent e) { onEvent(e); });
    if (!st) requestStop(StopReason::kReadError, st.message.empty() ? "Failed while reading capture device" : st.message);
    watcher_ = std::thread([this] { watchLoop(); });
    if (!st) {
        wait();
        return st;
    }
    if (settings_.slaveToCamera) (void)device_.transport(TransportCommand::kPlay);
    return Status::success();
}

void CaptureSession::onFrame(std::span<const uint8_t> frame) {
    if (!accepting_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> g(producerLock_);
    if (!accepting_.load(std::memory_order_acquire)) return;
    lastFrameMicros_.store(nowMicros(), std::memory_order_relaxed);
    framesDelivered_.fetch_add(1, std::memory_order_relaxed);
    // Only whole 525/60 or 625/50 frames go on; a full buffer loses the frame rather than waiting.
    const bool whole = frame.size() == kNtscFrameBytes || frame.size() == kPalFrameBytes;
    if (!whole || buffer_.fillLevel() >= buffer_.slotCount()) {
        bufferDrops_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    buffer_.putFrame(frame, paused_.load(std::memory_order_relaxed) ? kPausedFrame : 0);
}

void CaptureSession::onEvent(DeviceEvent event) {
    if (event == DeviceEvent::kRemoved) requestStop(StopReason::kDeviceRemoved, "Capture device removed");
    else requestStop(StopReason::kReadError, "Failed while reading capture device");
}

bool CaptureSession::bufferHasRoom() const {
    return !running_ || buffer_.aborted() || buffer_.fillLevel() < buffer_.slotCount();
}

void CaptureSession::pause() {
    if (running_) paused_ = true;
}
void CaptureSession::resume() { paused_ = false; }

void CaptureSession::setLastError(const std::string& text) { lastError_ = text.substr(0, 127); }

std::string CaptureSession::lastError() const {
    std::lock_guard<std::mutex> g(mutex_);
    return lastError_;
}

void CaptureSession::logText(const std::string& text) {
    if (!log_ || logFailed_) return;
    // A failed log write is remembered and does not stop the capture.
    if (std::fwrite(text.data(), 1, text.size(), log_) != text.size() || std::fflush(log_) != 0) logFailed_ = true;
}

// Whether `bytes` more can be written with the free-space floor left. The volume is asked again
// once a second and whenever what was written since the last answer would reach the floor, so a
// fast writer cannot fill the disk between two looks.
bool CaptureSession::roomFor(uint64_t bytes) {
    const uint64_t floor = kMinFreeMiB << 20;
    const auto now = std::chrono::steady_clock::now();
    if (!freeKnown_ || now - freeAskedAt_ >= freeSpaceInterval_ || writtenSinceAsk_ + bytes + floor > freeAtAsk_) {
        std::optional<uint64_t> free = freeSpace_ ? freeSpace_(base_) : volumeFreeBytes(base_);
        if (!free) return true;  // a volume that cannot be asked is not judged
        freeKnown_ = true;
        freeAtAsk_ = *free;
        writtenSinceAsk_ = 0;
        freeAskedAt_ = now;
    }
    if (writtenSinceAsk_ + bytes + floor > freeAtAsk_) return false;
    writtenSinceAsk_ += bytes;
    return true;
}

void CaptureSession::requestStop(StopReason reason, const std::string& error) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        if (stopRequested_ || stopped_) return;
        stopRequested_ = true;
        stopReason_ = reason;
        if (!error.empty()) setLastError(error);
    }
    stopCv_.notify_all();
}

std::string CaptureSession::nextFileName(const tools::SplitFrameInfo& first) {
    if (!settings_.useSplitter) return tools::uniqueFileName(base_ + ".avi");
    std::string suffix;
    char buf[64];
    switch (settings_.nameFormat) {
    case core::SplitNameFormat::kNumber:
        for (;;) {
            std::snprintf(buf, sizeof buf, " %04d", sequence_);
            if (!exists(base_ + buf + ".avi")) break;
            ++sequence_;
        }
        ++sequence_;
        suffix = buf;
        break;
    case core::SplitNameFormat::kDateTime:
        if (settings_.useCurrentDateTime) {
            std::time_t t = std::time(nullptr);
            std::tm tm{};
            localtime_r(&t, &tm);
            std::snprintf(buf, sizeof buf, " %02d-%02d-%02d %02d.%02d.%02d", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday,
                          tm.tm_hour, tm.tm_min, tm.tm_sec);
            suffix = buf;
        } else if (first.recValid) {
            // Capture names keep the two-digit year of the date pack.
            std::snprintf(buf, sizeof buf, " %02d-%02d-%02d %02d.%02d.%02d", first.recYear2 % 100, first.recMonth,
                          first.recDay, first.recHour, first.recMinute, first.recSecond);
            suffix = buf;
        } else {
            suffix = " -------- --.--.--";
        }
        break;
    default: suffix = tools::splitNameSuffix(settings_.nameFormat, fileCount_ + 1, first); break;
    }
    return tools::uniqueFileName(base_ + suffix + ".avi");
}

// Opens the next file at its first kept frame; the start frame (before the pre-roll) names it.
Status CaptureSession::beginFile() {
    if (newReelPending_ && !settings_.reelName.empty())
        currentReel_ = tools::reelWithLetter(settings_.reelName, reelCounter_++);
    newReelPending_ = false;
    current_.number = fileCount_ + 1;
    current_.reel = currentReel_;
    current_.path = nextFileName(current_.first);

    media::AviWriterOptions opt;
    opt.type = settings_.aviType;
    opt.pal = current_.firstKept.sequences == 12;
    opt.reservedListSize = static_cast<uint32_t>(media::kTimecodeListSize);
    opt.reservedText = media::timecodeListReservedText();
    // One super index entry per checkpoint of the growing RIFF beside one per finished RIFF.
    opt.superIndexSlots = kCaptureIndexSlots;
    Status st = avi_.open(current_.path, opt);
    lastCheckpoint_ = std::chrono::steady_clock::now();
    if (!st) return Status::failure(ErrorCode::kWriteFailed, "Failed while writing output file", st.sysError);
    fileOpen_ = true;
    ++fileCount_;

    char buf[64];
    std::snprintf(buf, sizeof buf, "Capture file #%d created\r\n", current_.number);
    logText(buf);
    logText("File name: " + current_.path + "\r\n");
    const auto& f = current_.first;
    logText("Start TC: " +
            tools::timecodeText(f.tcHours, f.tcMinutes, f.tcSeconds, f.tcFrames, f.tcDropFrame, settings_.dropFrameDisplay) +
            "\r\n");
    std::lock_guard<std::mutex> g(mutex_);
    files_.push_back(current_);
    return Status::success();
}

void CaptureSession::finishFile() {
    if (!fileOpen_) return;
    fileOpen_ = false;
    Status st = avi_.close();
    if (!st) requestStop(StopReason::kWriteError, "Failed while writing output file");
    const core::DropFrameDisplay display = settings_.dropFrameDisplay;
    if (current_.prerollDiscarded > 0) {
        const auto& k = current_.firstKept;
        logText("Frames discarded by preroll delay\r\nStart TC: " +
                tools::timecodeText(k.tcHours, k.tcMinutes, k.tcSeconds, k.tcFrames, k.tcDropFrame, display) + "\r\n");
    }
    auto endText = [this](core::DropFrameDisplay form) {
        return tools::timecodeText(current_.endHours, current_.endMinutes, current_.endSeconds, current_.endFrames,
                                   current_.endDropFrame, form);
    };
    logText("End TC: " + endText(display) + "\r\n\r\n");
    if (batch_) {
        const auto& k = current_.firstKept;
        const auto form = core::DropFrameDisplay::kEverywhere;
        tools::writeBatchListEntry(batch_, current_.path,
                                   tools::timecodeText(k.tcHours, k.tcMinutes, k.tcSeconds, k.tcFrames, k.tcDropFrame, form),
                                   endText(form), current_.frames, current_.reel);
    }
    if (st)
        current_.timecodeListWritten =
            media::writeTimecodeListTo(current_.path, current_.firstKept.timecodeText(), current_.reel);
    std::lock_guard<std::mutex> g(mutex_);
    if (!files_.empty()) files_.back() = current_;
}

void CaptureSession::writerLoop() {
    const bool type2 = settings_.aviType == media::AviType::kType2;
    for (;;) {
        FrameRingBuffer::Entry e;
        if (!buffer_.take(e)) break;
        if (e.kind != FrameRingBuffer::EntryKind::kFrame) {
            buffer_.release();
            if (e.kind == FrameRingBuffer::EntryKind::kEndOfInput) break;
            continue;
        }
        const std::span<const uint8_t> frame = e.data;
        tools::SplitFrameInfo info = tools::readSplitFrameInfo(frame.data(), frame.size());
        if (durationLimitFrames_ < 0) {
            const bool pal = info.sequences == 12;
            pal_ = pal;
            int64_t limit = settings_.stopMode == core::CaptureStopMode::kDuration
                                ? 3600 * static_cast<int64_t>(settings_.durationHours) +
                                      60 * static_cast<int64_t>(settings_.durationMinutes) + settings_.durationSeconds
                                : 0;
            // Whole frames of the system's rate, rounded up.
            const core::dv::System& sys = core::dv::systemFor(pal);
            durationLimitFrames_ = (limit * sys.rateNum + sys.rateDen - 1) / sys.rateDen;
        }
        if (durationLimitFrames_ > 0 && framesWritten_.load() >= durationLimitFrames_) {
            buffer_.release();  // the limit is reached: the rest waits for the stop
            continue;
        }

        tools::SplitDecider::Verdict v;
        // A change between 525/60 and 625/50 frames cannot go on in the same AVI file.
        const bool systemChanged = lastSequences_ != 0 && info.sequences != lastSequences_;
        lastSequences_ = info.sequences;
        if (settings_.useSplitter) {
            if (splitNow_.exchange(false) || systemChanged) decider_.requestSplit();
            v = decider_.step(info);
        } else {
            v.deliver = true;
            v.split = systemChanged;
        }
        if (v.split) {
            finishFile();
            haveStartFrame_ = false;
        }
        if (v.startsFile && v.newReel) newReelPending_ = true;
        if (!haveStartFrame_) {
            current_ = CapturedFile{};
            current_.first = info;
            haveStartFrame_ = true;
        }
        if (!v.deliver) {
            if (!fileOpen_) ++current_.prerollDiscarded;
            buffer_.release();
            continue;
        }
        if (e.flags & kPausedFrame) {
            buffer_.release();
            continue;
        }
        if (!fileOpen_) {
            current_.firstKept = info;
            Status st = beginFile();
            if (!st) {
                buffer_.release();
                requestStop(StopReason::kWriteError, st.message);
                buffer_.abort();
                break;
            }
        }
        if (beforeWrite_) beforeWrite_(framesWritten_.load());
        std::span<const uint8_t> pcm;
        if (type2) {
            if (auto audio = media::dvaudio::readAudioInfo(frame.data(), frame.size())) {
                int n = media::dvaudio::extractPcm(frame.data(), frame.size(), *audio, 0, pcm_.data());
                pcm = {reinterpret_cast<const uint8_t*>(pcm_.data()), static_cast<size_t>(n) * 4};
            }
        }
        // The frame's chunks, their index entries and what closing the file appends.
        if (!roomFor(frame.size() + pcm.size() + 64 + avi_.closingBytes())) {
            buffer_.release();
            requestStop(StopReason::kDiskSpace, "Insufficient disk space available");
            buffer_.abort();
            break;
        }
        Status st = type2 ? avi_.writeFrame(frame, pcm) : avi_.writeFrame(frame);
        buffer_.release();
        const auto now = std::chrono::steady_clock::now();
        if (st && now - lastCheckpoint_ >= kCheckpointInterval) {
            lastCheckpoint_ = now;
            st = avi_.checkpoint(true);
        }
        if (!st) {
            requestStop(StopReason::kWriteError, "Failed while writing output file");
            buffer_.abort();
            break;
        }
        current_.endHours = info.tcHours;
        current_.endMinutes = info.tcMinutes;
        current_.endSeconds = info.tcSeconds;
        current_.endFrames = info.tcFrames;
        current_.endDropFrame = info.hasTimecode() ? info.tcDropFrame : current_.firstKept.tcDropFrame;
        ++current_.frames;
        int64_t written = framesWritten_.fetch_add(1) + 1;
        if (durationLimitFrames_ > 0 && written >= durationLimitFrames_) requestStop(StopReason::kDuration, {});
    }
    finishFile();
}

void CaptureSession::watchLoop() {
    auto lastFreeCheck = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lk(mutex_);
    while (!stopRequested_) {
        stopCv_.wait_for(lk, watchInterval_);
        if (stopRequested_) break;
        lk.unlock();
        if (settings_.stopMode == core::CaptureStopMode::kNoFrames) {
            int64_t idle = nowMicros() - lastFrameMicros_.load();
            if (idle >= static_cast<int64_t>(settings_.noFramesSeconds) * 1000000) requestStop(StopReason::kNoFrames, {});
        }
        auto now = std::chrono::steady_clock::now();
        if (now - lastFreeCheck >= freeSpaceInterval_) {
            lastFreeCheck = now;
            std::optional<uint64_t> free = freeSpace_ ? freeSpace_(base_) : volumeFreeBytes(base_);
            if (free && wholeMiB(*free) < kMinFreeMiB)
                requestStop(StopReason::kDiskSpace, "Insufficient disk space available");
        }
        lk.lock();
    }
    lk.unlock();
    shutdown();
}

void CaptureSession::shutdown() {
    {
        std::lock_guard<std::mutex> g(producerLock_);
        accepting_ = false;
    }
    if (settings_.slaveToCamera && stopReason_.load() != StopReason::kDeviceRemoved)
        (void)device_.transport(TransportCommand::kStop);
    if (!callerStream_) device_.stopStream();
    if (!buffer_.aborted()) buffer_.putEndOfInput();
    if (writer_.joinable()) writer_.join();

    StopReason reason = stopReason_.load();
    if (int64_t dropped = bufferDrops_.load() + device_.droppedFrames(); dropped > 0)
        logText("Dropped frames: " + std::to_string(dropped) + "\r\n\r\n");
    if (isError(reason)) logText("\r\nError: " + lastError() + "\r\n\r\n");
    if (fileCount_ == 0) logText("No capture files were created because no video frames were encountered\r\n\r\n");
    logText("Capture ended" + localDateAndTime() + "\r\n\r\n");
    if (log_) std::fclose(log_);
    if (batch_) std::fclose(batch_);
    log_ = batch_ = nullptr;
    {
        std::lock_guard<std::mutex> g(mutex_);
        stopped_ = true;
    }
    running_ = false;
}

void CaptureSession::stop() {
    requestStop(StopReason::kUser, {});
    wait();
}

Status CaptureSession::wait() {
    if (watcher_.joinable()) watcher_.join();
    StopReason reason = stopReason_.load();
    if (reason == StopReason::kNone) return Status::success();
    std::string error = lastError();
    switch (reason) {
    case StopReason::kDeviceRemoved:
    case StopReason::kReadError: return Status::failure(ErrorCode::kReadFailed, error);
    case StopReason::kWriteError: return Status::failure(ErrorCode::kWriteFailed, error);
    default: return Status::success();
    }
}

CaptureStatus CaptureSession::status() const {
    CaptureStatus s;
    s.running = running_;
    s.paused = paused_;
    s.framesCaptured = framesWritten_;
    const core::dv::System& sys = core::dv::systemFor(pal_);
    s.capturedSeconds = static_cast<double>(s.framesCaptured) * (static_cast<double>(sys.rateDen) / sys.rateNum);
    s.droppedFrames = bufferDrops_ + device_.droppedFrames();
    s.bufferSlots = buffer_.slotCount();
    s.bufferFill = buffer_.fillLevel();
    s.stopReason = stopReason_;
    s.logPath = logPath_;
    std::lock_guard<std::mutex> g(mutex_);
    s.lastError = lastError_;
    if (!files_.empty()) {
        s.fileNumber = files_.back().number;
        s.filePath = files_.back().path;
    }
    return s;
}

std::vector<CapturedFile> CaptureSession::files() const {
    std::lock_guard<std::mutex> g(mutex_);
    return files_;
}

}  // namespace zorv::capture
