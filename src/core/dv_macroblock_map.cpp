#include "core/dv_macroblock_map.h"

namespace zorv::core::dv {

namespace {

// For the five blocks of a video segment: the superblock column, and the row offset from the sequence.
constexpr int kColumn[5] = {2, 1, 3, 0, 4};
constexpr int kRowOffset[5] = {2, 6, 8, 0, 4};
constexpr int kSuperblockWidth = 144;
constexpr int kSuperblockHeight = 48;

// 625/50: nine columns of three 16x16 macroblocks, down the even columns and up the odd ones.
PictureArea palMacroblock(int column, int k) {
    const int col = k / 3, r = k % 3;
    const int row = col % 2 == 0 ? r : 2 - r;
    return {column * kSuperblockWidth + 16 * col, 16 * row, 16, 16};
}

// 525/60: columns of six 32x8 macroblocks. Superblocks 0 and 2 start with four full columns and end
// with the top half of a fifth, which superblocks 1 and 3 finish (its lower half) before their own four
// columns; superblock 4 ends with three 16x16 macroblocks down the right edge.
PictureArea ntscMacroblock(int column, int k) {
    if (column % 2 == 1) {
        if (k < 3) return {column * kSuperblockWidth - 16, 8 * (3 + k), 32, 8};
        k -= 3;
        const int col = k / 6, r = k % 6;
        return {column * kSuperblockWidth + 16 + 32 * col, 8 * (col % 2 == 0 ? 5 - r : r), 32, 8};
    }
    if (k >= 24) {
        if (column == 4) return {column * kSuperblockWidth + 128, 16 * (k - 24), 16, 16};
        return {column * kSuperblockWidth + 128, 8 * (k - 24), 32, 8};
    }
    const int col = k / 6, r = k % 6;
    return {column * kSuperblockWidth + 32 * col, 8 * (col % 2 == 0 ? r : 5 - r), 32, 8};
}

}  // namespace

PictureArea videoBlockArea(bool pal, int sequence, int videoBlock) {
    const int sequences = systemFor(pal).sequences;
    if (videoBlock < 0 || videoBlock >= 135 || sequence < 0 || sequence >= sequences) return {};
    const int m = videoBlock % 5, k = videoBlock / 5;
    const int superRow = (sequence + kRowOffset[m]) % sequences;
    PictureArea a = pal ? palMacroblock(kColumn[m], k) : ntscMacroblock(kColumn[m], k);
    a.y += superRow * kSuperblockHeight;
    return a;
}

}  // namespace zorv::core::dv
