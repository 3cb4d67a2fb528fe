// HDV camcorder metadata: the auxiliary stream (PID 0x0811 of 1080-line HDV) carries, for each
// picture, one PES packet whose payload is a run of items:
//   ID below 0x40: a short item of 5 bytes (ID and 4 data bytes);
//   ID 0x40-0x7F: a long item of 2 + byte 1 bytes (ID, length, data);
//   ID above 0x7F: the end of the run.
// Short items 0x01, 0x05, 0x06 hold the DV binary group, recording date and recording time packs;
// item 0x44 holds the picture type, the picture's time stamp, the timecode and date/time; items
// 0x48-0x4B hold lists of DV packs (0x48 the main set, 0x49-0x4B three further camera sets).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/metadata_record.h"

namespace zorv::media {

// 1080-line HD cameras count shutter codes in units of 1/28125 s.
inline constexpr double kHdShutterLinePeriod = 1.0 / 28125.0;

using PackSlot = std::array<uint8_t, 5>;

// One picture's metadata as read from its aux data. Created with every byte 0xFF; a slot whose ID
// byte is 0xFF is empty, and a slot is only written while empty (the first occurrence wins).
struct HdvMetadataRecord {
    static constexpr uint8_t kMainIds[6] = {0x14, 0x62, 0x63, 0x70, 0x71, 0x7F};
    static constexpr uint8_t kCameraIds[3] = {0x70, 0x71, 0x7F};

    int64_t startTime = -1;                        // 100-ns units: the cache key
    int64_t timecode = -1;                         // frame count of timecodeStyle; -1 (all ones) when none
    uint64_t pictureTimeStamp = ~uint64_t{0};      // item 0x44 bytes 10-13 (upper half 0)
    int32_t timecodeStyle = -1;                    // 2, 3 or 4 once parsed
    uint8_t pictureCode = 0xFF;                    // 1 I, 2 B, 3 P, 5 E
    uint8_t shortData = 0xFF;                      // 1 when the pack data was shorter than 100 bytes
    std::array<PackSlot, 6> main;                  // packs 0x14, 0x62, 0x63, 0x70, 0x71, 0x7F
    std::array<std::array<PackSlot, 3>, 3> extra;  // 0x70, 0x71, 0x7F of items 0x49, 0x4A, 0x4B

    HdvMetadataRecord() {
        for (auto& s : main) s.fill(0xFF);
        for (auto& set : extra)
            for (auto& s : set) s.fill(0xFF);
    }

    // The main slot of a pack ID (nullptr for IDs without one).
    const PackSlot* mainSlot(uint8_t id) const;
    PackSlot* mainSlot(uint8_t id);
    // The main slots as a 256-entry pack table, for the DV pack decoding and text forms.
    core::MetadataRecord toPackTable() const;
};

// The fields of item 0x44 that the reader and the record use.
struct HdvPictureItem {
    bool present = false;
    uint8_t pictureCode = 0xFF;
    int64_t timeStamp = -1;  // 33-bit (bytes 10-13 little-endian, byte 14 bit 0 as bit 32)
    int style = 2;           // timecode style: 2, 3 or 4
    bool hasTimecode = false;
    int64_t timecode = -1;  // frame count of style
    bool hasDate = false;
    bool hasTime = false;
    uint8_t date[4] = {};      // DV recording date pack PC1-PC4
    uint8_t time[4] = {};      // DV recording time pack PC1-PC4
    int timeStampOffset = -1;  // offset of byte 10 in the item run (for rewriting), -1 when short
};

// Reads item 0x44 from the item starting at p (ID byte) with len bytes in the item.
HdvPictureItem readPictureItem(const uint8_t* p, size_t len);

// Parses an item run into rec (first occurrence wins); sets the picture fields and the timecode style
// (2 when there is no item 0x44) and the short data flag. Returns the picture item it found.
HdvPictureItem parseAuxItems(const uint8_t* data, size_t n, HdvMetadataRecord& rec);

// Finds item 0x44 in an item run; result.present is false when it is missing.
HdvPictureItem findPictureItem(const uint8_t* data, size_t n);

// The timecode digits of item 0x44 bytes 31-34 (frames, seconds, minutes, hours in BCD) as a frame
// count of style.
int64_t hdvTimecodeFrames(const uint8_t tc[4], int style);

}  // namespace zorv::media
