// Drawing on a decoder's own frame (planar YUV) without turning the whole picture into RGB: the frame
// is copied, only the band of rows the drawing may change is converted to RGB and drawn on, and the
// 16 x 16 blocks whose pixels the drawing changed are converted back. Every other pixel keeps the
// decoder's values exactly. Buffers are kept from frame to frame.
#pragma once

#include <cstdint>
#include <vector>

#include "media/codec/av_handles.h"
#include "tools/burn_in.h"

struct SwsContext;

namespace zorv::tools {

class FramePainter {
public:
    FramePainter() = default;
    ~FramePainter();
    FramePainter(const FramePainter&) = delete;
    FramePainter& operator=(const FramePainter&) = delete;

    // The drawn copy of in (valid until the next call), or null when the frame's format cannot be
    // converted or memory runs out. The drawer must be prepared for the frame's size.
    const AVFrame* paint(const AVFrame* in, PictureDrawer& drawer, const BurnFrameInfo& info);

private:
    bool setUp(const AVFrame* in, PictureDrawer& drawer);

    media::codec::FramePtr out_, yuvBand_;
    SwsContext* toRgb_ = nullptr;
    SwsContext* toYuv_ = nullptr;
    std::vector<uint8_t> rgb_, before_;
    int width_ = 0, height_ = 0, format_ = -1;
    int bandTop_ = 0, bandRows_ = 0, rgbStride_ = 0;
    int chromaW_ = 0, chromaH_ = 0;
};

}  // namespace zorv::tools
