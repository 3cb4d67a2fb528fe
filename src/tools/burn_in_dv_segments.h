// Where the pictures of a 25 Mbit/s DV frame live in its DIF blocks. The compressed picture is cut into
// video segments of five macroblocks each; a segment is compressed on its own into five 80-byte DIF
// blocks, and its five macroblocks come from five different super blocks spread over the picture (the
// shuffle). Knowing which macroblocks a segment holds lets burn-in decode and re-encode only the
// segments that the text touches and keep every other segment's bytes as they were.
//
// 625/50 (720 x 576, 4:2:0): 16 x 16 macroblocks, super blocks of 9 x 3 macroblocks in 12 rows of 5.
// 525/60 (720 x 480, 4:1:1): 32 x 8 macroblocks (16 x 16 in the rightmost column), super blocks of 27
// macroblocks in 10 rows of 5. In both, the segment that holds macroblock k of the super blocks of
// DIF sequence i takes column 0 from super block row i, column 1 from row i + 6, column 2 from i + 2,
// column 3 from i + 8 and column 4 from i + 4 (modulo the number of rows).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/dv_layout.h"

namespace zorv::tools::dvseg {

inline constexpr int kSegmentsPerSequence = 27;
inline constexpr int kMacroblocksPerSegment = 5;

// A macroblock's luma rectangle in pixels.
struct Rect {
    int16_t x = 0, y = 0, w = 0, h = 0;
    bool overlapsRows(int top, int rows) const { return y < top + rows && top < y + h; }
};

using SegmentRects = std::array<Rect, kMacroblocksPerSegment>;

// Video segments of a frame: 324 (625/50) or 270 (525/60).
constexpr int segmentCount(bool pal) { return core::dv::systemFor(pal).sequences * kSegmentsPerSequence; }

// The macroblocks of video segment `segment` (sequence * 27 + segment in the sequence).
SegmentRects segmentMacroblocks(bool pal, int segment);

// Byte offset in the frame of the segment's first DIF block; its five blocks follow one another.
size_t segmentOffset(int segment);

}  // namespace zorv::tools::dvseg
