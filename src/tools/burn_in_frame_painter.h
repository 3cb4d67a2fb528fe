// Drawing on a decoder's own frame (planar 8-bit YUV) without turning the picture into RGB: only the
// rectangles the text can reach (the drawer's ink boxes, else its whole band) are converted to RGB and
// drawn on, and only the pixels the drawing changed are converted back (luma per pixel, chroma per
// sample whose area holds a changed pixel). Every other pixel keeps the decoder's values exactly.
// The conversion is BT.601, limited or full range as the frame says. Buffers are kept from frame to
// frame: painting allocates nothing once the size is known.
#pragma once

#include <cstdint>
#include <vector>

#include "media/codec/av_handles.h"
#include "tools/burn_in.h"

namespace zorv::tools {

class FramePainter {
public:
    // Draws the picture in into out (the two may be the same frame; otherwise in is copied first).
    // False when the frame's format is not planar 8-bit YUV or the copy fails. The drawer must be
    // prepared for the frame's size.
    bool paint(const AVFrame* in, AVFrame* out, overlay::PictureDrawer& drawer, const overlay::BurnFrameInfo& info);

private:
    struct Rect {
        int x0, y0, x1, y1;
    };
    bool setUp(const AVFrame* frame, overlay::PictureDrawer& drawer);
    void setTables();
    void toRgb(const AVFrame* f, const Rect& r);
    void putBack(AVFrame* f, const Rect& r);

    std::vector<uint8_t> rgb_, before_;
    // The conversion to RGB by table: the luma term and the chroma terms (16-bit fixed point), and
    // the chroma terms of one row of samples.
    int yTerm_[256] = {}, rvTerm_[256] = {}, guTerm_[256] = {}, gvTerm_[256] = {}, buTerm_[256] = {};
    int tablesFor_ = -1;  // the range the tables are for: 0 limited, 1 full, -1 not set yet
    std::vector<int> rTerm_, gTerm_, bTerm_;
    std::vector<uint8_t> touched_;  // chroma samples of the current row whose area changed
    std::vector<overlay::PictureDrawer::Box> boxes_;
    std::vector<Rect> rects_;
    int width_ = 0, height_ = 0, format_ = -1;
    bool jpegFormat_ = false, fullRange_ = false;
    int bandTop_ = 0, bandRows_ = 0, rgbStride_ = 0;
    int chromaW_ = 0, chromaH_ = 0;
};

}  // namespace zorv::tools
