#include "media/codec/dv_encoder.h"

namespace zorv::media::codec {

using core::ErrorCode;
using core::Status;

void setDvEncoderFormat(AVCodecContext* ctx, bool pal) {
    const core::dv::System& sys = core::dv::systemFor(pal);
    ctx->width = sys.width;
    ctx->height = sys.height;
    ctx->pix_fmt = dvPixelFormat(pal);
    ctx->time_base = AVRational{sys.rateDen, sys.rateNum};
    ctx->framerate = AVRational{sys.rateNum, sys.rateDen};
    ctx->sample_aspect_ratio = AVRational{sys.aspectNum, sys.aspectDen};
}

Status DvEncoder::open(bool pal) {
    pal_ = pal;
    const AVCodec* codec = avcodec_find_encoder_by_name("dvvideo");
    if (!codec) return Status::failure(ErrorCode::kOpenFailed, "DV video encoder not available");
    ctx_.reset(avcodec_alloc_context3(codec));
    packet_ = makePacket();
    if (!ctx_ || !packet_) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    setDvEncoderFormat(ctx_.get(), pal);
    int err = avcodec_open2(ctx_.get(), codec, nullptr);
    if (err < 0) return Status::failure(ErrorCode::kOpenFailed, "Could not open DV encoder: " + avErrorText(err));
    return Status::success();
}

Status DvEncoder::encode(AVFrame* picture, std::vector<uint8_t>& out) {
    if (!ctx_) return Status::failure(ErrorCode::kOpenFailed, "DV encoder not open");
    picture->pts = pts_++;
    int err = avcodec_send_frame(ctx_.get(), picture);
    if (err >= 0) err = avcodec_receive_packet(ctx_.get(), packet_.get());
    if (err < 0) return Status::failure(ErrorCode::kWriteFailed, "DV encoding failed: " + avErrorText(err));
    out.assign(packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_.get());
    if (out.size() != frameSize())
        return Status::failure(ErrorCode::kWriteFailed, "DV encoder gave a frame of unexpected size");
    return Status::success();
}

}  // namespace zorv::media::codec
