// Burn-in of HDV (1080-line) and AVCHD files: pictures come from the user's decoder, are drawn on and
// go to the output writer (the chosen compressor, or uncompressed 24-bit RGB). The run is watched the
// way the progress window watches it: a tick every 200 ms; when the position (the start time of the
// last picture delivered) is still 0 after 50 ticks the decoder is taken to be unusable, the run
// stops and the partial output is deleted. Pictures whose start time runs backwards are dropped and
// counted as lost.
//
// The decoder and the writer are given as interfaces so that any reader/decoder pair and any output
// form fit; the job owns the order of work, the drawing, the watching and the outcome.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/media_family.h"
#include "media/output_file.h"
#include "core/rgb_picture.h"
#include "tools/burn_in.h"
#include "tools/burn_job.h"

struct AVFrame;

namespace zorv::tools {

// One decoded picture: 24-bit RGB (or the decoder's own frame, see PictureSource::deliverFrames), its
// start time (100-ns units) and its metadata.
struct DecodedPicture {
    core::RgbPicture picture;
    // Set instead of the RGB rows when frames are delivered. When av_frame_is_writable says the
    // decoder no longer holds its buffers, the job may draw on it in place and hand on a reference.
    AVFrame* frame = nullptr;
    int64_t start = 0;
    overlay::BurnFrameInfo info;
    int displayNum = 0, displayDen = 0;  // display aspect ratio (0: that of the pixel grid)
};

// The reader and the selected decoder.
class PictureSource {
public:
    // kCut: the input could not be read to its end.
    enum class Result { kPicture, kNothingYet, kEnd, kFailed, kCut };
    virtual ~PictureSource() = default;
    // Delivers the next picture (valid until the next call). kNothingYet: no picture is ready; call
    // again. Must return within a tick or so, so that the run can be stopped.
    virtual Result next(DecodedPicture& out) = 0;
    // Asks for the decoder's frames as they are (picture.data left null) instead of RGB; false when
    // the source cannot give them.
    virtual bool deliverFrames() { return false; }
    // Duration of the file in 100-ns units (for the progress); 0 when unknown.
    virtual int64_t duration() const = 0;
    // Damaged bytes the reader passed over to find its packets again.
    virtual int64_t skippedBytes() const { return 0; }
    // Moves the sound decoded so far (interleaved 16-bit samples) into samples; false when none.
    virtual bool takeAudio(std::vector<int16_t>& samples, int& rate, int& channels) {
        (void)samples, (void)rate, (void)channels;
        return false;
    }
};

// The output AVI: created at open, written picture by picture, completed at close.
class PictureSink {
public:
    virtual ~PictureSink() = default;
    virtual core::Status open(const std::string& path) = 0;
    virtual core::Status write(const core::RgbPicture& picture, int64_t start) = 0;
    // Whether the sink takes decoded frames as well as RGB pictures. It then lends its own frame for
    // each picture (frameToFill: the size and pixel format of the decoder's frames), into which the
    // picture is copied and drawn, and takes it back with submitFrame: no picture is copied twice.
    virtual bool takesFrames() const { return false; }
    virtual core::Status frameToFill(int width, int height, int format, AVFrame*& frame) {
        (void)width, (void)height, (void)format, (void)frame;
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Frames not taken");
    }
    virtual core::Status submitFrame(int64_t start) {
        (void)start;
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Frames not taken");
    }
    // Takes a reference to a drawn frame of the decoder's (its buffers are the sink's to read until it
    // lets go of them); by default the frame is copied into frameToFill's frame.
    virtual core::Status submitFrameRef(AVFrame* frame, int64_t start);
    // Interleaved 16-bit samples that belong with the pictures written so far.
    virtual core::Status writeAudio(const int16_t* samples, size_t count, int rate, int channels) {
        (void)samples, (void)count, (void)rate, (void)channels;
        return core::Status::success();
    }
    virtual core::Status close() = 0;
};

enum class BurnOutcome { kRunning, kComplete, kHalted, kTimedOut, kIncompatible, kFailed };

class StreamBurnInJob : public BurnJob {
public:
    // output is begun (checked and created under its temporary name); the run renames it into place
    // when complete and removes it otherwise.
    StreamBurnInJob(core::MediaFamily family, media::OutputFile output, std::unique_ptr<PictureSource> source,
                    std::unique_ptr<PictureSink> sink, overlay::DrawerFactory drawers);
    // A job whose build failed: it does not start, and wait() gives the failure.
    StreamBurnInJob(core::MediaFamily family, core::Status failed);
    ~StreamBurnInJob() override;

    // The watch interval (200 ms) and the ticks without progress before giving up (50); 0 ticks
    // leaves the watching to the caller (see timeOut()).
    void setWatch(std::chrono::milliseconds tick, int ticks) {
        tick_ = tick;
        timeoutTicks_ = ticks;
    }
    // Ends the run as timed out (the partial output is deleted): for a caller with its own timer.
    void timeOut() override { timedOut_.store(true); }
    void leaveTimeoutToWatcher() override { setWatch(std::chrono::milliseconds(200), 0); }
    bool watchesProgress() const override { return true; }
    // Name and class identifier of the decoder, for the "not compatible" messages.
    void setDecoder(std::string name, std::string guid) {
        decoderName_ = std::move(name);
        decoderGuid_ = std::move(guid);
    }
    // The output's name, for the progress text.
    void setOutputName(std::string name) { outputName_ = std::move(name); }

    BurnOutcome outcome() const { return outcome_.load(); }
    int64_t lostPictures() const override { return lost_.load(); }
    int64_t position() const override { return position_.load(); }
    std::string progressText() const override;
    // "Failed while burning-in M2T file" (or MTS/M2TS), a blank line and the build's failure.
    std::string buildFailureText() const override;
    // The text shown for the outcome or, with batch, the batch log's line for it.
    std::string message(bool batch = false) const override;

private:
    struct Pass;
    bool ready() const override { return source_ && sink_; }
    core::Status work() override;

    media::OutputFile output_;
    std::string outputName_;
    std::unique_ptr<PictureSource> source_;
    std::unique_ptr<PictureSink> sink_;
    overlay::DrawerFactory drawers_;
    std::string decoderName_, decoderGuid_;
    std::chrono::milliseconds tick_{200};
    int timeoutTicks_ = 50;
    std::atomic<bool> timedOut_{false};
    std::atomic<BurnOutcome> outcome_{BurnOutcome::kRunning};
    std::atomic<int64_t> lost_{0};
    std::atomic<int64_t> position_{0};
};

}  // namespace zorv::tools
