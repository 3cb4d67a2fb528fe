// The DV segment shuffle against libavcodec's DV encoder: a change to one macroblock must change the
// DIF blocks of exactly the segment the table names, and the segments must tile the picture.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "media/codec/dv_encoder.h"
#include "tools/burn_in_dv_segments.h"

namespace zorv::tools::dvseg {
namespace {

void fillPattern(AVFrame* f, int seed) {
    for (int p = 0; p < 3; ++p) {
        const int h = p == 0 ? f->height : (f->format == AV_PIX_FMT_YUV420P ? f->height / 2 : f->height);
        const int w = p == 0 ? f->width : (f->format == AV_PIX_FMT_YUV420P ? f->width / 2 : f->width / 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                f->data[p][y * f->linesize[p] + x] =
                    static_cast<uint8_t>(p == 0 ? 40 + ((x * 7 + y * 3 + seed) % 160) : 128 + (x + y) % 9);
    }
}

// Paints a macroblock's luma with a bright checker so that its coded form is bound to change.
void paintLuma(AVFrame* f, const Rect& r) {
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) f->data[0][y * f->linesize[0] + x] = ((x + y) & 1) ? 235 : 16;
}

std::vector<int> changedSegments(bool pal, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<int> out;
    for (int s = 0; s < segmentCount(pal); ++s)
        if (std::memcmp(a.data() + segmentOffset(s), b.data() + segmentOffset(s), 5 * 80) != 0) out.push_back(s);
    return out;
}

class DvSegments : public ::testing::TestWithParam<bool> {};

TEST_P(DvSegments, MacroblocksTileThePictureOnce) {
    const bool pal = GetParam();
    const int w = 720, h = pal ? 576 : 480;
    std::vector<int> cover(static_cast<size_t>(w * h), 0);
    for (int s = 0; s < segmentCount(pal); ++s)
        for (const Rect& r : segmentMacroblocks(pal, s)) {
            ASSERT_GE(r.x, 0);
            ASSERT_GE(r.y, 0);
            ASSERT_LE(r.x + r.w, w);
            ASSERT_LE(r.y + r.h, h);
            for (int y = r.y; y < r.y + r.h; ++y)
                for (int x = r.x; x < r.x + r.w; ++x) ++cover[static_cast<size_t>(y * w + x)];
        }
    for (int v : cover) ASSERT_EQ(v, 1);
}

TEST_P(DvSegments, OneChangedMacroblockChangesOnlyItsSegment) {
    const bool pal = GetParam();
    media::codec::DvEncoder enc;
    ASSERT_TRUE(enc.open(pal).ok());
    media::codec::FramePtr pic = enc.makeInputPicture();
    fillPattern(pic.get(), 0);
    std::vector<uint8_t> base, changed;
    ASSERT_TRUE(enc.encode(pic.get(), base).ok());
    // Segments from every sequence and slot class, including the 525/60 half columns and the right edge.
    const int picks[] = {0, 1, 2, 3, 13, 26, 27, 40, 53, 100, 131, 160, 199, 215, 241, 268, 269};
    for (int seg : picks) {
        for (int m = 0; m < kMacroblocksPerSegment; m += 2) {
            const Rect r = segmentMacroblocks(pal, seg)[static_cast<size_t>(m)];
            fillPattern(pic.get(), 0);
            paintLuma(pic.get(), r);
            ASSERT_TRUE(enc.encode(pic.get(), changed).ok());
            EXPECT_EQ(changedSegments(pal, base, changed), std::vector<int>{seg})
                << "segment " << seg << " macroblock " << m;
        }
    }
    // Right-edge macroblocks of 525/60 and the last super block row of 625/50.
    const int edge = pal ? 323 : 26 + 27 * 9;
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        fillPattern(pic.get(), 0);
        paintLuma(pic.get(), segmentMacroblocks(pal, edge)[static_cast<size_t>(m)]);
        ASSERT_TRUE(enc.encode(pic.get(), changed).ok());
        EXPECT_EQ(changedSegments(pal, base, changed), std::vector<int>{edge});
    }
}

INSTANTIATE_TEST_SUITE_P(Systems, DvSegments, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? std::string("Pal") : std::string("Ntsc"); });

}  // namespace
}  // namespace zorv::tools::dvseg
