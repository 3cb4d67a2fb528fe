// Geometry of a consumer DV frame (25 Mbit/s): DIF blocks, sequences and where the packs lie.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv::core::dv {

inline constexpr size_t kDifBlockSize = 80;
inline constexpr size_t kSequenceSize = 12000;         // 150 DIF blocks
inline constexpr size_t kBlocksPerSequence = 150;
inline constexpr size_t kFrameSize525 = 120000;        // 525/60: 10 sequences
inline constexpr size_t kFrameSize625 = 144000;        // 625/50: 12 sequences
inline constexpr size_t kMaxFrameSize = 288000;        // doubled 625 frame
inline constexpr int kSubcodePacksPerSequence = 12;
inline constexpr int kVauxPacksPerSequence = 45;
inline constexpr int kAauxPacksPerSequence = 9;

// Byte offset within a sequence of subcode pack j (0..11): blocks 1 and 2, sync blocks 0..5.
constexpr size_t subcodePackOffset(int j) {
    return (j < 6 ? 80 : 160) + 6 + 8 * static_cast<size_t>(j % 6);
}
// Byte offset within a sequence of VAUX pack k (0..44): blocks 3..5, 15 packs each from byte 3.
constexpr size_t vauxPackOffset(int k) {
    return 240 + 80 * static_cast<size_t>(k / 15) + 3 + 5 * static_cast<size_t>(k % 15);
}
// Block number within a sequence of audio block a (0..8): 6, 22, ..., 134.
constexpr size_t audioBlockIndex(int a) { return 6 + 16 * static_cast<size_t>(a); }
// Byte offset within a sequence of the AAUX pack of audio block a (0..8).
constexpr size_t aauxPackOffset(int a) { return audioBlockIndex(a) * kDifBlockSize + 3; }

constexpr int sequenceCount(size_t frameSize) { return static_cast<int>(frameSize / kSequenceSize); }
constexpr bool isPal(size_t frameSize) { return frameSize == kFrameSize625 || frameSize == 2 * kFrameSize625; }

static_assert(subcodePackOffset(0) == 86 && subcodePackOffset(5) == 126 && subcodePackOffset(6) == 166);
static_assert(vauxPackOffset(0) == 243 && vauxPackOffset(15) == 323 && vauxPackOffset(30) == 403);
static_assert(aauxPackOffset(0) == 483 && aauxPackOffset(1) == 1763 && aauxPackOffset(2) == 3043);
static_assert(aauxPackOffset(3) == 483 + 3840);

}  // namespace zorv::core::dv
