// Reading the packs of one DV frame: the per-frame record fill, the line period used for shutter
// conversion, and two direct searches that look at the DIF bytes without filling a record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/metadata_record.h"

namespace zorv::core {

// Clears rec, then visits every DIF sequence in order (12 subcode packs, 45 VAUX packs, 9 AAUX packs)
// and copies each pack into the entry of its ID unless that entry is already taken: the first
// occurrence of an ID in the frame wins. Headers of 0xFF are never stored. A frame shorter than one
// DIF sequence leaves the record empty. frameSize must be the number of readable bytes at frame.
void fillRecord(MetadataRecord& rec, const uint8_t* frame, size_t frameSize);

// Seconds per video line: 64 us for 625/50 frames (144000 and 288000 bytes), else 63.492 us.
double linePeriod(size_t frameSize);

struct FoundTimecode {
    int hours = -1, minutes = -1, seconds = -1, frames = -1;
    bool dropFrame = false;
};

// The first usable subcode timecode pack (0x13 with an hours-units digit of at most 9) of the frame,
// for capture. The drop-frame flag is taken from the pack only for 60-field material, which is decided
// by the first VAUX source pack (0x60); without one, a frame of 10 or 20 sequences counts as 60-field.
// All four fields are -1 when no pack is found. The frame must hold sequences x 12000 bytes.
FoundTimecode findTimecode(const uint8_t* frame, int sequences);

// The audio and video source packs shown by the file properties. Each value holds the four payload
// bytes of a pack with PC1 in the low byte: PC1 | PC2 << 8 | PC3 << 16 | PC4 << 24. A pack that was
// not found reads 0xFFFFFFFF, except for 0x60 and 0x61, for which the last payload found by this
// object is repeated.
class SourcePackFinder {
public:
    static constexpr uint32_t kNotFound = 0xFFFFFFFFu;

    struct SourcePacks {
        uint32_t aaux50Ch1 = kNotFound;  // first AAUX 0x50 in the first half of the sequences
        uint32_t aaux51Ch1 = kNotFound;  // first AAUX 0x51 in the first half
        uint32_t aaux50Ch2 = kNotFound;  // first AAUX 0x50 in the second half
        uint32_t aaux51Ch2 = kNotFound;  // first AAUX 0x51 in the second half
        uint32_t vaux60 = kNotFound;     // first VAUX 0x60 of any sequence
        uint32_t vaux61 = kNotFound;     // first VAUX 0x61 of any sequence
    };

    SourcePacks find(const uint8_t* frame, int sequences);
    void reset() { last60_ = last61_ = kNotFound; }

private:
    uint32_t last60_ = kNotFound;
    uint32_t last61_ = kNotFound;
};

}  // namespace zorv::core
