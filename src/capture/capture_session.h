// One capture run from a DV device into AVI files.
//
// Threads: the device thread copies each delivered frame into a 150-slot frame ring buffer and never
// waits (a full buffer counts the frame as dropped); the writer thread takes the frames, runs the
// splitter's decision over them (timecode, date/time, user bits or tape index trigger, pre-roll, reel
// letters, "Split Now") and writes one AVI file per recording; a watcher thread checks the stop
// conditions (duration, no frames for N seconds, free space below 20 MiB, device or write error) and
// winds everything down.
//
// The AVI files are valid while they grow: about once a second the writer indexes the frames written
// since the last time and rewrites the sizes and counts (media::AviWriter::checkpoint), so a crash,
// a kill or a power loss costs at most the last second. Before each frame the writer checks that the
// frame and the file's closing indexes leave the 20 MiB floor free, and stops cleanly otherwise.
//
// Beside the files the session writes a log (base + ".log") and a Premiere batch list (base + ".csv"),
// appended to by every session with the same base:
//   log:   "\r\nCapture started on DATE at TIME\r\n\r\n", then per file "Capture file #N created",
//          "File name: PATH", "Start TC: ..." and at its end, when the pre-roll dropped frames,
//          "Frames discarded by preroll delay" with a second Start TC line, then "End TC: ..." and an
//          empty line; an error as "\r\nError: TEXT\r\n\r\n"; "Dropped frames: N" when frames were
//          lost; finally "Capture ended on DATE at TIME".
//   batch list: one CSV row per file, no header: file name (without folder), start timecode, end
//          timecode, duration in frames, reel name; text fields in double quotes.
// Every finished file gets the Premiere timecode list ("Tdat") in its reserved list: the timecode of
// its first frame and its reel.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_device.h"
#include "capture/free_space.h"
#include "core/error.h"
#include "core/frame_ring_buffer.h"
#include "core/options.h"
#include "media/avi_writer.h"
#include "tools/split_decider.h"

namespace zorv::capture {

struct CaptureSettings {
    std::string capturePath;  // "Capture path"; its extension is dropped
    std::string reelName;

    core::CaptureStopMode stopMode = core::CaptureStopMode::kManual;  // kNoFrames: for noFramesSeconds
    int durationHours = 1, durationMinutes = 0, durationSeconds = 0;
    int noFramesSeconds = 10;
    media::AviType aviType = media::AviType::kType2;
    bool useSplitter = true;
    bool slaveToCamera = false;       // Play the tape at start and stop it at the end
    bool useCurrentDateTime = false;  // name date/time files (format 3) from the computer's clock

    core::SplitTrigger trigger = core::SplitTrigger::kTimecode;
    core::SplitNameFormat nameFormat = core::SplitNameFormat::kNumber;
    int timecodeThreshold = 1;
    int dateTimeThreshold = 1;
    int prerollSeconds = 0;

    core::DropFrameDisplay dropFrameDisplay = core::DropFrameDisplay::kBeforeFrames;  // drop-frame Start/End TC lines
    int bufferSlots = 150;
};

// The Capture and Splitter pages of the option record, read with their clamping rules.
CaptureSettings captureSettingsFrom(const core::Options& options, const std::string& capturePath,
                                    const std::string& reelName);

enum class StopReason : int {
    kNone,
    kUser,
    kDuration,
    kNoFrames,
    kDiskSpace,
    kDeviceRemoved,
    kReadError,
    kWriteError,
};

struct CapturedFile {
    std::string path;
    int number = 0;
    std::string reel;
    int64_t frames = 0;
    int64_t prerollDiscarded = 0;
    tools::SplitFrameInfo first;      // the frame that started the file (before any pre-roll)
    tools::SplitFrameInfo firstKept;  // the first frame written
    int endHours = -1, endMinutes = -1, endSeconds = -1, endFrames = -1;
    bool endDropFrame = false;
    bool timecodeListWritten = false;
};

// A snapshot for the status lines.
struct CaptureStatus {
    bool running = false;
    bool paused = false;
    int fileNumber = 0;
    std::string filePath;
    std::string logPath;
    std::string lastError;
    int64_t framesCaptured = 0;  // written to files
    double capturedSeconds = 0;
    int64_t droppedFrames = 0;  // lost by the device, refused by a full buffer, or not whole DV frames
    int bufferFill = 0;
    int bufferSlots = 0;
    StopReason stopReason = StopReason::kNone;
};

class CaptureSession {
public:
    explicit CaptureSession(CaptureDevice& device);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    void setSettings(const CaptureSettings& settings) { settings_ = settings; }
    void setFreeSpaceQuery(FreeSpaceQuery query) { freeSpace_ = std::move(query); }
    // How often the watcher looks at the stop conditions (default 50 ms) and the free space (1 s).
    void setWatchIntervals(std::chrono::milliseconds conditions, std::chrono::milliseconds freeSpace);
    // For tests: called on the writer thread before each frame is written.
    void setBeforeWriteHook(std::function<void(int64_t frameNumber)> hook) { beforeWrite_ = std::move(hook); }

    // When the caller runs the device stream itself (a window that previews before and after the
    // capture), it passes every frame and event on through frameArrived() and deviceEvent(), and the
    // session neither starts nor stops the stream.
    void setStreamOwnedByCaller(bool owned) { callerStream_ = owned; }
    // Called on the device's thread; ignored while no capture runs.
    void frameArrived(std::span<const uint8_t> frame) { onFrame(frame); }
    void deviceEvent(DeviceEvent event) { onEvent(event); }

    // Checks the path and free space, creates the log and the batch list, the buffer and the writer,
    // and starts the device stream. Fails with the system's message ("A Capture file pathname is
    // required", "Insufficient disk space available", "Failed to create log file", ...).
    core::Status start();
    // Stops (the "Stop Capture" button) and waits until everything is closed. Safe to call twice.
    void stop();
    // Waits until the capture has stopped by itself or through stop(); returns its outcome: success for
    // a user, duration, no-frames or disk-space stop; the error text otherwise.
    core::Status wait();
    bool running() const { return running_.load(); }

    void pause();
    void resume();
    bool paused() const { return paused_.load(); }
    // Forces a split at the next frame.
    void splitNow() { splitNow_.store(true); }

    // True while the buffer has room for another frame (a gate for an as-fast-as-possible deck).
    bool bufferHasRoom() const;

    CaptureStatus status() const;
    StopReason stopReason() const { return stopReason_.load(); }
    // Valid after wait().
    std::vector<CapturedFile> files() const;
    const std::string& logPath() const { return logPath_; }
    const std::string& batchListPath() const { return batchPath_; }
    std::string lastError() const;

private:
    void onFrame(std::span<const uint8_t> frame);
    void onEvent(DeviceEvent event);
    void writerLoop();
    void watchLoop();
    void requestStop(StopReason reason, const std::string& error);
    void shutdown();

    core::Status beginFile();
    void finishFile();
    std::string nextFileName(const tools::SplitFrameInfo& first);
    void logText(const std::string& text);
    bool roomFor(uint64_t bytes);
    void setLastError(const std::string& text);

    CaptureDevice& device_;
    CaptureSettings settings_;
    FreeSpaceQuery freeSpace_;
    std::chrono::milliseconds watchInterval_{50};
    std::chrono::milliseconds freeSpaceInterval_{1000};
    std::function<void(int64_t)> beforeWrite_;
    bool callerStream_ = false;

    core::FrameRingBuffer buffer_;
    std::thread writer_;
    std::thread watcher_;
    std::atomic<bool> running_{false};
    std::atomic<bool> accepting_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> splitNow_{false};
    std::atomic<StopReason> stopReason_{StopReason::kNone};
    std::atomic<int64_t> bufferDrops_{0};
    std::atomic<int64_t> framesDelivered_{0};
    std::atomic<int64_t> framesWritten_{0};
    std::atomic<int64_t> lastFrameMicros_{0};
    std::atomic<bool> pal_{true};
    std::chrono::steady_clock::time_point started_;
    int64_t durationLimitFrames_ = 0;

    std::mutex producerLock_;   // one producer at a time, and none after the stop
    mutable std::mutex mutex_;  // session state shared with the window: current file, last error, files
    std::condition_variable stopCv_;
    bool stopRequested_ = false;
    bool stopped_ = true;
    std::string lastError_;
    std::vector<CapturedFile> files_;

    // Writer thread state.
    std::string base_;
    std::string logPath_, batchPath_;
    std::FILE* log_ = nullptr;
    std::FILE* batch_ = nullptr;
    bool logFailed_ = false;
    tools::SplitDecider decider_;
    media::AviWriter avi_;
    CapturedFile current_;
    bool fileOpen_ = false;
    bool haveStartFrame_ = false;  // a file has begun (its start frame is known) but may have no frame yet
    bool newReelPending_ = false;
    std::string currentReel_;
    int reelCounter_ = 0;
    int fileCount_ = 0;
    int sequence_ = 1;
    int lastSequences_ = 0;
    std::vector<int16_t> pcm_;
    std::chrono::steady_clock::time_point lastCheckpoint_;
    // Free space as last asked, when, and the bytes written since.
    bool freeKnown_ = false;
    uint64_t freeAtAsk_ = 0, writtenSinceAsk_ = 0;
    std::chrono::steady_clock::time_point freeAskedAt_;
};

}  // namespace zorv::capture
