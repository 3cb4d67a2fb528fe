// The camcorder metadata of AVCHD pictures: an H.264 SEI message of type 5 (user data unregistered)
// whose payload carries, after the 16-byte identifier, the marker "MDPM", a tag count and 5-byte
// tags (tag ID, 4 data bytes; ID 0xFF is an empty tag). This file finds that payload in an SEI NAL
// unit and sorts the tags into the AVCHD metadata record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/metadata_record.h"

namespace zorv::media {

inline constexpr int kMdpmMaxTags = 30;
inline constexpr size_t kMdpmMaxPayload = 1 + kMdpmMaxTags * 5;  // count byte and 30 tags: 151
// SEI messages shorter than this are not examined.
inline constexpr size_t kSeiMinUnit = 16;
// The work buffer of the SEI search: 12 transport packets.
inline constexpr size_t kSeiWorkBytes = 2256;

// Finds the MDPM payload of one SEI NAL unit. unit may begin with its start code (00 00 01 06 or
// 00 00 00 01 06) or with the NAL header byte; it ends at the next start code or at n. The unit is
// copied into work without its emulation-prevention bytes (at most work.size() bytes of it) and
// payload is set to the bytes after "MDPM" inside work (it begins with the tag count and may be
// empty). False when the unit is too short, is not an SEI, has no type-5 message, or that message
// is not MDPM.
bool findMdpmPayload(const uint8_t* unit, size_t n, std::span<uint8_t> work, std::span<const uint8_t>& payload);

// The tag slots of the AVCHD metadata record, in slot order.
inline constexpr std::array<uint8_t, 24> kAvchdTagSlots = {
    0x13, 0x14, 0x18, 0x19, 0x70, 0x71, 0x73, 0x7F, 0xA1, 0xB0, 0xB1, 0xB2,
    0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC1, 0xC2, 0xC3, 0xC4,
};
// The slot of a tag ID, or -1 for a tag the record does not keep.
int avchdTagSlot(uint8_t tagId);

inline constexpr uint8_t kNoPictureType = 0xFF;

// One picture's metadata: its start time (the cache key), the primary picture type of its access
// unit delimiter (0 I, 1 P, 2 B; 0xFF without a delimiter) and 30 tag slots, each the tag ID and its
// 4 data bytes, 0xFF when absent.
struct AvchdMetadataRecord {
    int64_t startTime = 0;  // 100-ns units
    uint8_t pictureType = kNoPictureType;
    std::array<std::array<uint8_t, 5>, kMdpmMaxTags> tagSlots;

    AvchdMetadataRecord() { clearTags(); }
    void clearTags() {
        for (auto& s : tagSlots) s.fill(0xFF);
    }
    bool has(uint8_t tagId) const {
        const int s = avchdTagSlot(tagId);
        return s >= 0 && tagSlots[static_cast<size_t>(s)][0] == tagId;
    }
    // The record as the 256-entry table the text formatters read.
    void toMetadataRecord(core::MetadataRecord& rec) const;
};

// Sorts an MDPM payload (count byte, then tags) into rec's slots: at most min(count, 30) tags, never
// past the end of the payload; a later tag with the same ID overwrites the earlier one; unknown IDs
// are skipped. The slots are not cleared first.
void applyMdpmTags(std::span<const uint8_t> payload, AvchdMetadataRecord& rec);

}  // namespace zorv::media
