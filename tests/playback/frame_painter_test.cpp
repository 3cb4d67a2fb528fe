// Drawing on decoded YUV frames for HDV/AVCHD burn-in: the text lands in the band, and every pixel
// away from it keeps the decoder's value exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "playback/overlay_drawer.h"
#include "tools/burn_in_frame_painter.h"

namespace zorv::playback {
namespace {

media::codec::FramePtr noiseFrame(int w, int h, unsigned seed) {
    media::codec::FramePtr f = media::codec::makePicture(w, h, AV_PIX_FMT_YUV420P);
    std::mt19937 rng(seed);
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? h / 2 : h); ++y)
            for (int x = 0; x < (p ? w / 2 : w); ++x) f->data[p][y * f->linesize[p] + x] = static_cast<uint8_t>(16 + rng() % 200);
    return f;
}

TEST(FramePainter, DrawsInTheBandAndLeavesEveryOtherPixelExactly) {
    OverlaySettings settings;
    settings.positioning = 2;
    auto drawer = overlayDrawerFactory(settings, LayerFamily::Avchd)();
    ASSERT_TRUE(drawer->prepare(1920, 1080, false, 16, 9));
    int top = 0, rows = 0;
    drawer->band(top, rows);
    ASSERT_GT(rows, 0);
    ASSERT_LT(rows, 1080 / 3);

    core::MetadataRecord rec;
    rec.set(0x13, 0x04, 0x03, 0x02, 0x01);
    rec.set(0x62, 0xFF, 0x15, 0x06, 0x11);
    rec.set(0x63, 0xFF, 0x00, 0x30, 0x10);
    tools::BurnFrameInfo info;
    info.record = &rec;
    tools::FramePainter painter;
    for (unsigned seed : {1u, 2u}) {  // the second frame reuses the buffers
        media::codec::FramePtr in = noiseFrame(1920, 1080, seed);
        const AVFrame* out = painter.paint(in.get(), *drawer, info);
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(out->width, 1920);
        int changedBlocks = 0;
        for (int by = 0; by < 1080; by += 8)
            for (int bx = 0; bx < 1920; bx += 16) {
                bool same = true;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 16; ++x)
                        same &= out->data[0][y * out->linesize[0] + x] == in->data[0][y * in->linesize[0] + x];
                if (same) continue;
                ++changedBlocks;
                EXPECT_GE(by + 8, top) << "block above the band at row " << by;
                EXPECT_LE(by, top + rows) << "block below the band at row " << by;
            }
        EXPECT_GT(changedBlocks, 50);
        // Chroma outside the band is the decoder's.
        for (int y = 0; y < top / 2 - 1; ++y)
            ASSERT_EQ(0, std::memcmp(out->data[1] + y * out->linesize[1], in->data[1] + y * in->linesize[1], 960));
    }
}

}  // namespace
}  // namespace zorv::playback
