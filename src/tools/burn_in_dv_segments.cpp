#include "tools/burn_in_dv_segments.h"

#include "core/dv_layout.h"

namespace zorv::tools::dvseg {

namespace {

// For the segment's macroblock m (its order in the segment): the super block column it comes from and
// how many super block rows below the segment's own sequence that super block lies.
const int kColumn[kMacroblocksPerSegment] = {2, 1, 3, 0, 4};
const int kRowOffset[kMacroblocksPerSegment] = {2, 6, 8, 0, 4};

// Macroblocks run through a super block column by column, down the even columns and up the odd ones.
int serpent(int k, int perColumn) {
    const int column = k / perColumn, r = k % perColumn;
    return column % 2 == 0 ? r : perColumn - 1 - r;
}

}  // namespace

SegmentRects segmentMacroblocks(bool pal, int segment) {
    SegmentRects out{};
    const int rowsOfSuperBlocks = core::dv::systemFor(pal).sequences;
    const int sequence = segment / kSegmentsPerSequence, slot = segment % kSegmentsPerSequence;
    for (int m = 0; m < kMacroblocksPerSegment; ++m) {
        const int sbRow = (sequence + kRowOffset[m]) % rowsOfSuperBlocks;
        const int column = kColumn[m];
        Rect& r = out[static_cast<size_t>(m)];
        if (pal) {
            // 9 macroblock columns of 3 per super block.
            const int x = column * 9 + slot / 3, y = sbRow * 3 + serpent(slot, 3);
            r = Rect{static_cast<int16_t>(x * 16), static_cast<int16_t>(y * 16), 16, 16};
            continue;
        }
        // 4.5 macroblock columns of 6 per super block: columns 1 and 3 start half-way down a column
        // that they share with the super block to their left.
        const int k = slot + ((column == 1 || column == 3) ? 3 : 0);
        const int firstColumn = column * 9 / 2;
        const int x = firstColumn + k / 6;
        const int y = serpent(k, 6);
        if (x < 22) {
            r = Rect{static_cast<int16_t>(x * 32), static_cast<int16_t>(sbRow * 48 + y * 8), 32, 8};
        } else {
            // The rightmost 16 pixels: three 16 x 16 macroblocks per super block.
            r = Rect{704, static_cast<int16_t>(sbRow * 48 + y * 16), 16, 16};
        }
    }
    return out;
}

size_t segmentOffset(int segment) {
    const int sequence = segment / kSegmentsPerSequence, slot = segment % kSegmentsPerSequence;
    // Header, two subcode and three VAUX blocks, then groups of one audio and fifteen video blocks.
    const size_t video = static_cast<size_t>(slot) * kMacroblocksPerSegment;
    const size_t block = 6 + video + video / 15 + 1;
    return static_cast<size_t>(sequence) * core::dv::kSequenceSize + block * core::dv::kDifBlockSize;
}

}  // namespace zorv::tools::dvseg
