#include "tools/burn_in_frame_painter.h"

#include <algorithm>
#include <cstring>

#include "core/rgb_picture.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace zorv::tools {

namespace {
constexpr int kBlock = 16;
}

FramePainter::~FramePainter() {
    sws_freeContext(toRgb_);
    sws_freeContext(toYuv_);
}

bool FramePainter::setUp(const AVFrame* in, PictureDrawer& drawer) {
    int top = 0, rows = in->height;
    drawer.band(top, rows);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(in->format));
    if (!desc || (desc->flags & AV_PIX_FMT_FLAG_PLANAR) == 0 || desc->nb_components != 3 || desc->comp[0].depth != 8)
        return false;
    chromaW_ = desc->log2_chroma_w;
    chromaH_ = desc->log2_chroma_h;
    const int vAlign = 1 << chromaH_;
    const int bottom = std::min(in->height, (top + rows + vAlign - 1) / vAlign * vAlign);
    top = std::max(0, top / vAlign * vAlign);
    if (bottom <= top) return false;
    const auto fmt = static_cast<AVPixelFormat>(in->format);
    width_ = in->width;
    height_ = in->height;
    format_ = in->format;
    bandTop_ = top;
    bandRows_ = bottom - top;
    toRgb_ = sws_getCachedContext(toRgb_, width_, bandRows_, fmt, width_, bandRows_, AV_PIX_FMT_RGB24, SWS_POINT, nullptr,
                                  nullptr, nullptr);
    toYuv_ = sws_getCachedContext(toYuv_, width_, bandRows_, AV_PIX_FMT_RGB24, width_, bandRows_, fmt, SWS_POINT, nullptr,
                                  nullptr, nullptr);
    out_ = media::codec::makePicture(width_, height_, fmt);
    yuvBand_ = media::codec::makePicture(width_, bandRows_, fmt);
    rgbStride_ = core::RgbPicture::strideFor(width_);
    rgb_.assign(static_cast<size_t>(rgbStride_) * bandRows_, 0);
    before_.assign(rgb_.size(), 0);
    if (!toRgb_ || !toYuv_ || !out_ || !yuvBand_) {
        format_ = -1;
        return false;
    }
    return true;
}

const AVFrame* FramePainter::paint(const AVFrame* in, PictureDrawer& drawer, const BurnFrameInfo& info) {
    if (in->width != width_ || in->height != height_ || in->format != format_) {
        if (!setUp(in, drawer)) return nullptr;
    }
    // The encoder may still hold the last picture; take fresh buffers then.
    if (!av_frame_is_writable(out_.get())) {
        av_frame_unref(out_.get());
        out_->width = width_;
        out_->height = height_;
        out_->format = format_;
        if (av_frame_get_buffer(out_.get(), 32) < 0) return nullptr;
    }
    if (av_frame_copy(out_.get(), in) < 0) return nullptr;

    uint8_t* planes[4] = {};
    for (int p = 0; p < 3; ++p)
        planes[p] = out_->data[p] + static_cast<ptrdiff_t>(bandTop_ >> (p ? chromaH_ : 0)) * out_->linesize[p];
    uint8_t* rgbPlanes[4] = {rgb_.data(), nullptr, nullptr, nullptr};
    int rgbStrides[4] = {rgbStride_, 0, 0, 0};
    sws_scale(toRgb_, planes, out_->linesize, 0, bandRows_, rgbPlanes, rgbStrides);
    std::memcpy(before_.data(), rgb_.data(), rgb_.size());
    core::RgbPicture view{rgb_.data(), width_, height_, rgbStride_, bandTop_, bandRows_};
    drawer.draw(view, info);

    // Blocks the drawing changed go back to YUV.
    bool converted = false;
    for (int by = 0; by < bandRows_; by += kBlock) {
        const int rows = std::min(kBlock, bandRows_ - by);
        for (int bx = 0; bx < width_; bx += kBlock) {
            const int cols = std::min(kBlock, width_ - bx);
            bool changed = false;
            for (int y = by; y < by + rows && !changed; ++y) {
                const size_t off = static_cast<size_t>(y) * rgbStride_ + static_cast<size_t>(bx) * 3;
                changed = std::memcmp(rgb_.data() + off, before_.data() + off, static_cast<size_t>(cols) * 3) != 0;
            }
            if (!changed) continue;
            if (!converted) {
                uint8_t* yuv[4] = {yuvBand_->data[0], yuvBand_->data[1], yuvBand_->data[2], nullptr};
                sws_scale(toYuv_, rgbPlanes, rgbStrides, 0, bandRows_, yuv, yuvBand_->linesize);
                converted = true;
            }
            for (int p = 0; p < 3; ++p) {
                const int sx = p ? chromaW_ : 0, sy = p ? chromaH_ : 0;
                const int x0 = bx >> sx, x1 = (bx + cols + (1 << sx) - 1) >> sx;
                const int y0 = by >> sy, y1 = (by + rows + (1 << sy) - 1) >> sy;
                for (int y = y0; y < y1; ++y)
                    std::memcpy(planes[p] + static_cast<ptrdiff_t>(y) * out_->linesize[p] + x0,
                                yuvBand_->data[p] + static_cast<ptrdiff_t>(y) * yuvBand_->linesize[p] + x0,
                                static_cast<size_t>(x1 - x0));
            }
        }
    }
    return out_.get();
}

}  // namespace zorv::tools
