#include "tools/burn_in_frame_painter.h"

#include <algorithm>
#include <cstring>

#include "core/rgb_picture.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace zorv::tools {

namespace {

// BT.601 in 16-bit fixed point, for limited (16..235) and full (0..255) range.
constexpr int fix(double x) { return static_cast<int>(x >= 0 ? x * 65536 + 0.5 : x * 65536 - 0.5); }
constexpr int kHalf = 1 << 15;

struct Matrix {
    int yOffset;
    int ys, rv, gu, gv, bu;      // to RGB: c = ys (Y - yOffset); R = c + rv V'; G = c + gu U' + gv V'; B = c + bu U'
    int yr, yg, yb;              // to Y
    int ur, ug, ub, vr, vg, vb;  // to U and V (around 128)
};
static const Matrix kLimited = {16,
                                fix(1.164383),
                                fix(1.596027),
                                fix(-0.391762),
                                fix(-0.812968),
                                fix(2.017232),
                                fix(0.256788),
                                fix(0.504129),
                                fix(0.097906),
                                fix(-0.148223),
                                fix(-0.290993),
                                fix(0.439216),
                                fix(0.439216),
                                fix(-0.367788),
                                fix(-0.071427)};
static const Matrix kFull = {0,          fix(1.0),       fix(1.402),    fix(-0.344136), fix(-0.714136), fix(1.772),
                             fix(0.299), fix(0.587),     fix(0.114),    fix(-0.168736), fix(-0.331264), fix(0.5),
                             fix(0.5),   fix(-0.418688), fix(-0.081312)};

inline uint8_t clip8(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// 8-bit YUV with each component in a plane of its own.
bool planarYuv8(const AVPixFmtDescriptor* d) {
    if (!d || (d->flags & AV_PIX_FMT_FLAG_PLANAR) == 0 || (d->flags & AV_PIX_FMT_FLAG_RGB) != 0 || d->nb_components != 3)
        return false;
    for (int c = 0; c < 3; ++c)
        if (d->comp[c].plane != c || d->comp[c].depth != 8 || d->comp[c].step != 1 || d->comp[c].shift != 0) return false;
    return true;
}

}  // namespace

bool FramePainter::setUp(const AVFrame* frame, overlay::PictureDrawer& drawer) {
    format_ = -1;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    if (!planarYuv8(desc)) return false;
    int top = 0, rows = frame->height;
    drawer.band(top, rows);
    chromaW_ = desc->log2_chroma_w;
    chromaH_ = desc->log2_chroma_h;
    const int vAlign = 1 << chromaH_;
    const int bottom = std::min(frame->height, (top + rows + vAlign - 1) / vAlign * vAlign);
    top = std::max(0, top / vAlign * vAlign);
    if (bottom <= top) return false;
    width_ = frame->width;
    height_ = frame->height;
    format_ = frame->format;
    jpegFormat_ = std::strncmp(desc->name, "yuvj", 4) == 0;
    bandTop_ = top;
    bandRows_ = bottom - top;
    rgbStride_ = core::RgbPicture::strideFor(width_);
    rgb_.assign(static_cast<size_t>(rgbStride_) * bandRows_, 0);
    before_.assign(rgb_.size(), 0);
    const size_t chromaWidth = static_cast<size_t>((width_ >> chromaW_) + 1);
    rTerm_.assign(chromaWidth, 0);
    gTerm_.assign(chromaWidth, 0);
    bTerm_.assign(chromaWidth, 0);
    touched_.assign(chromaWidth, 0);
    boxes_.reserve(core::kBurnItemCount);
    rects_.reserve(core::kBurnItemCount + 1);
    return true;
}

void FramePainter::setTables() {
    const Matrix& m = fullRange_ ? kFull : kLimited;
    for (int i = 0; i < 256; ++i) {
        yTerm_[i] = m.ys * (i - m.yOffset) + kHalf;
        rvTerm_[i] = m.rv * (i - 128);
        guTerm_[i] = m.gu * (i - 128);
        gvTerm_[i] = m.gv * (i - 128);
        buTerm_[i] = m.bu * (i - 128);
    }
    tablesFor_ = fullRange_ ? 1 : 0;
}

namespace {

// Saturation to 0..255 by table, for sums between -512 and 767.
struct ClipTable {
    uint8_t v[1280];
    ClipTable() {
        for (int i = 0; i < 1280; ++i) v[i] = clip8(i - 512);
    }
    uint8_t operator()(int x) const { return v[x + 512]; }
};
static const ClipTable kClip;

// One row of RGB from a row of luma and the chroma terms of its samples (1 << cw pixels each).
template <int cw>
void rgbRow(const uint8_t* yRow, int x0, int x1, int cx0, const int* yTerm, const int* rTerm, const int* gTerm,
            const int* bTerm, uint8_t* out) {
    for (int x = x0; x < x1; ++x, out += 3) {
        const int c = yTerm[yRow[x]];
        const int i = (x >> cw) - cx0;
        out[0] = kClip((c + rTerm[i]) >> 16);
        out[1] = kClip((c + gTerm[i]) >> 16);
        out[2] = kClip((c + bTerm[i]) >> 16);
    }
}

}  // namespace

void FramePainter::toRgb(const AVFrame* f, const Rect& r) {
    if (tablesFor_ != (fullRange_ ? 1 : 0)) setTables();
    // The chroma terms of a row of chroma samples serve every luma row they cover.
    const int cx0 = r.x0 >> chromaW_, cx1 = (r.x1 + (1 << chromaW_) - 1) >> chromaW_;
    for (int cy = r.y0 >> chromaH_; cy << chromaH_ < r.y1; ++cy) {
        const uint8_t* uRow = f->data[1] + static_cast<ptrdiff_t>(cy) * f->linesize[1];
        const uint8_t* vRow = f->data[2] + static_cast<ptrdiff_t>(cy) * f->linesize[2];
        for (int cx = cx0; cx < cx1; ++cx) {
            const size_t i = static_cast<size_t>(cx - cx0);
            rTerm_[i] = rvTerm_[vRow[cx]];
            gTerm_[i] = guTerm_[uRow[cx]] + gvTerm_[vRow[cx]];
            bTerm_[i] = buTerm_[uRow[cx]];
        }
        const int y1 = std::min(r.y1, (cy + 1) << chromaH_);
        for (int y = std::max(r.y0, cy << chromaH_); y < y1; ++y) {
            const uint8_t* yRow = f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0];
            const size_t at = static_cast<size_t>(y - bandTop_) * rgbStride_ + static_cast<size_t>(r.x0) * 3;
            uint8_t* out = rgb_.data() + at;
            switch (chromaW_) {
            case 0: rgbRow<0>(yRow, r.x0, r.x1, cx0, yTerm_, rTerm_.data(), gTerm_.data(), bTerm_.data(), out); break;
            case 1: rgbRow<1>(yRow, r.x0, r.x1, cx0, yTerm_, rTerm_.data(), gTerm_.data(), bTerm_.data(), out); break;
            default: rgbRow<2>(yRow, r.x0, r.x1, cx0, yTerm_, rTerm_.data(), gTerm_.data(), bTerm_.data(), out); break;
            }
            std::memcpy(before_.data() + at, rgb_.data() + at, static_cast<size_t>(r.x1 - r.x0) * 3);
        }
    }
}

void FramePainter::putBack(AVFrame* f, const Rect& r) {
    const Matrix& m = fullRange_ ? kFull : kLimited;
    const int sx = 1 << chromaW_;
    const int cx0 = r.x0 >> chromaW_, cx1 = (r.x1 + sx - 1) >> chromaW_;
    for (int cy = r.y0 >> chromaH_; cy << chromaH_ < r.y1; ++cy) {
        const int y0 = std::max(r.y0, cy << chromaH_), y1 = std::min(r.y1, (cy + 1) << chromaH_);
        std::fill(touched_.begin(), touched_.begin() + (cx1 - cx0), uint8_t{0});
        bool any = false;
        // Luma of the changed pixels; runs of eight unchanged pixels are passed over at once.
        for (int y = y0; y < y1; ++y) {
            const size_t at = static_cast<size_t>(y - bandTop_) * rgbStride_;
            const uint8_t* now = rgb_.data() + at;
            const uint8_t* was = before_.data() + at;
            uint8_t* yRow = f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0];
            for (int x = r.x0; x < r.x1;) {
                if (x + 8 <= r.x1 && std::memcmp(now + x * 3, was + x * 3, 24) == 0) {
                    x += 8;
                    continue;
                }
                const uint8_t* p = now + x * 3;
                if (p[0] != was[x * 3] || p[1] != was[x * 3 + 1] || p[2] != was[x * 3 + 2]) {
                    yRow[x] = clip8(((m.yr * p[0] + m.yg * p[1] + m.yb * p[2] + kHalf) >> 16) + m.yOffset);
                    touched_[static_cast<size_t>((x >> chromaW_) - cx0)] = 1;
                    any = true;
                }
                ++x;
            }
        }
        if (!any) continue;
        // Chroma of each sample whose area holds a changed pixel: from the mean of the area's colours.
        uint8_t* uRow = f->data[1] + static_cast<ptrdiff_t>(cy) * f->linesize[1];
        uint8_t* vRow = f->data[2] + static_cast<ptrdiff_t>(cy) * f->linesize[2];
        for (int cx = cx0; cx < cx1; ++cx) {
            if (!touched_[static_cast<size_t>(cx - cx0)]) continue;
            const int x0 = std::max(r.x0, cx << chromaW_), x1 = std::min(r.x1, (cx + 1) << chromaW_);
            int sr = 0, sg = 0, sb = 0;
            for (int y = y0; y < y1; ++y) {
                const uint8_t* p =
                    rgb_.data() + static_cast<size_t>(y - bandTop_) * rgbStride_ + static_cast<size_t>(x0) * 3;
                for (int x = x0; x < x1; ++x, p += 3) sr += p[0], sg += p[1], sb += p[2];
            }
            // Sums of up to 16 samples: divided after the matrix so the rounding is done once (by a
            // shift for the usual whole areas of 1, 2 or 4 pixels).
            const int n = (y1 - y0) * (x1 - x0);
            const int shift = n == 4 ? 18 : n == 2 ? 17 : n == 1 ? 16 : 0;
            const int64_t d = static_cast<int64_t>(n) << 16;
            auto mean = [shift, d](int64_t a) {
                const int64_t rounded = a + (d >> 1);  // rounded down after the division, as the shift does
                if (shift) return static_cast<int>(rounded >> shift);
                return static_cast<int>(rounded >= 0 ? rounded / d : -((d - 1 - rounded) / d));
            };
            uRow[cx] = clip8(128 + mean(static_cast<int64_t>(m.ur) * sr + static_cast<int64_t>(m.ug) * sg +
                                        static_cast<int64_t>(m.ub) * sb));
            vRow[cx] = clip8(128 + mean(static_cast<int64_t>(m.vr) * sr + static_cast<int64_t>(m.vg) * sg +
                                        static_cast<int64_t>(m.vb) * sb));
        }
    }
}

bool FramePainter::paint(const AVFrame* in, AVFrame* out, overlay::PictureDrawer& drawer,
                         const overlay::BurnFrameInfo& info) {
    if (out != in && av_frame_copy(out, in) < 0) return false;
    if (in->width != width_ || in->height != height_ || in->format != format_) {
        if (!setUp(in, drawer)) return false;
    }
    fullRange_ = jpegFormat_ || in->color_range == AVCOL_RANGE_JPEG;
    // The rectangles to work on: the ink boxes widened to whole chroma samples, within the band.
    rects_.clear();
    const int bandEnd = bandTop_ + bandRows_;
    const int sx = 1 << chromaW_, sy = 1 << chromaH_;
    if (drawer.inkBoxes(info, boxes_)) {
        for (const overlay::PictureDrawer::Box& b : boxes_) {
            Rect r{std::max(0, b.x0) / sx * sx, std::max(bandTop_, b.y0) / sy * sy,
                   std::min(width_, (b.x1 + sx - 1) / sx * sx), std::min(bandEnd, (b.y1 + sy - 1) / sy * sy)};
            r.y0 = std::max(r.y0, bandTop_);
            if (r.x0 < r.x1 && r.y0 < r.y1) rects_.push_back(r);
        }
        if (rects_.empty()) return true;
    } else {
        rects_.push_back(Rect{0, bandTop_, width_, bandEnd});
    }
    for (const Rect& r : rects_) toRgb(out, r);
    core::RgbPicture view{rgb_.data(), width_, height_, rgbStride_, bandTop_, bandRows_};
    drawer.draw(view, info);
    for (const Rect& r : rects_) putBack(out, r);
    return true;
}

}  // namespace zorv::tools
