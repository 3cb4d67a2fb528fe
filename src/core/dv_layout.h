// Geometry of a consumer DV frame (25 Mbit/s) and the numbers of its two television systems: DIF blocks,
// sequences, where the packs lie, and per system the frame size, rate, picture and audio minimums.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorv::core::dv {

inline constexpr size_t kDifBlockSize = 80;
inline constexpr size_t kSequenceSize = 12000;  // 150 DIF blocks
inline constexpr size_t kBlocksPerSequence = 150;

// One DV television system: every number that differs between 525/60 and 625/50.
struct System {
    const char* name;          // "525/60" or "625/50"
    int sequences;             // DIF sequences in one channel of a frame
    size_t frameSize;          // bytes in one channel: sequences x 150 blocks x 80 bytes
    int width, height;         // picture in pixels
    bool chroma420;            // 4:2:0 sampling; 4:1:1 when false
    int rateNum, rateDen;      // frames per second as a fraction
    int nominalRate;           // frames per second the timecode counts
    int64_t frameDuration;     // one frame in units of 100 ns
    int frameMicros;           // one frame in microseconds, rounded
    int aspectNum, aspectDen;  // pixel aspect ratio of a 4:3 picture
    int minSamples[3];         // fewest audio samples per channel in a frame at 48, 44.1 and 32 kHz
    uint8_t aauxFieldFlag;     // the 50-field bit of the AAUX source pack's fourth byte
    uint8_t aauxNormalSpeed;   // the AAUX source control pack's speed code for normal play
};

inline constexpr System kSystems[2] = {
    {"525/60",
     10,
     10 * kSequenceSize,
     720,
     480,
     false,
     30000,
     1001,
     30,
     333667,
     33367,
     8,
     9,
     {1580, 1452, 1053},
     0x00,
     0x78},
    {"625/50", 12, 12 * kSequenceSize, 720, 576, true, 25, 1, 25, 400000, 40000, 16, 15, {1896, 1742, 1264}, 0x20, 0x64},
};

// The system by its flag: 625/50 when pal is set, else 525/60.
constexpr const System& systemFor(bool pal) { return kSystems[static_cast<int>(pal)]; }

inline constexpr size_t kFrameSize525 = kSystems[0].frameSize;
inline constexpr size_t kFrameSize625 = kSystems[1].frameSize;
inline constexpr size_t kMaxFrameSize = 2 * kFrameSize625;  // doubled 625 frame
inline constexpr int kSubcodePacksPerSequence = 12;
inline constexpr int kVauxPacksPerSequence = 45;
inline constexpr int kAauxPacksPerSequence = 9;
inline constexpr int kVideoBlocksPerSequence = 135;

// Byte offset within a sequence of subcode pack j (0..11): blocks 1 and 2, sync blocks 0..5.
constexpr size_t subcodePackOffset(int j) { return (j < 6 ? 80 : 160) + 6 + 8 * static_cast<size_t>(j % 6); }
// Byte offset within a sequence of VAUX pack k (0..44): blocks 3..5, 15 packs each from byte 3.
constexpr size_t vauxPackOffset(int k) {
    return 240 + 80 * static_cast<size_t>(k / 15) + 3 + 5 * static_cast<size_t>(k % 15);
}
// Block number within a sequence of audio block a (0..8): 6, 22, ..., 134.
constexpr size_t audioBlockIndex(int a) { return 6 + 16 * static_cast<size_t>(a); }
// Byte offset within a sequence of the AAUX pack of audio block a (0..8).
constexpr size_t aauxPackOffset(int a) { return audioBlockIndex(a) * kDifBlockSize + 3; }
// Block number within a sequence of video block v (0..134): the 15 blocks after each audio block.
constexpr size_t videoBlockIndex(int v) { return 7 + 16 * static_cast<size_t>(v / 15) + static_cast<size_t>(v % 15); }

constexpr int sequenceCount(size_t frameSize) { return static_cast<int>(frameSize / kSequenceSize); }
constexpr bool isPal(size_t frameSize) { return frameSize == kFrameSize625 || frameSize == 2 * kFrameSize625; }
// The system of a frame of this many bytes (one or two channels): 525/60 unless it is a 625/50 size.
constexpr const System& systemOfFrame(size_t frameSize) { return systemFor(isPal(frameSize)); }
// A frame size some DV system writes: one or two channels of 525/60 or 625/50.
constexpr bool isDvFrameSize(size_t size) {
    return size == kFrameSize525 || size == kFrameSize625 || size == 2 * kFrameSize525 || size == 2 * kFrameSize625;
}

// The ID bytes of a DIF block that begins a frame (or its second channel): the header block of
// sequence 0 (0x1F 0x07 0x00 as written; 0x1F 0x0F 0x00 for channel 1).
constexpr bool isFrameHeaderBlock(const uint8_t* block, int channel = 0) {
    return (block[0] >> 4) == 1 && (block[1] & 0xF8) == (channel ? 0x08 : 0x00) && block[2] == 0x00;
}
// Bytes of one channel of the frame whose header block this is, by its DSF flag (625/50 when set).
constexpr size_t channelSizeFromHeader(const uint8_t* block) { return (block[3] & 0x80) ? kFrameSize625 : kFrameSize525; }

// The table holds together: frame size from the sequences, durations and timecode rate from the rate.
constexpr bool consistent(const System& s) {
    return s.frameSize == static_cast<size_t>(s.sequences) * kBlocksPerSequence * kDifBlockSize &&
           s.frameDuration == (int64_t{10000000} * s.rateDen + s.rateNum / 2) / s.rateNum &&
           s.frameMicros == (1000000 * int64_t{s.rateDen} + s.rateNum / 2) / s.rateNum &&
           s.nominalRate == (s.rateNum + s.rateDen - 1) / s.rateDen;
}
static_assert(consistent(kSystems[0]) && consistent(kSystems[1]) && !kSystems[0].chroma420 && kSystems[1].chroma420);
static_assert(kFrameSize525 == 120000 && kFrameSize625 == 144000);
static_assert(subcodePackOffset(0) == 86 && subcodePackOffset(5) == 126 && subcodePackOffset(6) == 166);
static_assert(vauxPackOffset(0) == 243 && vauxPackOffset(15) == 323 && vauxPackOffset(30) == 403);
static_assert(aauxPackOffset(0) == 483 && aauxPackOffset(1) == 1763 && aauxPackOffset(2) == 3043);
static_assert(aauxPackOffset(3) == 483 + 3840);
static_assert(videoBlockIndex(0) == 7 && videoBlockIndex(14) == 21 && videoBlockIndex(15) == 23 &&
              videoBlockIndex(134) == 149);

}  // namespace zorv::core::dv
