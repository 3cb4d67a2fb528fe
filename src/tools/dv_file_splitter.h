// Splits a DV AVI file (Type 1 or Type 2) into one AVI file of the same type per recording: a source
// thread reads whole DV frames (Type 2 joined with its audio stream), decides where new files start
// (see split_decider.h) and feeds a frame ring buffer; a sink thread takes the frames and writes the
// output files. Each finished file gets the Premiere timecode list ("Tdat": start timecode and reel)
// in its reserved list and its modification time set to the recording time of its first frame.
//
// Each run also writes, beside the outputs, a log (base + ".log") and a Premiere batch list
// (base + ".csv"), both under unique names, with one entry per output file:
//   log:   "Split file #N created", "File name: NAME", "Reel: REEL" (when a reel is set),
//          "Start TC: hh:mm:ss:ff", "End TC: hh:mm:ss:ff" (';' separators for drop-frame,
//          "--:--:--:--" without timecode), "Frames: N", then an empty line; CR LF line ends.
//   batch list: one CSV row per file, no header: file name (without folder), start timecode, end
//          timecode, duration in frames, reel name (empty when none); text fields in double quotes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/dv_pack_fill.h"
#include "core/error.h"
#include "core/frame_ring_buffer.h"
#include "core/threaded_job.h"
#include "core/options.h"
#include "media/avi_writer.h"
#include "media/mapped_window.h"
#include "media/output_file.h"
#include "tools/dv_frame_source.h"
#include "tools/split_decider.h"
#include "tools/split_naming.h"

namespace zorv::tools {

struct SplitSettings {
    SplitTrigger trigger = SplitTrigger::kTimecode;
    int timecodeThreshold = 1;  // 1..999 frames
    int dateTimeThreshold = 1;  // 1..999 seconds
    SplitNameFormat nameFormat = SplitNameFormat::kTimecode;
    int prerollSeconds = 0;    // 0..10
    std::string reelName;      // optional
    std::string outputFolder;  // empty: beside the input
    int bufferSlots = 8;
};

// The Splitter page of the option record (the reel name and folder are not part of it).
SplitSettings splitSettingsFrom(const core::Options& options);

struct SplitOutputFile {
    std::string path;
    int64_t frames = 0;
    SplitFrameInfo first;                                                 // values of the first frame written
    int endHours = -1, endMinutes = -1, endSeconds = -1, endFrames = -1;  // timecode of the last frame
    bool dropFrame = false;
    std::string reel;
    bool timecodeListWritten = false;
};

class DvFileSplitter : public core::ThreadedJob {
public:
    DvFileSplitter() = default;
    ~DvFileSplitter() override;
    DvFileSplitter(const DvFileSplitter&) = delete;
    DvFileSplitter& operator=(const DvFileSplitter&) = delete;

    void setSettings(const SplitSettings& settings);
    // Receives "Splitting to output file #%d ...\n%s" (or "... %s (%s)" with the reel) for each file,
    // on the thread that starts the file.
    void setFileCallback(std::function<void(const std::string&)> callback) { fileCallback_ = std::move(callback); }
    // Called on the sink thread after each frame is written (frame number within the run, from 0).
    void setFrameWrittenHook(std::function<void(int64_t)> hook) { frameHook_ = std::move(hook); }

    // Builds the frame buffer, the source, the log and batch list, waits for the first frame and opens
    // the first output file. On failure everything built is released and the message is kept; when
    // no frame was found, noFilesCreated() is true.
    core::Status open(const std::string& inputPath);
    // Frames of the input (0 when unknown).
    int64_t totalFrames() const { return totalFrames_; }
    // 1 (AVI Type 1) or 2 (AVI Type 2).
    media::AviType outputType() const { return outputType_; }
    bool noFilesCreated() const { return noFilesCreated_; }

    // start() runs the sink after a successful open(); progress().cancel() stops both sides.
    // open + start + wait.
    core::Status run(const std::string& inputPath);

    // Valid after wait().
    const std::vector<SplitOutputFile>& outputs() const { return outputs_; }
    const std::string& logPath() const { return logPath_; }
    const std::string& batchListPath() const { return batchPath_; }

private:
    bool ready() const override { return opened_ && result().ok(); }
    // The sink, then the source's end and the release of what open() built.
    core::Status work() override;
    void sourceLoop();
    core::Status sinkLoop();
    core::Status beginFile(int fileNumber, bool& ended);
    core::Status finishFile();
    void discardFile();
    core::Status sourceFailure();  // how the source loop ended (success at the end of the input)
    void release();
    void writeLogEntry(const SplitOutputFile& out, int fileNumber);
    // A frame-buffer entry carries a run of up to kFramesPerEntry consecutive frames of one output
    // file, each named by where the source's map of the input shows it, with the audio blocks that
    // joining the Type 2 audio changed, its timecode and (Type 2) its PCM: the sink writes the frames
    // from the same pages the source read, so the input is mapped and read once, and writes each
    // entry's frames in one go. The entry's flags are its first frame's. A window of the source's map
    // is reused only after the sink has written every frame delivered from it (see waitForSink()).
    struct SlotFrame {
        const uint8_t* data = nullptr;  // mapped, valid until the sink has written the frame
        media::PatchedFrame bytes;
        std::span<const uint8_t> pcm;  // Type 2: the frame's audio as 16-bit stereo PCM
        core::FoundTimecode timecode;
    };
    // Source side: the frame's share of the input's audio stream, or else the sound of the frame
    // itself, into pcm_ (samples per channel; 0 when it has no audio).
    int joinedPcm(const DvFrame& frame);
    void addToEntry(const DvFrame& frame, uint32_t flags, const SplitFrameInfo& info, int pcmSamples);
    bool putEntry();
    // The frame at `at` within an entry; the position of the next one, or 0 when the entry is damaged.
    static size_t readEntryFrame(std::span<const uint8_t> entry, size_t at, size_t frameSize, SlotFrame& out);
    static int entryFrameCount(std::span<const uint8_t> entry);
    // Queues one frame for writing and notes its timecode; the status of the writer (or a read error).
    core::Status sinkFrame(const SlotFrame& frame);
    // Source side, before its map moves: puts the entry being built and waits until the frames of the
    // window about to be reused are written (or the sink has stopped reading frames).
    void waitForSink();
    // Sink side: the frames queued so far are written (or, with kAllWritten, no frame will be read
    // again); wakes the source.
    void publishWritten(int64_t frames);

    SplitSettings settings_;
    std::function<void(const std::string&)> fileCallback_;
    std::function<void(int64_t)> frameHook_;

    core::FrameRingBuffer buffer_;
    DvFrameSource source_;
    bool lastDelivered_ = true;  // the source's last frame went to an output file
    SplitDecider decider_;
    std::thread sourceThread_;
    std::mutex sourceMutex_;
    core::Status sourceStatus_;

    std::string outputBase_;
    std::string logPath_, batchPath_;
    std::FILE* log_ = nullptr;
    std::FILE* batch_ = nullptr;
    int64_t totalFrames_ = 0;
    media::AviType outputType_ = media::AviType::kType1;
    bool pal_ = true;
    bool noFilesCreated_ = false;
    bool opened_ = false;

    std::string baseReel_, currentReel_;
    int reelCounter_ = 0;
    int fileNumber_ = 1;
    std::string inputPath_;
    media::AviWriter writer_;
    media::OutputFile currentOut_;  // the file being written, under its temporary name
    SplitOutputFile current_;
    std::vector<int16_t> pcm_;    // source side: a frame's PCM
    std::vector<uint8_t> entry_;  // source side: the entry being built
    size_t entryUsed_ = 0;
    int entryFrames_ = 0;
    uint32_t entryFlags_ = 0;
    int64_t deliveredFrames_ = 0;      // source side: frames put in the buffer
    volatile uint8_t pageTouch_ = 0;   // source side: keeps the page reads
    int64_t deliveredAtLastMove_ = 0;  // source side: delivered before the map last moved
    static constexpr int64_t kAllWritten = INT64_MAX;
    std::mutex writtenMutex_;  // guards the next two
    std::condition_variable writtenWake_;
    int64_t writtenFrames_ = 0;        // frames the sink has written out
    int64_t queuedFrames_ = 0;         // sink side: frames handed to the writer
    std::vector<uint8_t> scratch_;     // source side: a frame's pack and audio blocks
    std::vector<uint8_t> firstFrame_;  // sink side: a file's first frame, whole
    std::vector<SplitOutputFile> outputs_;
    int64_t framesWritten_ = 0;
};

}  // namespace zorv::tools
