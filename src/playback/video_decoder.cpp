#include "playback/video_decoder.h"

#include "core/rgb_picture.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace zorv::playback {

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() { close(); }

bool VideoDecoder::open(const std::string& name, int threads) {
    close();
    const AVCodec* codec = avcodec_find_decoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) {
        error_ = "no decoder " + name;
        return false;
    }
    media::codec::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        error_ = "out of memory";
        return false;
    }
    ctx->thread_count = threads;
    int err = avcodec_open2(ctx.get(), codec, nullptr);
    if (err < 0) {
        error_ = media::codec::avErrorText(err);
        return false;
    }
    packet_ = media::codec::makePacket();
    frame_ = media::codec::makeFrame();
    if (!packet_ || !frame_) {
        error_ = "out of memory";
        return false;
    }
    ctx_ = std::move(ctx);
    error_.clear();
    return true;
}

void VideoDecoder::close() {
    ctx_.reset();
    packet_.reset();
    frame_.reset();
    if (sws_) sws_freeContext(sws_);
    sws_ = nullptr;
    swsW_ = swsH_ = 0;
    swsFormat_ = -1;
}

bool VideoDecoder::send(const uint8_t* data, size_t size, int64_t pts, bool* full) {
    if (full) *full = false;
    if (!ctx_) return false;
    // The packet borrows the caller's bytes: send_packet copies what it keeps.
    av_packet_unref(packet_.get());
    packet_->data = const_cast<uint8_t*>(data);
    packet_->size = static_cast<int>(size);
    packet_->pts = pts;
    packet_->dts = AV_NOPTS_VALUE;
    int err = avcodec_send_packet(ctx_.get(), packet_.get());
    packet_->data = nullptr;
    packet_->size = 0;
    if (err == AVERROR(EAGAIN)) {  // the caller drains with receive() first
        if (full) *full = true;
        return true;
    }
    if (err < 0 && err != AVERROR_INVALIDDATA) {
        error_ = media::codec::avErrorText(err);
        return false;
    }
    return true;
}

bool VideoDecoder::sendEnd() {
    if (!ctx_) return false;
    int err = avcodec_send_packet(ctx_.get(), nullptr);
    return err >= 0 || err == AVERROR_EOF;
}

bool VideoDecoder::receive(RgbOut& out) {
    if (!ctx_) return false;
    for (;;) {
        int err = avcodec_receive_frame(ctx_.get(), frame_.get());
        if (err < 0) return false;
        bool ok = convert(frame_.get(), out);
        av_frame_unref(frame_.get());
        if (ok) return true;
    }
}

void VideoDecoder::flush() {
    if (ctx_) avcodec_flush_buffers(ctx_.get());
}

bool VideoDecoder::convert(const AVFrame* f, RgbOut& out) {
    if (f->width <= 0 || f->height <= 0 || !out.pixels) return false;
    if (!sws_ || swsW_ != f->width || swsH_ != f->height || swsFormat_ != f->format) {
        if (sws_) sws_freeContext(sws_);
        sws_ = sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width, f->height,
                              AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!sws_) return false;
        swsW_ = f->width;
        swsH_ = f->height;
        swsFormat_ = f->format;
    }
    out.width = f->width;
    out.height = f->height;
    out.stride = core::RgbPicture::strideFor(f->width);
    size_t bytes = static_cast<size_t>(out.stride) * static_cast<size_t>(out.height);
    if (out.pixels->size() != bytes) out.pixels->resize(bytes);
    uint8_t* dst[4] = {out.pixels->data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {out.stride, 0, 0, 0};
    sws_scale(sws_, f->data, f->linesize, 0, f->height, dst, dstStride);
    out.sarNum = f->sample_aspect_ratio.num;
    out.sarDen = f->sample_aspect_ratio.den;
    out.pts = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;
    switch (f->pict_type) {
    case AV_PICTURE_TYPE_I: out.pictureType = 0; break;
    case AV_PICTURE_TYPE_P: out.pictureType = 1; break;
    case AV_PICTURE_TYPE_B: out.pictureType = 2; break;
    default: out.pictureType = 255; break;
    }
#ifdef AV_FRAME_FLAG_KEY
    out.keyFrame = (f->flags & AV_FRAME_FLAG_KEY) != 0;
#else
    out.keyFrame = f->key_frame != 0;
#endif
    return true;
}

}  // namespace zorv::playback
