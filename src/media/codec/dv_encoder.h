// Encodes pictures into consumer DV frames (25 Mbit/s) with libavcodec's "dvvideo" encoder:
// 720x576 yuv420p for 625/50 (144000-byte frames), 720x480 yuv411p for 525/60 (120000 bytes).
#pragma once

#include <cstdint>
#include <vector>

#include "core/error.h"
#include "media/codec/av_handles.h"

namespace zorv::media::codec {

class DvEncoder {
public:
    // Opens the encoder for 625/50 (pal = true) or 525/60.
    core::Status open(bool pal);

    int width() const { return 720; }
    int height() const { return pal_ ? 576 : 480; }
    AVPixelFormat pixelFormat() const { return pal_ ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P; }
    size_t frameSize() const { return pal_ ? 144000 : 120000; }

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
