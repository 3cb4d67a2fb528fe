// Encodes pictures into consumer DV frames (25 Mbit/s) with libavcodec's "dvvideo" encoder:
// 720x576 yuv420p for 625/50 (144000-byte frames), 720x480 yuv411p for 525/60 (120000 bytes).
#pragma once

#include <cstdint>
#include <vector>

#include "core/dv_layout.h"
#include "core/error.h"
#include "media/codec/av_handles.h"

namespace zorv::media::codec {

// The pixel format libavcodec's DV codec uses for 625/50 (pal) or 525/60 pictures.
inline AVPixelFormat dvPixelFormat(bool pal) {
    return core::dv::systemFor(pal).chroma420 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P;
}
// Sets a DV encoder's picture size, pixel format, frame rate and pixel aspect for 625/50 (pal) or 525/60.
void setDvEncoderFormat(AVCodecContext* ctx, bool pal);

class DvEncoder {
public:
    // Opens the encoder for 625/50 (pal = true) or 525/60.
    core::Status open(bool pal);

    int width() const { return core::dv::systemFor(pal_).width; }
    int height() const { return core::dv::systemFor(pal_).height; }
    AVPixelFormat pixelFormat() const { return dvPixelFormat(pal_); }
    size_t frameSize() const { return core::dv::systemFor(pal_).frameSize; }

    // A picture of the encoder's size and pixel format to draw into.
    FramePtr makeInputPicture() const { return makePicture(width(), height(), pixelFormat()); }

    // Encodes one picture into a whole DV frame (frameSize() bytes) stored in out.
    core::Status encode(AVFrame* picture, std::vector<uint8_t>& out);

private:
    CodecContextPtr ctx_;
    PacketPtr packet_;
    bool pal_ = true;
    int64_t pts_ = 0;
};

}  // namespace zorv::media::codec
