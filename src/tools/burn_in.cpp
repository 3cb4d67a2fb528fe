#include "tools/burn_in.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/dv_decode.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "media/formats/format_table.h"
#include "media/codec/av_handles.h"
#include "media/codec/dv_encoder.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"
#include "media/frame_layout_check.h"
#include "overlay/overlay_drawer.h"
#include "tools/burn_in_dv_segments.h"
#include "tools/stopped_early.h"
#include "tools/system_text.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

std::string burnOutputName(const std::string& input) {
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    const std::string stem =
        (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? input.substr(0, dot) : input;
    return stem + "-burn.avi";
}

BurnInSettings BurnInSettings::fromOptions(const core::Options& options) {
    const core::Options o = options.normalized();
    BurnInSettings s;
    s.mode = static_cast<core::BurnMode>(o.burnInMode);
    s.duration = o.burnInDuration;
    s.durationUnit = static_cast<core::DurationUnit>(o.burnInDurationUnit);
    s.sceneMask = o.sceneTriggerMask;
    s.overlay = overlay::OverlaySettings::fromOptions(options);
    return s;
}

namespace {

constexpr int kRingSlots = 6;

struct Slot {
    enum State { kFree, kFilled, kWorking, kDone };
    State state = kFree;
    int64_t frame = 0;
    int64_t position = 0;
    bool draw = false;
    core::MetadataRecord record;
    overlay::BurnFrameInfo info;
    bool wide = false;
    std::vector<uint8_t> data;  // the frame as read (with decoder padding); drawn segments replaced in place
    Status status;
    bool undecodable = false;  // the decoder could not read the picture: it passes unchanged
    bool changed = false;      // drawn segments were put back
};

// Which of a frame's video segments a codec call works on.
struct SegmentMask {
    std::vector<uint8_t> on;
};

// Stands in for the codec's job runner: the DV decoder and encoder hand it one job per video segment,
// in frame order, and it runs only the marked ones. Any other call (a count that is not one job per
// segment) runs every job.
int runMarkedSegments(AVCodecContext* c, int (*func)(AVCodecContext*, void*), void* arg, int* ret, int count, int size) {
    const auto* mask = static_cast<const SegmentMask*>(c->opaque);
    const bool filter = mask && static_cast<size_t>(count) == mask->on.size();
    for (int i = 0; i < count; ++i) {
        int r = 0;
        if (!filter || mask->on[static_cast<size_t>(i)])
            r = func(c, static_cast<char*>(arg) + static_cast<ptrdiff_t>(i) * size);
        if (ret) ret[i] = r;
    }
    return 0;
}

// A macroblock that lies (partly) in the drawn band: its segment and its rectangle cut to the band.
struct BandMacroblock {
    int segment;
    dvseg::Rect rect;
};

// One worker's codecs and drawing state. Only the segments whose macroblocks reach into the band of
// rows the drawing may change are decoded, and only those holding a macroblock the drawing did change
// are re-encoded and put back into the frame; every other DIF block keeps its bytes.
class FrameWorker {
public:
    FrameWorker(bool pal, size_t frameSize, std::unique_ptr<overlay::PictureDrawer> drawer)
        : pal_(pal),
          frameSize_(frameSize),
          width_(core::dv::systemFor(pal).width),
          height_(core::dv::systemFor(pal).height),
          format_(media::codec::dvPixelFormat(pal)),
          drawer_(std::move(drawer)) {}
    ~FrameWorker() {
        sws_freeContext(toRgb_);
        sws_freeContext(toYuv_);
    }

    Status open() {
        const AVCodec* dec = avcodec_find_decoder_by_name("dvvideo");
        if (!dec) return Status::failure(ErrorCode::kOpenFailed, "Could not create DV decoder");
        decoder_.reset(avcodec_alloc_context3(dec));
        if (!decoder_) return Status::failure(ErrorCode::kOutOfMemory, "Could not create DV decoder");
        decoder_->thread_count = 1;
        if (avcodec_open2(decoder_.get(), dec, nullptr) < 0)
            return Status::failure(ErrorCode::kOpenFailed, "Could not create DV decoder");
        decoder_->opaque = &decodeMask_;
        decoder_->execute = runMarkedSegments;

        const AVCodec* enc = avcodec_find_encoder_by_name("dvvideo");
        if (!enc) return Status::failure(ErrorCode::kOpenFailed, "Could not create DV encoder");
        encoder_.reset(avcodec_alloc_context3(enc));
        if (!encoder_) return Status::failure(ErrorCode::kOutOfMemory, "Could not create DV encoder");
        media::codec::setDvEncoderFormat(encoder_.get(), pal_);
        encoder_->thread_count = 1;
        if (avcodec_open2(encoder_.get(), enc, nullptr) < 0)
            return Status::failure(ErrorCode::kOpenFailed, "Could not create DV encoder");
        encoder_->opaque = &encodeMask_;
        encoder_->execute = runMarkedSegments;

        decoded_ = media::codec::makeFrame();
        packet_ = media::codec::makePacket();
        encoded_ = media::codec::makePacket();
        if (!decoded_ || !packet_ || !encoded_) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        const int segments = dvseg::segmentCount(pal_);
        segments_.resize(static_cast<size_t>(segments));
        for (int s = 0; s < segments; ++s) segments_[static_cast<size_t>(s)] = dvseg::segmentMacroblocks(pal_, s);
        decodeMask_.on.assign(static_cast<size_t>(segments), 0);
        encodeMask_.on.assign(static_cast<size_t>(segments), 0);
        bandMacroblocks_.reserve(static_cast<size_t>(segments) * dvseg::kMacroblocksPerSegment);
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format_);
        chromaW_ = desc->log2_chroma_w;
        chromaH_ = desc->log2_chroma_h;
        return Status::success();
    }

    // Decodes, draws and re-encodes the frame in slot.data.
    Status process(Slot& slot) {
        if (!prepared_ || slot.wide != wide_) {
            wide_ = slot.wide;
            prepared_ = drawer_ && drawer_->prepare(width_, height_, wide_, 0, 0);
            if (prepared_) setBand();
        }
        if (!prepared_ || bandRows_ <= 0) return Status::success();
        if (!chooseSegments(slot.info)) return Status::success();  // nothing to draw

        packet_->data = slot.data.data();
        packet_->size = static_cast<int>(frameSize_);
        int err = avcodec_send_packet(decoder_.get(), packet_.get());
        if (err >= 0) err = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (err < 0) {  // an undecodable frame passes unchanged
            slot.undecodable = true;
            return Status::success();
        }
        struct Unref {
            AVFrame* f;
            ~Unref() { av_frame_unref(f); }
        } unref{decoded_.get()};
        if (decoded_->width != width_ || decoded_->height != height_ || decoded_->format != format_ ||
            av_frame_make_writable(decoded_.get()) < 0) {
            slot.undecodable = true;
            return Status::success();
        }

        // The band to RGB, drawn on, and the macroblocks whose pixels changed.
        uint8_t* planes[4] = {};
        for (int p = 0; p < 3; ++p)
            planes[p] = decoded_->data[p] + static_cast<ptrdiff_t>(bandTop_ >> (p ? chromaH_ : 0)) * decoded_->linesize[p];
        uint8_t* rgbPlanes[4] = {rgb_.data(), nullptr, nullptr, nullptr};
        int rgbStrides[4] = {rgbStride_, 0, 0, 0};
        sws_scale(toRgb_, planes, decoded_->linesize, 0, bandRows_, rgbPlanes, rgbStrides);
        std::memcpy(before_.data(), rgb_.data(), rgb_.size());
        core::RgbPicture view{rgb_.data(), width_, height_, rgbStride_, bandTop_, bandRows_};
        drawer_->draw(view, slot.info);
        bool any = false;
        for (size_t i = 0; i < bandMacroblocks_.size(); ++i) {
            const bool c = inked_[i] && changed(bandMacroblocks_[i].rect);
            changed_[i] = c;
            if (c) encodeMask_.on[static_cast<size_t>(bandMacroblocks_[i].segment)] = 1;
            any = any || c;
        }
        if (!any) return Status::success();

        // Changed macroblocks back to YUV; the others keep their decoded pixels.
        uint8_t* yuvPlanes[4] = {yuvBand_->data[0], yuvBand_->data[1], yuvBand_->data[2], nullptr};
        sws_scale(toYuv_, rgbPlanes, rgbStrides, 0, bandRows_, yuvPlanes, yuvBand_->linesize);
        for (size_t i = 0; i < bandMacroblocks_.size(); ++i)
            if (changed_[i]) putBack(bandMacroblocks_[i].rect);

        Status s = encode(slot.data.data());
        std::fill(encodeMask_.on.begin(), encodeMask_.on.end(), uint8_t{0});
        slot.changed = s.ok();
        return s;
    }

private:
    // Marks the band macroblocks the frame's text can reach and the segments to decode for them;
    // false when the text reaches none.
    bool chooseSegments(const overlay::BurnFrameInfo& info) {
        std::fill(decodeMask_.on.begin(), decodeMask_.on.end(), uint8_t{0});
        const bool known = drawer_->inkBoxes(info, boxes_);
        bool any = false;
        for (size_t i = 0; i < bandMacroblocks_.size(); ++i) {
            const dvseg::Rect& r = bandMacroblocks_[i].rect;
            bool inked = !known;
            for (size_t b = 0; !inked && b < boxes_.size(); ++b) {
                const overlay::PictureDrawer::Box& box = boxes_[b];
                inked = box.x0 < r.x + r.w && r.x < box.x1 && box.y0 < r.y + r.h && r.y < box.y1;
            }
            inked_[i] = inked;
            if (inked) decodeMask_.on[static_cast<size_t>(bandMacroblocks_[i].segment)] = 1;
            any = any || inked;
        }
        return any;
    }

    // The drawer's band widened to whole chroma rows, the segments it reaches and the scratch pictures.
    void setBand() {
        int top = 0, rows = height_;
        drawer_->band(top, rows);
        const int vAlign = 1 << chromaH_;
        const int bottom = std::min(height_, ((top + rows + vAlign - 1) / vAlign) * vAlign);
        top = std::max(0, top / vAlign * vAlign);
        bandTop_ = top;
        bandRows_ = std::max(0, bottom - top);
        bandMacroblocks_.clear();
        for (size_t s = 0; s < segments_.size(); ++s)
            for (const dvseg::Rect& r : segments_[s]) {
                if (!r.overlapsRows(bandTop_, bandRows_)) continue;
                const int y0 = std::max<int>(r.y, bandTop_), y1 = std::min<int>(r.y + r.h, bandTop_ + bandRows_);
                bandMacroblocks_.push_back(BandMacroblock{
                    static_cast<int>(s), dvseg::Rect{r.x, static_cast<int16_t>(y0), r.w, static_cast<int16_t>(y1 - y0)}});
            }
        changed_.assign(bandMacroblocks_.size(), 0);
        inked_.assign(bandMacroblocks_.size(), 0);
        boxes_.reserve(core::kBurnItemCount);
        if (bandRows_ <= 0) return;
        toRgb_ = sws_getCachedContext(toRgb_, width_, bandRows_, format_, width_, bandRows_, AV_PIX_FMT_RGB24, SWS_POINT,
                                      nullptr, nullptr, nullptr);
        toYuv_ = sws_getCachedContext(toYuv_, width_, bandRows_, AV_PIX_FMT_RGB24, width_, bandRows_, format_, SWS_POINT,
                                      nullptr, nullptr, nullptr);
        rgbStride_ = core::RgbPicture::strideFor(width_);
        rgb_.assign(static_cast<size_t>(rgbStride_) * bandRows_, 0);
        before_.assign(rgb_.size(), 0);
        yuvBand_ = media::codec::makePicture(width_, bandRows_, format_);
        if (!toRgb_ || !toYuv_ || !yuvBand_) bandRows_ = 0;
    }

    // Whether the drawing changed a pixel of the rectangle (rows inside the band).
    bool changed(const dvseg::Rect& r) const {
        const size_t off = static_cast<size_t>(r.x) * 3, n = static_cast<size_t>(r.w) * 3;
        for (int y = r.y; y < r.y + r.h; ++y) {
            const size_t row = static_cast<size_t>(y - bandTop_) * rgbStride_ + off;
            if (std::memcmp(rgb_.data() + row, before_.data() + row, n) != 0) return true;
        }
        return false;
    }

    // Copies the rectangle's converted pixels (luma and chroma) into the decoded picture.
    void putBack(const dvseg::Rect& r) {
        for (int p = 0; p < 3; ++p) {
            const int sx = p ? chromaW_ : 0, sy = p ? chromaH_ : 0;
            const int x = r.x >> sx, w = r.w >> sx;
            for (int y = r.y >> sy; y < (r.y + r.h) >> sy; ++y)
                std::memcpy(decoded_->data[p] + static_cast<ptrdiff_t>(y) * decoded_->linesize[p] + x,
                            yuvBand_->data[p] + static_cast<ptrdiff_t>(y - (bandTop_ >> sy)) * yuvBand_->linesize[p] + x,
                            static_cast<size_t>(w));
        }
    }

    // Encodes the marked segments of the decoded picture and puts their DIF blocks into frame.
    Status encode(uint8_t* frame) {
        decoded_->pts = pts_++;
        int err = avcodec_send_frame(encoder_.get(), decoded_.get());
        if (err >= 0) err = avcodec_receive_packet(encoder_.get(), encoded_.get());
        if (err < 0 || static_cast<size_t>(encoded_->size) != frameSize_) {
            av_packet_unref(encoded_.get());
            return Status::failure(ErrorCode::kWriteFailed, kBurnInFailedAvi);
        }
        constexpr size_t kSegmentBytes = dvseg::kMacroblocksPerSegment * core::dv::kDifBlockSize;
        for (size_t s = 0; s < encodeMask_.on.size(); ++s) {
            if (!encodeMask_.on[s]) continue;
            const size_t off = dvseg::segmentOffset(static_cast<int>(s));
            std::memcpy(frame + off, encoded_->data + off, kSegmentBytes);
        }
        av_packet_unref(encoded_.get());
        return Status::success();
    }

    bool pal_;
    size_t frameSize_;
    int width_, height_;
    AVPixelFormat format_;
    int chromaW_ = 0, chromaH_ = 0;
    std::unique_ptr<overlay::PictureDrawer> drawer_;
    media::codec::CodecContextPtr decoder_, encoder_;
    media::codec::FramePtr decoded_, yuvBand_;
    media::codec::PacketPtr packet_, encoded_;
    int64_t pts_ = 0;
    std::vector<dvseg::SegmentRects> segments_;
    SegmentMask decodeMask_, encodeMask_;
    std::vector<BandMacroblock> bandMacroblocks_;
    std::vector<uint8_t> changed_;  // per band macroblock, for the frame in hand
    std::vector<uint8_t> inked_;    // per band macroblock: the frame's text can reach it
    std::vector<overlay::PictureDrawer::Box> boxes_;
    SwsContext* toRgb_ = nullptr;
    SwsContext* toYuv_ = nullptr;
    std::vector<uint8_t> rgb_, before_;
    int rgbStride_ = 0;
    int bandTop_ = 0, bandRows_ = 0;
    bool prepared_ = false;
    bool wide_ = false;
};

}  // namespace

struct DvBurnInJob::Impl {
    media::DvMediaFile file;
    int64_t first = 0, last = -1;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Slot> slots;
    int64_t nextToWork = 0;  // sequence number of the next slot a worker takes
    int64_t filled = 0;      // sequence numbers below this are filled
    bool stop = false;
};

DvBurnInJob::DvBurnInJob(std::string input, BurnInSettings settings)
    : DvBurnInJob(std::move(input), settings, overlay::overlayDrawerFactory(settings.overlay, core::MediaFamily::kDv)) {}

DvBurnInJob::DvBurnInJob(std::string input, BurnInSettings settings, overlay::DrawerFactory drawers)
    : BurnJob(core::MediaFamily::kDv),
      input_(std::move(input)),
      settings_(std::move(settings)),
      drawers_(std::move(drawers)),
      impl_(std::make_unique<Impl>()) {}

DvBurnInJob::~DvBurnInJob() { stop(); }

Status DvBurnInJob::build() {
    Status s = buildInput();
    setBuilt(s);
    return s;
}

Status DvBurnInJob::buildInput() {
    if (!settings_.toInputFile) {
        if (settings_.output.empty()) settings_.output = burnOutputName(input_);
        if (Status s = out_.begin(settings_.output, {settings_.overwrite, {input_}}); !s) return s;
    }
    media::DvMediaFile& f = impl_->file;
    if (const Status s = f.open(input_); !s) {
        readFailedUnnamed_ = s.message.empty();
        return Status::failure(core::callFaultOr(s.code, ErrorCode::kOpenFailed), "Could not read file - " + s.message,
                               s.sysError);
    }
    if (!media::formatOf(f.fileType()).has(media::format_tool::kBurnIn) || !media::formatOf(f.fileType()).isDv())
        return Status::failure(ErrorCode::kOpenFailed, "Could not read file - only DV AVI files can be burnt in");
    if (f.frameCount() <= 0) return Status::failure(ErrorCode::kReadFailed, "Failed to get duration of file");
    // Frames are written back where the index puts them: a damaged index is refused before anything is written.
    if (Status layout = media::checkFrameLayout(f.file(), f.frameIndex()); !layout) return layout;
    impl_->first = std::clamp<int64_t>(settings_.firstFrame, 0, f.frameCount() - 1);
    impl_->last = settings_.lastFrame < 0 ? f.frameCount() - 1 : std::min(settings_.lastFrame, f.frameCount() - 1);
    if (impl_->last < impl_->first) impl_->last = impl_->first;
    ready_ = true;
    return Status::success();
}

std::string DvBurnInJob::progressText() const {
    if (settings_.toInputFile) return "Burning-in the input file ...\n" + input_;
    return "Burning-in to Output File ...\n" + settings_.output;
}

std::string DvBurnInJob::buildFailureText() const {
    return built().message.empty() ? std::string(kBurnInFailedAvi) : built().message;
}

std::string DvBurnInJob::message(bool batch) const {
    if (result().ok()) return batch ? kBatchBurnInComplete : kBurnInComplete;
    if (batch) return "ERROR: " + failureText(result());
    return result().message.empty() ? std::string(kBurnInFailedAvi) : result().message;
}

Status DvBurnInJob::work() { return settings_.toInputFile ? run() : out_.finish(run()); }

// One run of the job: the read / draw / write steps and what they share. Frames are read in order
// into a ring of slots, drawn on by the workers, and written back in order.
struct DvBurnInJob::Pass {
    explicit Pass(DvBurnInJob& j)
        : job(j),
          im(*j.impl_),
          file(im.file),
          settings(j.settings_),
          frameSize(file.frameSize()),
          pal(core::dv::isPal(frameSize)),
          first(im.first),
          last(im.last) {}
    ~Pass() { stopWorkers(); }

    Status openTargets();
    Status startWorkers();
    void stopWorkers();
    Status frames();
    bool readFrame();
    Status writeOldest();
    bool copyTo(int64_t end);
    Status outcome(Status result);

    DvBurnInJob& job;
    Impl& im;
    media::DvMediaFile& file;
    const BurnInSettings& settings;
    const size_t frameSize;
    const bool pal;
    const int64_t first, last;
    bool scenes = false;
    int64_t stretch = 0;  // frames drawn from each scene start
    media::File in, out;
    int64_t inputSize = 0;
    std::vector<uint8_t> copyBuf;
    int64_t copiedUpTo = 0;  // bytes of the input copied to the output so far
    bool inputCut = false;   // a read of the input failed: it ended before the frames it promised
    std::vector<std::unique_ptr<FrameWorker>> workers;
    std::vector<std::thread> threads;
    core::MetadataRecord rec;
    core::DisplayValues display;
    int64_t n = 0;            // next frame to read
    int64_t written = 0;      // sequence numbers written
    int64_t sequence = 0;     // sequence numbers handed out
    int64_t undecodable = 0;  // frames to draw on that the decoder could not read
};

Status DvBurnInJob::run() {
    progress_.setTotal(impl_->last - impl_->first + 1);
    progress_.setDone(0);
    Pass pass(*this);
    if (Status s = pass.openTargets(); !s) return s;
    if (Status s = pass.startWorkers(); !s) return s;
    const Status result = pass.frames();
    pass.stopWorkers();
    return pass.outcome(result);
}

// The scene starts (scene mode), the input and the target.
Status DvBurnInJob::Pass::openTargets() {
    // Scene mode follows the scene starts of the metadata scan.
    scenes = settings.mode == core::BurnMode::kSceneStarts;
    if (scenes) {
        file.setOptionMask(settings.sceneMask);
        if (!file.scan(nullptr)) return Status::failure(ErrorCode::kReadFailed, kBurnInFailedAvi, file.sysError());
    }
    stretch = settings.durationUnit == core::DurationUnit::kFrames
                  ? settings.duration
                  : int64_t{settings.duration} * core::dv::systemFor(pal).nominalRate;
    if (!in.open(job.input_, media::File::Mode::kRead))
        return Status::failure(ErrorCode::kOpenFailed, "Could not read file - " + std::string(std::strerror(in.sysError())),
                               in.sysError());
    if (settings.toInputFile) {
        if (!out.open(job.input_, media::File::Mode::kReadWrite))
            return Status::failure(ErrorCode::kOpenFailed, kUnableToWriteInput, out.sysError());
    } else if (!out.open(job.out_.tempPath(), media::File::Mode::kCreate)) {
        return Status::failure(ErrorCode::kOpenFailed,
                               "Could not create output file - " + std::string(std::strerror(out.sysError())),
                               out.sysError());
    }
    inputSize = in.size();
    copyBuf.resize(static_cast<size_t>(std::clamp<int64_t>(file.readBufferSize(), 1 << 16, 1 << 22)));
    return Status::success();
}

// The workers (one per core, at most 2, unless the settings say) and the ring they take frames from.
Status DvBurnInJob::Pass::startWorkers() {
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int workerCount = settings.workers > 0 ? settings.workers : static_cast<int>(std::min(2u, cores));
    for (int i = 0; i < workerCount; ++i) {
        workers.push_back(std::make_unique<FrameWorker>(pal, frameSize, job.drawers_ ? job.drawers_() : nullptr));
        Status s = workers.back()->open();
        if (!s) return s;
    }
    im.slots.assign(kRingSlots, Slot{});
    for (Slot& s : im.slots) s.data.resize(frameSize + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    im.nextToWork = im.filled = 0;
    im.stop = false;
    for (auto& w : workers) {
        FrameWorker* worker = w.get();
        threads.emplace_back([&im = im, worker] {
            std::unique_lock<std::mutex> lk(im.lock);
            for (;;) {
                im.changed.wait(lk, [&] { return im.stop || im.nextToWork < im.filled; });
                if (im.stop) return;
                Slot& slot = im.slots[static_cast<size_t>(im.nextToWork % kRingSlots)];
                ++im.nextToWork;
                slot.state = Slot::kWorking;
                lk.unlock();
                slot.status = slot.draw ? worker->process(slot) : Status::success();
                lk.lock();
                slot.state = Slot::kDone;
                im.changed.notify_all();
            }
        });
    }
    return Status::success();
}

void DvBurnInJob::Pass::stopWorkers() {
    if (threads.empty()) return;
    {
        std::lock_guard<std::mutex> g(im.lock);
        im.stop = true;
    }
    im.changed.notify_all();
    for (auto& t : threads) t.join();
    threads.clear();
}

// Reads frames while a slot is free and writes the oldest back once drawn, until every frame of the
// range is written, the run is cancelled, a write fails or the input ends early (inputCut).
Status DvBurnInJob::Pass::frames() {
    n = first;
    for (;;) {
        if (job.progress_.cancelled()) return Status::failure(ErrorCode::kCancelled, kBurnInHalted);
        if (n <= last && sequence - written < kRingSlots) {
            if (!readFrame()) return Status::success();
            continue;
        }
        if (written == sequence) return Status::success();  // everything read has been written
        if (Status s = writeOldest(); !s) return s;
    }
}

// Reads frame n into the next slot, chooses whether it is drawn on and hands it to the workers; false
// when the input could not be read (inputCut).
bool DvBurnInJob::Pass::readFrame() {
    const int64_t pos = file.frameDataPosition(n);
    if (pos < 0) {  // empty index entry: nothing to burn
        ++n;
        return true;
    }
    Slot& slot = im.slots[static_cast<size_t>(sequence % kRingSlots)];
    if (!in.readExact(pos, slot.data.data(), frameSize)) return !(inputCut = true);
    core::fillRecord(rec, slot.data.data(), frameSize);
    core::updateDisplayValues(rec, display);
    bool draw = true;
    if (scenes) {
        const auto& sceneList = file.sceneSets().sceneList();
        auto it = sceneList.upper_bound(n);
        const int64_t sceneStart = it == sceneList.begin() ? 0 : *std::prev(it);
        draw = n < sceneStart + stretch;
    }
    slot.frame = n;
    slot.position = pos;
    slot.draw = draw;
    slot.undecodable = slot.changed = false;
    slot.wide = display.widescreen;
    slot.record = rec;
    slot.info = overlay::BurnFrameInfo{};
    slot.info.record = &slot.record;
    slot.info.frameNumber = n;
    slot.info.timecodeStyle = display.timecodeStyle;
    slot.info.linePeriod = core::linePeriod(frameSize);
    {
        std::lock_guard<std::mutex> g(im.lock);
        slot.state = Slot::kFilled;
        im.filled = ++sequence;
    }
    im.changed.notify_all();
    ++n;
    return true;
}

// Waits for the oldest slot and writes it: to the output after the bytes before it, or into the
// input when the drawing changed it.
Status DvBurnInJob::Pass::writeOldest() {
    Slot& slot = im.slots[static_cast<size_t>(written % kRingSlots)];
    {
        std::unique_lock<std::mutex> lk(im.lock);
        im.changed.wait(lk, [&] { return slot.state == Slot::kDone; });
    }
    if (!slot.status) return slot.status;
    bool ok = true;
    if (!settings.toInputFile && slot.position >= copiedUpTo) ok = copyTo(slot.position);
    // Back into the input go only the frames the drawing changed.
    const bool write = settings.toInputFile ? slot.changed : true;
    if (write && settings.toInputFile) job.inputChanged_.store(true);
    if (ok && write) ok = out.writeAt(slot.position, slot.data.data(), frameSize);
    if (!settings.toInputFile) copiedUpTo = std::max(copiedUpTo, slot.position + static_cast<int64_t>(frameSize));
    if (!ok) {
        const int err = out.sysError() ? out.sysError() : in.sysError();
        return Status::failure(ErrorCode::kWriteFailed, kBurnInFailedAvi, err);
    }
    if (slot.draw) job.drawn_.fetch_add(1);
    if (slot.draw && slot.undecodable) ++undecodable;
    {
        std::lock_guard<std::mutex> g(im.lock);
        slot.state = Slot::kFree;
    }
    ++written;
    job.progress_.setDone(slot.frame - first + 1);
    return Status::success();
}

// Copies the input's bytes up to end into the output; false on a failed read (inputCut) or write.
bool DvBurnInJob::Pass::copyTo(int64_t end) {
    while (copiedUpTo < end) {
        const size_t count = static_cast<size_t>(std::min<int64_t>(end - copiedUpTo, static_cast<int64_t>(copyBuf.size())));
        if (!in.readExact(copiedUpTo, copyBuf.data(), count)) return !(inputCut = true);
        if (!out.writeAt(copiedUpTo, copyBuf.data(), count)) return false;
        copiedUpTo += static_cast<int64_t>(count);
    }
    return true;
}

// The run's result once the frames are through: the rest of the input copied, an input that ended
// early, or nothing burnt in because no frame could be decoded.
Status DvBurnInJob::Pass::outcome(Status result) {
    core::Progress& progress = job.progress_;
    if (result.ok() && !inputCut && !settings.toInputFile && !copyTo(inputSize) && !inputCut)
        result = Status::failure(ErrorCode::kWriteFailed, kBurnInFailedAvi, out.sysError() ? out.sysError() : in.sysError());
    if (inputCut) {
        result = stoppedEarly(progress.done(), last - first + 1);
        if (settings.toInputFile && job.inputChanged_.load())
            result.message += "; the frames before it are burnt in and the rest are as they were";
    }
    if (result.ok() && undecodable > 0 && undecodable == job.drawn_.load())
        result = Status::failure(ErrorCode::kNoOutput, "None of the " + std::to_string(undecodable) +
                                                           " frames to burn in could be decoded: nothing was burnt in");
    if (result.ok()) progress.setDone(last - first + 1);
    return result;
}

}  // namespace zorv::tools
