#include "tools/stream_burn_in.h"

#include "media/ts_packet_stream.h"
#include "tools/burn_in_frame_painter.h"
#include "tools/stopped_early.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

namespace {
std::string printfText(const char* form, long long value) {
    char buf[512];
    std::snprintf(buf, sizeof buf, form, value);
    return buf;
}
std::string printfText(const char* form, const std::string& a, const std::string& b) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, form, a.c_str(), b.c_str());
    return buf;
}
}  // namespace

Status PictureSink::submitFrameRef(AVFrame* frame, int64_t start) {
    AVFrame* fill = nullptr;
    Status s = frameToFill(frame->width, frame->height, frame->format, fill);
    if (!s) return s;
    if (av_frame_copy(fill, frame) < 0) return Status::failure(ErrorCode::kWriteFailed, "Frames not taken");
    return submitFrame(start);
}

StreamBurnInJob::StreamBurnInJob(core::MediaFamily family, media::OutputFile output, std::unique_ptr<PictureSource> source,
                                 std::unique_ptr<PictureSink> sink, overlay::DrawerFactory drawers)
    : BurnJob(family),
      output_(std::move(output)),
      source_(std::move(source)),
      sink_(std::move(sink)),
      drawers_(std::move(drawers)) {}

StreamBurnInJob::StreamBurnInJob(core::MediaFamily family, core::Status failed) : BurnJob(family) {
    setBuilt(std::move(failed));
}

StreamBurnInJob::~StreamBurnInJob() { stop(); }

std::string StreamBurnInJob::progressText() const { return "Burning-in to Output File ...\n" + outputName_; }

std::string StreamBurnInJob::buildFailureText() const {
    return std::string(family() == core::MediaFamily::kHdv ? kBurnInFailedM2t : kBurnInFailedMts) + "\n\n" +
           built().message;
}

namespace {

// The watch of a run: a tick per interval on a thread of its own; the position still at 0 after the
// last allowed tick (none when ticks is 0) marks the run timed out. Stops when it goes.
class NoProgressWatch {
public:
    NoProgressWatch(std::chrono::milliseconds tick, int ticks, const std::atomic<int64_t>& position,
                    std::atomic<bool>& timedOut)
        : thread_([this, tick, ticks, &position, &timedOut] {
              std::unique_lock<std::mutex> lk(lock_);
              int count = 0;
              while (!done_) {
                  if (wake_.wait_for(lk, tick, [&] { return done_; })) break;
                  ++count;
                  if (ticks > 0 && position.load() == 0 && count >= ticks) {
                      timedOut.store(true);
                      break;
                  }
              }
          }) {}
    ~NoProgressWatch() {
        {
            std::lock_guard<std::mutex> g(lock_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

// One run of the job: pictures are taken from the source, drawn on and written in order.
struct StreamBurnInJob::Pass {
    Pass(StreamBurnInJob& j, int64_t d)
        : job(j),
          hdv(j.family() == core::MediaFamily::kHdv),
          failedText(hdv ? kBurnInFailedM2t : kBurnInFailedMts),
          duration(d),
          drawer(j.drawers_ ? j.drawers_() : nullptr),
          // A compressor takes the decoder's frames; only the band the text is drawn in goes through RGB.
          frames(j.sink_->takesFrames() && j.source_->deliverFrames()) {}

    void pictures();
    bool next();
    Status write();
    Status finish();

    StreamBurnInJob& job;
    const bool hdv;
    const char* failedText;
    const int64_t duration;
    std::unique_ptr<overlay::PictureDrawer> drawer;
    const bool frames;
    FramePainter painter;
    bool prepared = false;
    int width = 0, height = 0;
    int64_t lastStart = -1;
    bool delivered = false;
    int64_t written = 0;  // pictures
    Status result;
    BurnOutcome outcome = BurnOutcome::kComplete;
    DecodedPicture pic;
    std::vector<int16_t> audio;
    int rate = 0, channels = 0;
};

Status StreamBurnInJob::work() {
    Status s = sink_->open(output_.tempPath());
    if (!s) {
        output_.discard();
        outcome_ = BurnOutcome::kFailed;
        return s;
    }
    const int64_t duration = source_->duration();
    progress_.setTotal(duration > 0 ? duration : 0);
    Pass pass(*this, duration);
    {
        NoProgressWatch watch(tick_, timeoutTicks_, position_, timedOut_);
        pass.pictures();
    }
    return pass.finish();
}

// Draws and writes pictures until the stream ends or the run stops (outcome and result say why).
void StreamBurnInJob::Pass::pictures() {
    while (next()) {
        if (drawer && (!prepared || pic.picture.width != width || pic.picture.height != height)) {
            width = pic.picture.width;
            height = pic.picture.height;
            prepared = drawer->prepare(width, height, false, pic.displayNum, pic.displayDen);
            // A decoder whose pictures the layer cannot take is not compatible with burn-in.
            if (!prepared) {
                outcome = BurnOutcome::kIncompatible;
                return;
            }
        }
        if (Status s = write(); !s) {
            outcome = BurnOutcome::kFailed;
            result = Status::failure(ErrorCode::kWriteFailed, failedText, s.sysError);
            return;
        }
        // Position: the picture's time, never 0 once a picture went through.
        ++written;
        job.position_.store(std::max<int64_t>(pic.start, 1));
        job.progress_.setDone(duration > 0 ? std::min(pic.start, duration) : 0);
    }
}

// Takes the next picture into pic; false when the stream has ended or the run stops (timed out,
// cancelled, the source failed or was cut: outcome and result set). A picture whose time runs
// backwards is dropped.
bool StreamBurnInJob::Pass::next() {
    for (;;) {
        if (job.timedOut_.load()) {
            outcome = BurnOutcome::kTimedOut;
            result = Status::failure(ErrorCode::kReadFailed, hdv ? kBurnInTimedOutHdv : kBurnInTimedOutAvchd);
            return false;
        }
        if (job.progress_.cancelled()) {
            outcome = BurnOutcome::kHalted;
            result = Status::failure(ErrorCode::kCancelled, kBurnInHalted);
            return false;
        }
        const PictureSource::Result r = job.source_->next(pic);
        if (r == PictureSource::Result::kNothingYet) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (r == PictureSource::Result::kEnd) return false;
        if (r == PictureSource::Result::kFailed || r == PictureSource::Result::kCut) {
            outcome = BurnOutcome::kFailed;
            result = r == PictureSource::Result::kCut ? stoppedEarly(written, 0)
                                                      : Status::failure(ErrorCode::kReadFailed, failedText);
            return false;
        }
        if (delivered && pic.start < lastStart) {
            job.lost_.fetch_add(1);
            continue;
        }
        delivered = true;
        lastStart = pic.start;
        return true;
    }
}

// Draws on the picture and hands it to the sink, with the sound decoded so far.
Status StreamBurnInJob::Pass::write() {
    PictureSink& sink = *job.sink_;
    Status s;
    if (frames && pic.frame && av_frame_is_writable(pic.frame)) {
        // The decoder has let go of the picture: it is drawn on where it is, and not copied.
        s = !prepared || painter.paint(pic.frame, pic.frame, *drawer, pic.info)
                ? sink.submitFrameRef(pic.frame, pic.start)
                : Status::failure(ErrorCode::kWriteFailed, failedText);
    } else if (frames && pic.frame) {
        AVFrame* fill = nullptr;
        s = sink.frameToFill(pic.frame->width, pic.frame->height, pic.frame->format, fill);
        if (s) {
            const bool drawn =
                prepared ? painter.paint(pic.frame, fill, *drawer, pic.info) : av_frame_copy(fill, pic.frame) >= 0;
            // The shape of the picture goes along as it does with the decoder's own frames.
            fill->sample_aspect_ratio = pic.frame->sample_aspect_ratio;
            fill->interlaced_frame = pic.frame->interlaced_frame;
            fill->top_field_first = pic.frame->top_field_first;
            s = drawn ? sink.submitFrame(pic.start) : Status::failure(ErrorCode::kWriteFailed, failedText);
        }
    } else {
        if (prepared) drawer->draw(pic.picture, pic.info);
        s = sink.write(pic.picture, pic.start);
    }
    if (s && job.source_->takeAudio(audio, rate, channels)) s = sink.writeAudio(audio.data(), audio.size(), rate, channels);
    return s;
}

// The run's outcome once the pictures are through: the rest of the sound, the output closed and
// renamed into place when complete, removed otherwise.
Status StreamBurnInJob::Pass::finish() {
    // A stream without one decodable picture gives no output, and that is no success.
    if (outcome == BurnOutcome::kComplete && !delivered) {
        outcome = BurnOutcome::kFailed;
        result = Status::failure(ErrorCode::kNoOutput, kBurnInNoPicture);
    }
    if (outcome == BurnOutcome::kComplete && job.source_->takeAudio(audio, rate, channels)) {
        const Status s = job.sink_->writeAudio(audio.data(), audio.size(), rate, channels);
        if (!s) {
            outcome = BurnOutcome::kFailed;
            result = Status::failure(ErrorCode::kWriteFailed, failedText, s.sysError);
        }
    }
    const Status closed = job.sink_->close();
    if (outcome == BurnOutcome::kComplete && !closed) {
        outcome = BurnOutcome::kFailed;
        result = Status::failure(ErrorCode::kWriteFailed, failedText, closed.sysError);
    }
    if (outcome == BurnOutcome::kIncompatible)
        result = Status::failure(ErrorCode::kReadFailed, printfText(hdv ? kBurnInIncompatibleHdv : kBurnInIncompatibleAvchd,
                                                                    job.decoderName_, job.decoderGuid_));
    if (outcome == BurnOutcome::kComplete && result.ok()) {
        if (Status c = job.output_.commit(); !c) {
            outcome = BurnOutcome::kFailed;
            result = c;
        }
    } else {
        job.output_.discard();
    }
    if (outcome == BurnOutcome::kComplete) {
        job.progress_.setDone(job.progress_.total());
        media::warnSkippedBytes(result, job.source_->skippedBytes());
    }
    job.outcome_.store(outcome);
    return result;
}

std::string StreamBurnInJob::message(bool batch) const {
    const bool hdv = family() == core::MediaFamily::kHdv;
    switch (outcome_.load()) {
    case BurnOutcome::kComplete:
        if (lost_.load() == 0) return batch ? kBatchBurnInComplete : kBurnInComplete;
        return printfText(batch ? kBatchBurnInLostFrames : kBurnInLostFrames, static_cast<long long>(lost_.load()));
    case BurnOutcome::kHalted: return batch ? std::string("ERROR: ") + kBurnInHalted : kBurnInHalted;
    case BurnOutcome::kTimedOut:
        if (batch) return hdv ? kBatchTimedOutHdv : kBatchTimedOutAvchd;
        return hdv ? kBurnInTimedOutHdv : kBurnInTimedOutAvchd;
    case BurnOutcome::kIncompatible:
        return printfText(batch ? (hdv ? kBatchIncompatibleHdv : kBatchIncompatibleAvchd)
                                : (hdv ? kBurnInIncompatibleHdv : kBurnInIncompatibleAvchd),
                          decoderName_, decoderGuid_);
    case BurnOutcome::kFailed: {
        const std::string text = result().message.empty() ? (hdv ? kBurnInFailedM2t : kBurnInFailedMts) : result().message;
        return batch ? "ERROR: " + text : text;
    }
    case BurnOutcome::kRunning: break;
    }
    return {};
}

}  // namespace zorv::tools
