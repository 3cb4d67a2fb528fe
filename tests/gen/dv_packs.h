// Writes a frame's metadata into the subcode, VAUX and AAUX pack slots of a DV frame the way a
// camcorder lays them out, repeated in every DIF sequence (or only in the second half when asked).
#pragma once

#include <cstddef>
#include <cstdint>

#include "gen/clip_spec.h"

namespace zorv::gen {

// Pack builders (BCD digits; unused high bits set as camcorders set them).
Pack timecodePack(const Timecode& tc, bool dropFrame);  // 0x13
Pack userBitsPack(uint32_t bits);                       // 0x14
Pack recDatePack(const DateTime& d);                    // 0x62
Pack recTimePack(const DateTime& d);                    // 0x63
Pack videoControlPack(const FrameMeta& m);              // 0x61 with widescreen and start bits

// Packs per slot of one DIF sequence.
inline constexpr uint8_t kSubcodeLayout[12] = {0x13, 0x14, 0x62, 0x63, 0x13, 0x14, 0x13, 0x14, 0x62, 0x63, 0x13, 0x14};
inline constexpr uint8_t kVauxBlockLayout[15] = {0x60, 0x61, 0x62, 0x63, 0x70, 0x71, 0x7F, 0xFF,
                                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr uint8_t kAauxLayout[9] = {0x50, 0x51, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Overwrites every subcode, VAUX and AAUX pack slot of the frame and silences its audio blocks.
void writeFramePacks(const FrameMeta& m, uint8_t* frame, size_t frameSize);

}  // namespace zorv::gen
