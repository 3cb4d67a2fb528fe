// Drawing on decoded YUV frames for HDV/AVCHD burn-in: the text lands in the band in the right
// levels, and every pixel the text does not touch keeps the decoder's value exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "overlay/overlay_drawer.h"
#include "tools/burn_in_frame_painter.h"

namespace zorv::overlay {
namespace {

using media::codec::FramePtr;

FramePtr noiseFrame(int w, int h, unsigned seed, AVPixelFormat format = AV_PIX_FMT_YUV420P) {
    FramePtr f = media::codec::makePicture(w, h, format);
    std::mt19937 rng(seed);
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? h / 2 : h); ++y)
            for (int x = 0; x < (p ? w / 2 : w); ++x)
                f->data[p][y * f->linesize[p] + x] = static_cast<uint8_t>(16 + rng() % 200);
    return f;
}

struct Fixture {
    std::unique_ptr<overlay::PictureDrawer> drawer;
    core::MetadataRecord rec;
    overlay::BurnFrameInfo info;
    int top = 0, rows = 0;

    Fixture() {
        OverlaySettings settings;
        settings.positioning = core::TextPositioning::kFixed90;
        settings.textBrightness = 100;   // grey 235
        settings.outlineBrightness = 0;  // black
        drawer = overlayDrawerFactory(settings, core::MediaFamily::kAvchd)();
        EXPECT_TRUE(drawer->prepare(1920, 1080, false, 16, 9));
        drawer->band(top, rows);
        rec.set(0x13, 0x04, 0x03, 0x02, 0x01);
        rec.set(0x62, 0xFF, 0x15, 0x06, 0x11);
        rec.set(0x63, 0xFF, 0x00, 0x30, 0x10);
        info.record = &rec;
    }
};

int countLuma(const AVFrame* f, int top, int rows, uint8_t value) {
    int n = 0;
    for (int y = top; y < top + rows; ++y)
        for (int x = 0; x < f->width; ++x) n += f->data[0][y * f->linesize[0] + x] == value;
    return n;
}

TEST(FramePainter, DrawsInTheBandAndLeavesEveryOtherPixelExactly) {
    Fixture fx;
    ASSERT_GT(fx.rows, 0);
    ASSERT_LT(fx.rows, 1080 / 3);
    tools::FramePainter painter;
    FramePtr out = media::codec::makePicture(1920, 1080, AV_PIX_FMT_YUV420P);
    for (unsigned seed : {1u, 2u}) {  // the second frame reuses the buffers
        FramePtr in = noiseFrame(1920, 1080, seed);
        ASSERT_TRUE(painter.paint(in.get(), out.get(), *fx.drawer, fx.info));
        int changed = 0;
        for (int y = 0; y < 1080; ++y)
            for (int x = 0; x < 1920; ++x) {
                if (out->data[0][y * out->linesize[0] + x] == in->data[0][y * in->linesize[0] + x]) continue;
                ++changed;
                ASSERT_TRUE(y >= fx.top && y < fx.top + fx.rows) << "row " << y << " is outside the band";
            }
        EXPECT_GT(changed, 2000);
        for (int y = 0; y < 540; ++y) {
            if (y >= fx.top / 2 && y < (fx.top + fx.rows + 1) / 2) continue;
            for (int p = 1; p < 3; ++p)
                ASSERT_EQ(0, std::memcmp(out->data[p] + y * out->linesize[p], in->data[p] + y * in->linesize[p], 960))
                    << "chroma row " << y;
        }
        // Limited range: grey 235 is Y 218 with neutral chroma, black is Y 16.
        EXPECT_GT(countLuma(out.get(), fx.top, fx.rows, 218), 1000);
        EXPECT_GT(countLuma(out.get(), fx.top, fx.rows, 16), 1000);
        int solid = 0;
        for (int cy = fx.top / 2; cy < (fx.top + fx.rows) / 2; ++cy)
            for (int cx = 0; cx < 960; ++cx) {
                bool all = true;
                for (int d = 0; d < 4; ++d) all &= out->data[0][(2 * cy + d / 2) * out->linesize[0] + 2 * cx + d % 2] == 218;
                if (!all) continue;
                ++solid;
                ASSERT_EQ(out->data[1][cy * out->linesize[1] + cx], 128);
                ASSERT_EQ(out->data[2][cy * out->linesize[2] + cx], 128);
            }
        EXPECT_GT(solid, 50);

        // Drawing in place gives the same picture as drawing into a copy.
        ASSERT_TRUE(painter.paint(in.get(), in.get(), *fx.drawer, fx.info));
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < (p ? 540 : 1080); ++y)
                ASSERT_EQ(
                    0, std::memcmp(out->data[p] + y * out->linesize[p], in->data[p] + y * in->linesize[p], p ? 960 : 1920));
    }
}

TEST(FramePainter, FullRangeFramesGetFullRangeLevelsAndOtherFormatsAreRefused) {
    Fixture fx;
    tools::FramePainter painter;
    FramePtr in = noiseFrame(1920, 1080, 3, AV_PIX_FMT_YUVJ420P);
    ASSERT_TRUE(painter.paint(in.get(), in.get(), *fx.drawer, fx.info));
    EXPECT_GT(countLuma(in.get(), fx.top, fx.rows, 235), 1000);
    EXPECT_GT(countLuma(in.get(), fx.top, fx.rows, 0), 1000);

    // The same pictures come out whatever the painter drew before (its tables follow the range).
    tools::FramePainter used;
    FramePtr limited = noiseFrame(1920, 1080, 4), full = noiseFrame(1920, 1080, 5);
    full->color_range = AVCOL_RANGE_JPEG;
    for (AVFrame* f : {limited.get(), full.get()}) {
        FramePtr a = media::codec::makePicture(1920, 1080, AV_PIX_FMT_YUV420P);
        FramePtr b = media::codec::makePicture(1920, 1080, AV_PIX_FMT_YUV420P);
        tools::FramePainter first;
        ASSERT_TRUE(first.paint(f, a.get(), *fx.drawer, fx.info));
        ASSERT_TRUE(used.paint(f == full.get() ? limited.get() : full.get(), b.get(), *fx.drawer, fx.info));
        ASSERT_TRUE(used.paint(f, b.get(), *fx.drawer, fx.info));
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < (p ? 540 : 1080); ++y)
                ASSERT_EQ(0, std::memcmp(a->data[p] + y * a->linesize[p], b->data[p] + y * b->linesize[p], p ? 960 : 1920))
                    << "plane " << p << " row " << y;
    }

    // Semi-planar and RGB pictures are not drawn on.
    FramePtr nv12 = media::codec::makePicture(1920, 1080, AV_PIX_FMT_NV12);
    EXPECT_FALSE(painter.paint(nv12.get(), nv12.get(), *fx.drawer, fx.info));
    FramePtr gbr = media::codec::makePicture(1920, 1080, AV_PIX_FMT_GBRP);
    EXPECT_FALSE(painter.paint(gbr.get(), gbr.get(), *fx.drawer, fx.info));
}

}  // namespace
}  // namespace zorv::overlay
