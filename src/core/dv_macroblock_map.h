// Where each video DIF block of a 25 Mbit/s DV frame lies in the picture. Every video block carries
// one compressed macroblock: 16x16 pixels in 625/50 (4:2:0), 32x8 in 525/60 (4:1:1, with 16x16 ones
// along the right edge). The picture is cut into superblocks of 27 macroblocks, five across and one
// row per DIF sequence; the macroblocks of a superblock run in a serpentine down and up its columns.
// Video segment k of sequence s (its five blocks 5k..5k+4) takes macroblock k of five superblocks:
// in superblock columns 2, 1, 3, 0, 4 and rows s+2, s+6, s+8, s, s+4 (modulo the sequence count), so
// a lost track spreads over the picture instead of blanking a band.
#pragma once

#include <cstddef>

#include "core/dv_layout.h"

namespace zorv::core::dv {

struct PictureArea {
    int x = 0, y = 0, width = 0, height = 0;
};

inline constexpr int kPictureWidth = kSystems[0].width;  // the same in both systems
constexpr int pictureHeight(bool pal) { return systemFor(pal).height; }

// The picture area of video block v (0..134) of DIF sequence s (0..11 for 625/50, 0..9 for 525/60).
PictureArea videoBlockArea(bool pal, int sequence, int videoBlock);

}  // namespace zorv::core::dv
