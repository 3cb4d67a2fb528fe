#include "tools/avi_picture_sink.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "media/avi_av_writer.h"
#include "media/codec/av_handles.h"
#include "media/codec/codec_registry.h"
#include "tools/avi_picture_sink_lanes.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace zorv::tools {

using core::ErrorCode;
using core::Status;
namespace codec = media::codec;

namespace {

// Encoder lanes for a compressor: one per core (at most two) when its pictures stand alone, else 1.
// Those are the intra-only compressors and ffv1, whose pictures are all key pictures (no coder state
// carried from one to the next) with a gop of 1.
int lanesFor(const AVCodec* c) {
    if (!c) return 1;
    const AVCodecDescriptor* d = avcodec_descriptor_get(c->id);
    const bool standAlone = (d && (d->props & AV_CODEC_PROP_INTRA_ONLY)) || c->id == AV_CODEC_ID_FFV1;
    return standAlone ? static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 2u)) : 1;
}

}  // namespace

bool compressorUsesEveryCore(const std::string& compressor) {
    return !compressor.empty() && lanesFor(avcodec_find_encoder_by_name(compressor.c_str())) > 1;
}

struct AviPictureSink::Impl {
    std::string compressor, path;
    int64_t rateNum = 25, rateDen = 1;
    bool audio = false;
    bool started = false;
    media::AviAvWriter writer;
    std::vector<uint8_t> rows;
    std::vector<int16_t> pendingAudio;  // sound that came before the first picture
    codec::CodecContextPtr encoder;
    codec::FramePtr frame;
    codec::FramePtr staging;  // a picture in the decoder's format, for a compressor that takes another
    bool staged = false;      // the picture being drawn is in staging
    codec::PacketPtr packet = codec::makePacket();
    std::unique_ptr<EncoderLanes> lanes;
    EncoderLanes::PacketOut packetOut = [this](const uint8_t* data, size_t size, bool key) {
        return writer.writeVideo(data, size, key);
    };
    SwsContext* sws = nullptr;
    int64_t pictures = 0;
    int audioRate = 0, audioChannels = 0;

    ~Impl() { sws_freeContext(sws); }
    // Creates the file (and the compressor) with the first picture.
    Status start(int w, int h, AVPixelFormat frameFormat);

    // frameFormat: the pixel format of the frames that will be written (AV_PIX_FMT_NONE: RGB pictures).
    Status openEncoder(int w, int h, AVPixelFormat frameFormat, media::AviVideoFormat& fmt) {
        const AVCodec* c = avcodec_find_encoder_by_name(compressor.c_str());
        if (!c) return Status::failure(ErrorCode::kOpenFailed, "Unknown compressor " + compressor);
        AVPixelFormat pf = AV_PIX_FMT_NONE;
        const AVPixelFormat* formats = c->pix_fmts;
        for (int i = 0; formats && formats[i] != AV_PIX_FMT_NONE && pf == AV_PIX_FMT_NONE; ++i)
            if (formats[i] == AV_PIX_FMT_YUV420P || formats[i] == AV_PIX_FMT_YUVJ420P) pf = formats[i];
        if (pf == AV_PIX_FMT_NONE) pf = formats ? formats[0] : AV_PIX_FMT_YUV420P;
        // The decoder's own format when the compressor takes it (no conversion); a compressor that
        // lists it but will not open with it (MJPEG and limited-range YUV) gets its usual format.
        const AVPixelFormat usual = pf;
        for (int i = 0; frameFormat != AV_PIX_FMT_NONE && formats && formats[i] != AV_PIX_FMT_NONE; ++i)
            if (formats[i] == frameFormat) pf = frameFormat;
        Status s = openWith(c, w, h, pf);
        if (!s && pf != usual) s = openWith(c, w, h, pf = usual);
        if (!s) return s;
        const bool parallel = lanesFor(c) > 1;
        if (parallel) {
            lanes = std::make_unique<EncoderLanes>();
            s = lanes->open(c, *encoder, lanesFor(c));
            if (!s) return s;
        }
        frame = codec::makePicture(w, h, pf);
        const AVPixelFormat from = frameFormat == AV_PIX_FMT_NONE ? AV_PIX_FMT_RGB24 : frameFormat;
        if (from != pf) sws = sws_getContext(w, h, from, w, h, pf, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!frame || (from != pf && !sws)) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        fmt.compression = codec::aviFourcc(compressor);
        if (fmt.compression == 0) fmt.compression = encoder->codec_tag;
        fmt.bitCount = 24;
        fmt.imageSize = static_cast<uint32_t>(w * h * 3);
        if (encoder->extradata && encoder->extradata_size > 0)
            fmt.extraData.assign(encoder->extradata, encoder->extradata + encoder->extradata_size);
        return Status::success();
    }

    // Opens the compressor's context for pictures of this size and pixel format.
    Status openWith(const AVCodec* c, int w, int h, AVPixelFormat pf) {
        encoder.reset(avcodec_alloc_context3(c));
        if (!encoder) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        encoder->width = w;
        encoder->height = h;
        encoder->pix_fmt = pf;
        encoder->time_base = AVRational{static_cast<int>(rateDen), static_cast<int>(rateNum)};
        encoder->framerate = AVRational{static_cast<int>(rateNum), static_cast<int>(rateDen)};
        const bool parallel = lanesFor(c) > 1;
        encoder->thread_count = parallel ? 1 : 2;
        encoder->gop_size = 1;
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        // ffv1: version 3 at every picture size (slices that decoders can work on in parallel, a CRC per
        // slice), the Golomb-Rice coder and the small context model, the cheapest of its lossless
        // modes to encode. Every picture stands alone, which the lanes need.
        if (compressor == "ffv1") encoder->level = 3;
        if (pf == AV_PIX_FMT_YUVJ420P) encoder->color_range = AVCOL_RANGE_JPEG;
        if (avcodec_open2(encoder.get(), c, nullptr) < 0)
            return Status::failure(ErrorCode::kOpenFailed, "Could not open compressor " + compressor);
        return Status::success();
    }

    // The next picture to fill: a lane's slot, or the single compressor's frame.
    Status frameToFill(AVFrame*& f) {
        if (lanes) return lanes->nextFrame(f, packetOut);
        if (av_frame_make_writable(frame.get()) < 0) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        f = frame.get();
        return Status::success();
    }
    Status encodeFilled(AVFrame* f) {
        if (lanes) {
            lanes->submit();
            return Status::success();
        }
        f->pts = pictures++;
        if (avcodec_send_frame(encoder.get(), f) < 0) return Status::failure(ErrorCode::kWriteFailed, "Compressor failed");
        return drainPackets();
    }

    Status drainPackets() {
        for (;;) {
            const int err = avcodec_receive_packet(encoder.get(), packet.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return Status::success();
            if (err < 0) return Status::failure(ErrorCode::kWriteFailed, "Compressor failed");
            Status s = writer.writeVideo(packet->data, static_cast<size_t>(packet->size), packet->flags & AV_PKT_FLAG_KEY);
            av_packet_unref(packet.get());
            if (!s) return s;
        }
    }
};

AviPictureSink::AviPictureSink(std::string compressor, int64_t rateNum, int64_t rateDen, bool audio)
    : impl_(std::make_unique<Impl>()) {
    impl_->compressor = std::move(compressor);
    impl_->rateNum = rateNum > 0 ? rateNum : 25;
    impl_->rateDen = rateDen > 0 ? rateDen : 1;
    impl_->audio = audio;
}

AviPictureSink::~AviPictureSink() = default;

Status AviPictureSink::open(const std::string& path) {
    impl_->path = path;
    return Status::success();
}

Status AviPictureSink::Impl::start(int w, int h, AVPixelFormat frameFormat) {
    Impl& im = *this;
    if (!im.started) {
        media::AviVideoFormat fmt;
        fmt.width = w;
        fmt.height = h;
        fmt.rateNum = im.rateNum;
        fmt.rateDen = im.rateDen;
        if (!im.compressor.empty()) {
            Status s = im.openEncoder(w, h, frameFormat, fmt);
            if (!s) return s;
        }
        Status s = im.writer.open(im.path, fmt, im.audio);
        if (!s) return s;
        im.started = true;
        if (im.audioRate > 0) im.writer.setAudio({im.audioRate, im.audioChannels});
        if (!im.pendingAudio.empty()) {
            s = im.writer.writeAudio(reinterpret_cast<const uint8_t*>(im.pendingAudio.data()), im.pendingAudio.size() * 2);
            im.pendingAudio.clear();
            if (!s) return s;
        }
    }
    return Status::success();
}

bool AviPictureSink::takesFrames() const { return !impl_->compressor.empty(); }

Status AviPictureSink::frameToFill(int width, int height, int format, AVFrame*& frame) {
    Impl& im = *impl_;
    if (im.compressor.empty()) return Status::failure(ErrorCode::kWriteFailed, "Frames not taken");
    Status s = im.start(width, height, static_cast<AVPixelFormat>(format));
    if (!s) return s;
    if (width != im.encoder->width || height != im.encoder->height)
        return Status::failure(ErrorCode::kWriteFailed, "Compressor failed");
    if (format == im.encoder->pix_fmt) {
        im.staged = false;
        return im.frameToFill(frame);
    }
    // The compressor takes another pixel format: the picture is drawn in the decoder's format and
    // converted when it is handed on.
    if (!im.staging || im.staging->format != format) {
        im.staging = codec::makePicture(width, height, static_cast<AVPixelFormat>(format));
        sws_freeContext(im.sws);
        im.sws = sws_getContext(width, height, static_cast<AVPixelFormat>(format), width, height, im.encoder->pix_fmt,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!im.staging || !im.sws) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    }
    if (av_frame_make_writable(im.staging.get()) < 0) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    im.staged = true;
    frame = im.staging.get();
    return Status::success();
}

Status AviPictureSink::submitFrame(int64_t) {
    Impl& im = *impl_;
    AVFrame* fill = nullptr;
    if (im.staged) {
        Status s = im.frameToFill(fill);
        if (!s) return s;
        const AVFrame* from = im.staging.get();
        sws_scale(im.sws, from->data, from->linesize, 0, from->height, fill->data, fill->linesize);
    } else {
        fill = im.lanes ? nullptr : im.frame.get();
    }
    return im.encodeFilled(fill);
}

Status AviPictureSink::submitFrameRef(AVFrame* frame, int64_t start) {
    Impl& im = *impl_;
    if (im.compressor.empty()) return Status::failure(ErrorCode::kWriteFailed, "Frames not taken");
    Status s = im.start(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format));
    if (!s) return s;
    if (frame->width != im.encoder->width || frame->height != im.encoder->height || frame->format != im.encoder->pix_fmt)
        return PictureSink::submitFrameRef(frame, start);
    if (im.lanes) return im.lanes->submitRef(frame, im.packetOut);
    frame->pts = im.pictures++;
    if (avcodec_send_frame(im.encoder.get(), frame) < 0)
        return Status::failure(ErrorCode::kWriteFailed, "Compressor failed");
    return im.drainPackets();
}

Status AviPictureSink::write(const core::RgbPicture& picture, int64_t) {
    Impl& im = *impl_;
    const int w = picture.width, h = picture.height;
    Status started = im.start(w, h, AV_PIX_FMT_NONE);
    if (!started) return started;
    if (im.compressor.empty()) {
        // DIB rows: bottom-up, blue green red, each row padded to 4 bytes.
        const int stride = core::RgbPicture::strideFor(w);
        im.rows.assign(static_cast<size_t>(stride) * h, 0);
        for (int y = 0; y < h; ++y) {
            const uint8_t* src = picture.row(y);
            uint8_t* dst = im.rows.data() + static_cast<size_t>(h - 1 - y) * stride;
            for (int x = 0; x < w; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        return im.writer.writeVideo(im.rows.data(), im.rows.size(), true);
    }
    AVFrame* fill = nullptr;
    Status s = im.frameToFill(fill);
    if (!s) return s;
    const uint8_t* src[4] = {picture.data, nullptr, nullptr, nullptr};
    const int srcStride[4] = {picture.stride, 0, 0, 0};
    sws_scale(im.sws, src, srcStride, 0, h, fill->data, fill->linesize);
    return im.encodeFilled(fill);
}

Status AviPictureSink::writeAudio(const int16_t* samples, size_t count, int rate, int channels) {
    Impl& im = *impl_;
    if (!im.audio || count == 0) return Status::success();
    if (im.audioRate == 0) {
        im.audioRate = rate;
        im.audioChannels = channels;
        if (im.started) im.writer.setAudio({rate, channels});
    }
    if (!im.started) {
        im.pendingAudio.insert(im.pendingAudio.end(), samples, samples + count);
        return Status::success();
    }
    return im.writer.writeAudio(reinterpret_cast<const uint8_t*>(samples), count * 2);
}

Status AviPictureSink::close() {
    Impl& im = *impl_;
    if (!im.started) return Status::success();
    Status s;
    if (im.lanes) {
        s = im.lanes->flush(im.packetOut);
        im.lanes.reset();
    } else if (im.encoder) {
        avcodec_send_frame(im.encoder.get(), nullptr);
        s = im.drainPackets();
    }
    Status c = im.writer.close();
    return s ? c : s;
}

}  // namespace zorv::tools
