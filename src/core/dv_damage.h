// What one DV frame says about its own integrity. A deck that could not read part of the tape marks
// each video DIF block it had to patch in the status nibble (STA, upper four bits of byte 3): 0 as
// recorded; 0x2/0xA concealed with the same area of the previous frame, 0x4/0xC with the next frame,
// 0x6/0xE in an unspecified way; 0x7/0xF an error it could not conceal. Audio samples it could not
// read are written as the error code (0x8000 in 16-bit audio, 0x800 in 12-bit). Blank packs, blocks
// out of their places and timecodes that repeat or run backwards are the further signs of a bad read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/decoded_values.h"

namespace zorv::core {

inline constexpr int kMaxAudioChannels = 4;

// How bad a frame is, least to worst; the damage strip and the reports colour by it.
enum class DamageSeverity : uint8_t {
    kNone = 0,
    kSigns = 1,        // blank packs, misplaced blocks or an out-of-order timecode only
    kAudio = 2,        // audio error samples (and perhaps signs)
    kConcealed = 3,    // video blocks concealed by the deck
    kUncorrected = 4,  // video blocks with errors nobody concealed
};

// Whether an STA value means the block was concealed, was left in error, or is as recorded.
constexpr bool staConcealed(int sta) {
    return sta == 0x2 || sta == 0x4 || sta == 0x6 || sta == 0xA || sta == 0xC || sta == 0xE;
}
constexpr bool staUncorrected(int sta) { return sta == 0x7 || sta == 0xF; }

struct FrameDamage {
    std::array<uint16_t, 16> sta{};                         // video blocks by status value
    uint16_t videoBlocks = 0;                               // video blocks looked at (1350 or 1620 per frame)
    uint16_t misplacedBlocks = 0;                           // DIF blocks whose ID is not that of their place
    std::array<uint16_t, kMaxAudioChannels> audioErrors{};  // error samples per audio channel
    uint8_t audioChannels = 0;                              // 2, 4, or 0 when the frame says nothing of its audio
    bool packsMissing = false;                              // no subcode and no VAUX pack at all
    bool timecodeRepeated = false;                          // the same timecode as the frame before
    bool timecodeBackwards = false;                         // a timecode before the frame before's

    void clear() { *this = FrameDamage{}; }
    int concealedBlocks() const;
    int uncorrectedBlocks() const;
    int otherBlocks() const;  // statuses that are neither 0 nor one of the meanings above
    int damagedBlocks() const { return videoBlocks - sta[0]; }
    // Concealed blocks over all video blocks, 0..1.
    double concealedShare() const;
    int audioErrorTotal() const;
    DamageSeverity severity() const;
    bool damaged() const { return severity() != DamageSeverity::kNone; }
    // Same counts and signs (for grouping runs of frames damaged alike).
    bool sameAs(const FrameDamage& o) const;
};

// The section a DIF block belongs to by its place in the sequence (and the type its ID must carry).
enum class DifSection : uint8_t { kHeader = 0, kSubcode = 1, kVaux = 2, kAudio = 3, kVideo = 4 };
DifSection sectionOf(size_t blockInSequence);
// Whether the block's ID (section type, sequence number, block number) is that of its place.
// sequencesPerChannel is the sequence count of a frame, halved for the doubled (two-channel) sizes.
bool blockInPlace(const uint8_t* block, int sequence, size_t blockInSequence, int sequencesPerChannel);
inline int sequencesPerChannel(int sequences) { return sequences > 12 ? sequences / 2 : sequences; }

// Fills the video part of d from one frame: the STA of every video block, the blocks whose ID (section
// type, sequence number, block number) does not belong where they lie, and whether the frame carries
// no subcode or VAUX pack at all. The audio counts and timecode flags are left as they were.
// frameSize must be the number of readable bytes at frame.
void readVideoDamage(FrameDamage& d, const uint8_t* frame, size_t frameSize);

// Sets d's timecode flags from this frame's decoded timecode against the previous frame's (both must
// be present). A timecode before the previous one counts as backwards unless it is the wrap at
// midnight (a jump back of more than twelve hours).
void checkTimecodeOrder(FrameDamage& d, const DecodedValues& cur, const DecodedValues& prev);

}  // namespace zorv::core
