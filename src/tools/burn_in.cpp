#include "tools/burn_in.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/dv_decode.h"
#include "core/dv_layout.h"
#include "core/dv_pack_fill.h"
#include "media/codec/av_handles.h"
#include "media/codec/dv_encoder.h"
#include "media/dv_media_file.h"
#include "media/file_io.h"

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
    const std::string stem = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? input.substr(0, dot) : input;
    return stem + "-burn.avi";
}

BurnInSettings BurnInSettings::fromOptions(const core::Options& options) {
    const core::Options o = options.normalized();
    BurnInSettings s;
    s.mode = o.burnInMode;
    s.duration = o.burnInDuration;
    s.durationUnit = o.burnInDurationUnit;
    s.sceneMask = o.sceneTriggerMask;
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
    BurnFrameInfo info;
    bool wide = false;
    std::vector<uint8_t> in;   // the frame as read (with decoder padding)
    std::vector<uint8_t> out;  // the frame to write
    Status status;
};

// Replaces the video DIF blocks of frame by those of encoded; header, subcode, VAUX and audio
// blocks stay.
void spliceVideoBlocks(uint8_t* frame, const uint8_t* encoded, size_t frameSize) {
    const int sequences = core::dv::sequenceCount(frameSize);
    for (int s = 0; s < sequences; ++s) {
        const size_t base = static_cast<size_t>(s) * core::dv::kSequenceSize;
        for (size_t b = 7; b < core::dv::kBlocksPerSequence; ++b) {
            if ((b - 6) % 16 == 0) continue;  // audio block
            std::memcpy(frame + base + b * core::dv::kDifBlockSize, encoded + base + b * core::dv::kDifBlockSize,
                        core::dv::kDifBlockSize);
        }
    }
}

// One worker's codecs and drawing state.
class FrameWorker {
public:
    FrameWorker(bool pal, size_t frameSize, std::unique_ptr<PictureDrawer> drawer)
        : pal_(pal), frameSize_(frameSize), drawer_(std::move(drawer)) {}
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
        Status s = encoder_.open(pal_);
        if (!s) return Status::failure(ErrorCode::kOpenFailed, "Could not create DV encoder");
        picture_ = encoder_.makeInputPicture();
        decoded_ = media::codec::makeFrame();
        packet_ = media::codec::makePacket();
        if (!picture_ || !decoded_ || !packet_) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        return Status::success();
    }

    // Decodes, draws and re-encodes one frame into slot.out.
    Status process(Slot& slot) {
        slot.out.assign(slot.in.begin(), slot.in.begin() + static_cast<ptrdiff_t>(frameSize_));
        packet_->data = slot.in.data();
        packet_->size = static_cast<int>(frameSize_);
        int err = avcodec_send_packet(decoder_.get(), packet_.get());
        if (err >= 0) err = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (err < 0) return Status::success();  // an undecodable frame passes unchanged
        const int w = decoded_->width, h = decoded_->height;
        if (w != encoder_.width() || h != encoder_.height()) {
            av_frame_unref(decoded_.get());
            return Status::success();
        }
        if (!prepared_ || slot.wide != wide_) {
            wide_ = slot.wide;
            prepared_ = drawer_ && drawer_->prepare(w, h, wide_, 0, 0);
            bandRows_ = -1;
        }
        if (!prepared_) {
            av_frame_unref(decoded_.get());
            return Status::success();
        }
        const auto fmt = static_cast<AVPixelFormat>(decoded_->format);
        if (fmt == encoder_.pixelFormat()) {
            av_frame_copy(picture_.get(), decoded_.get());
        } else {
            SwsContext* conv = sws_getCachedContext(nullptr, w, h, fmt, w, h, encoder_.pixelFormat(), SWS_POINT, nullptr,
                                                    nullptr, nullptr);
            if (!conv) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
            sws_scale(conv, decoded_->data, decoded_->linesize, 0, h, picture_->data, picture_->linesize);
            sws_freeContext(conv);
        }
        av_frame_unref(decoded_.get());

        // Convert the band of rows the drawing touches to RGB, draw, and convert it back.
        int top = 0, rows = h;
        drawer_->band(top, rows);
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(encoder_.pixelFormat());
        const int vAlign = 1 << desc->log2_chroma_h;
        int bottom = std::min(h, ((top + rows + vAlign - 1) / vAlign) * vAlign);
        top = std::max(0, top / vAlign * vAlign);
        rows = bottom - top;
        if (rows <= 0) return Status::success();
        if (rows != bandRows_) {
            bandRows_ = rows;
            toRgb_ = sws_getCachedContext(toRgb_, w, rows, encoder_.pixelFormat(), w, rows, AV_PIX_FMT_RGB24,
                                          SWS_POINT, nullptr, nullptr, nullptr);
            toYuv_ = sws_getCachedContext(toYuv_, w, rows, AV_PIX_FMT_RGB24, w, rows, encoder_.pixelFormat(),
                                          SWS_POINT, nullptr, nullptr, nullptr);
            rgbStride_ = core::RgbPicture::strideFor(w);
            rgb_.assign(static_cast<size_t>(rgbStride_) * rows, 0);
        }
        if (!toRgb_ || !toYuv_) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        uint8_t* planes[4] = {};
        for (int p = 0; p < 3; ++p) {
            const int shift = p == 0 ? 0 : desc->log2_chroma_h;
            planes[p] = picture_->data[p] + static_cast<ptrdiff_t>(top >> shift) * picture_->linesize[p];
        }
        uint8_t* rgbPlanes[4] = {rgb_.data(), nullptr, nullptr, nullptr};
        int rgbStrides[4] = {rgbStride_, 0, 0, 0};
        sws_scale(toRgb_, planes, picture_->linesize, 0, rows, rgbPlanes, rgbStrides);
        core::RgbPicture view{rgb_.data(), w, h, rgbStride_, top, rows};
        drawer_->draw(view, slot.info);
        sws_scale(toYuv_, rgbPlanes, rgbStrides, 0, rows, planes, picture_->linesize);

        Status s = encoder_.encode(picture_.get(), encoded_);
        if (!s) return Status::failure(ErrorCode::kWriteFailed, kBurnInFailedAvi);
        spliceVideoBlocks(slot.out.data(), encoded_.data(), frameSize_);
        return Status::success();
    }

private:
    bool pal_;
    size_t frameSize_;
    std::unique_ptr<PictureDrawer> drawer_;
    media::codec::CodecContextPtr decoder_;
    media::codec::DvEncoder encoder_;
    media::codec::FramePtr picture_, decoded_;
    media::codec::PacketPtr packet_;
    std::vector<uint8_t> encoded_;
    SwsContext* toRgb_ = nullptr;
    SwsContext* toYuv_ = nullptr;
    std::vector<uint8_t> rgb_;
    int rgbStride_ = 0;
    int bandRows_ = -1;
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

DvBurnInJob::DvBurnInJob(std::string input, BurnInSettings settings, DrawerFactory drawers)
    : input_(std::move(input)), settings_(std::move(settings)), drawers_(std::move(drawers)), impl_(std::make_unique<Impl>()) {}

DvBurnInJob::~DvBurnInJob() {
    if (worker_.joinable()) {
        progress_.cancel();
        worker_.join();
    }
}

Status DvBurnInJob::build() {
    media::DvMediaFile& f = impl_->file;
    if (!f.open(input_)) {
        const Status s = f.status();
        return Status::failure(s.code == ErrorCode::kNone ? ErrorCode::kOpenFailed : s.code,
                               "Could not read file - " + s.message, s.sysError);
    }
    if (f.fileType() != media::FileType::kAviType1 && f.fileType() != media::FileType::kAviType2)
        return Status::failure(ErrorCode::kOpenFailed, "Could not read file - only DV AVI files can be burnt in");
    if (f.frameCount() <= 0) return Status::failure(ErrorCode::kReadFailed, "Failed to get duration of file");
    impl_->first = std::clamp<int64_t>(settings_.firstFrame, 0, f.frameCount() - 1);
    impl_->last = settings_.lastFrame < 0 ? f.frameCount() - 1 : std::min(settings_.lastFrame, f.frameCount() - 1);
    if (impl_->last < impl_->first) impl_->last = impl_->first;
    if (!settings_.toInputFile && settings_.output.empty()) settings_.output = burnOutputName(input_);
    built_ = true;
    return Status::success();
}

std::string DvBurnInJob::progressText() const {
    if (settings_.toInputFile) return "Burning-in the input file ...\n" + input_;
    return "Burning-in to Output File ...\n" + settings_.output;
}

bool DvBurnInJob::start() {
    if (!built_ || worker_.joinable()) return false;
    worker_ = std::thread([this] {
        result_ = run();
        finished_.store(true);
    });
    return true;
}

Status DvBurnInJob::wait() {
    if (worker_.joinable()) worker_.join();
    return result_;
}

Status DvBurnInJob::run() {
    Impl& im = *impl_;
    media::DvMediaFile& file = im.file;
    const size_t frameSize = file.frameSize();
    const bool pal = core::dv::isPal(frameSize);
    const int64_t first = im.first, last = im.last;
    progress_.setTotal(last - first + 1);
    progress_.setDone(0);

    // Scene mode follows the scene starts of the metadata scan.
    const bool scenes = settings_.mode == 1;
    if (scenes) {
        file.setOptionMask(settings_.sceneMask);
        if (!file.scan(nullptr)) return Status::failure(ErrorCode::kReadFailed, kBurnInFailedAvi, file.sysError());
    }
    const int64_t stretch = settings_.durationUnit == 1 ? settings_.duration : int64_t{settings_.duration} * (pal ? 25 : 30);

    // Target files.
    media::File in, out;
    if (!in.open(input_, media::File::Mode::kRead))
        return Status::failure(ErrorCode::kOpenFailed, "Could not read file - " + std::string(std::strerror(in.sysError())),
                               in.sysError());
    if (settings_.toInputFile) {
        if (!out.open(input_, media::File::Mode::kReadWrite))
            return Status::failure(ErrorCode::kOpenFailed, kUnableToWriteInput, out.sysError());
    } else if (!out.open(settings_.output, media::File::Mode::kCreate)) {
        return Status::failure(ErrorCode::kOpenFailed,
                               "Could not create output file - " + std::string(std::strerror(out.sysError())), out.sysError());
    }
    const int64_t inputSize = in.size();
    std::vector<uint8_t> copyBuf(static_cast<size_t>(std::clamp<int64_t>(file.readBufferSize(), 1 << 16, 1 << 22)));
    int64_t copiedUpTo = 0;
    auto copyTo = [&](int64_t end) -> bool {
        while (copiedUpTo < end) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(end - copiedUpTo, static_cast<int64_t>(copyBuf.size())));
            if (!in.readExact(copiedUpTo, copyBuf.data(), n) || !out.writeAt(copiedUpTo, copyBuf.data(), n)) return false;
            copiedUpTo += static_cast<int64_t>(n);
        }
        return true;
    };

    // Workers.
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int workerCount = settings_.workers > 0 ? settings_.workers : static_cast<int>(std::min(2u, cores));
    std::vector<std::unique_ptr<FrameWorker>> workers;
    for (int i = 0; i < workerCount; ++i) {
        workers.push_back(std::make_unique<FrameWorker>(pal, frameSize, drawers_ ? drawers_() : nullptr));
        Status s = workers.back()->open();
        if (!s) return s;
    }
    im.slots.assign(kRingSlots, Slot{});
    for (Slot& s : im.slots) {
        s.in.resize(frameSize + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        s.out.reserve(frameSize);
    }
    im.nextToWork = im.filled = 0;
    im.stop = false;
    std::vector<std::thread> threads;
    for (auto& w : workers) {
        FrameWorker* worker = w.get();
        threads.emplace_back([&im, worker] {
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
    auto stopWorkers = [&] {
        {
            std::lock_guard<std::mutex> g(im.lock);
            im.stop = true;
        }
        im.changed.notify_all();
        for (auto& t : threads) t.join();
    };

    // Read frames in order, choose what is drawn, hand them to the workers and write them back in order.
    core::MetadataRecord rec;
    core::DisplayValues display;
    const auto& sceneList = file.sceneSets().sceneList();
    int64_t sceneStart = 0;
    int64_t n = first;        // next frame to read
    int64_t written = 0;      // sequence numbers written
    int64_t sequence = 0;     // sequence numbers handed out
    Status result;
    for (;;) {
        if (progress_.cancelled()) {
            result = Status::failure(ErrorCode::kCancelled, kBurnInHalted);
            break;
        }
        // Fill a free slot while there is room.
        if (n <= last && sequence - written < kRingSlots) {
            const int64_t pos = file.frameDataPosition(n);
            if (pos < 0) {  // empty index entry: nothing to burn
                ++n;
                continue;
            }
            Slot& slot = im.slots[static_cast<size_t>(sequence % kRingSlots)];
            if (!in.readExact(pos, slot.in.data(), frameSize)) {
                result = Status::failure(ErrorCode::kReadFailed, kBurnInFailedAvi, in.sysError());
                break;
            }
            core::fillRecord(rec, slot.in.data(), frameSize);
            core::updateDisplayValues(rec, display);
            bool draw = true;
            if (scenes) {
                auto it = sceneList.upper_bound(n);
                sceneStart = it == sceneList.begin() ? 0 : *std::prev(it);
                draw = n < sceneStart + stretch;
            }
            slot.frame = n;
            slot.position = pos;
            slot.draw = draw;
            slot.wide = display.widescreen;
            slot.record = rec;
            slot.info = BurnFrameInfo{};
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
            continue;
        }
        if (written == sequence) break;  // everything read has been written
        // Write the oldest slot once it is done.
        Slot& slot = im.slots[static_cast<size_t>(written % kRingSlots)];
        {
            std::unique_lock<std::mutex> lk(im.lock);
            im.changed.wait(lk, [&] { return slot.state == Slot::kDone; });
        }
        if (!slot.status) {
            result = slot.status;
            break;
        }
        const uint8_t* data = slot.draw ? slot.out.data() : slot.in.data();
        bool ok = true;
        if (!settings_.toInputFile && slot.position >= copiedUpTo) ok = copyTo(slot.position);
        if (ok && (slot.draw || !settings_.toInputFile)) ok = out.writeAt(slot.position, data, frameSize);
        if (!settings_.toInputFile) copiedUpTo = std::max(copiedUpTo, slot.position + static_cast<int64_t>(frameSize));
        if (!ok) {
            const int err = out.sysError() ? out.sysError() : in.sysError();
            result = Status::failure(ErrorCode::kWriteFailed, kBurnInFailedAvi, err);
            break;
        }
        if (slot.draw) drawn_.fetch_add(1);
        {
            std::lock_guard<std::mutex> g(im.lock);
            slot.state = Slot::kFree;
        }
        ++written;
        progress_.setDone(slot.frame - first + 1);
    }
    stopWorkers();
    if (result.ok() && !settings_.toInputFile && !copyTo(inputSize))
        result = Status::failure(ErrorCode::kWriteFailed, kBurnInFailedAvi, out.sysError() ? out.sysError() : in.sysError());
    if (result.ok()) progress_.setDone(last - first + 1);
    return result;
}

}  // namespace zorv::tools
