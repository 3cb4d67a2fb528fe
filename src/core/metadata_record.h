// One frame's camcorder metadata: a table of 256 five-byte packs indexed by pack ID.
// Entry k holds the pack whose header is k; byte 0 is k when present and 0xFF when absent,
// bytes 1-4 are the payload PC1..PC4. HDV and AVCHD records use the same shape.
#pragma once

#include <array>
#include <cstdint>

namespace zorv::core {

inline constexpr uint8_t kNoPack = 0xFF;

struct MetadataRecord {
    std::array<std::array<uint8_t, 5>, 256> packs;

    MetadataRecord() { clear(); }

    // Marks every entry absent; payload bytes are left as they are.
    void clear() {
        for (auto& p : packs) p[0] = kNoPack;
    }
    bool has(uint8_t id) const { return packs[id][0] < kNoPack; }
    // PC1..PC4 of entry id: pc(id, 1) .. pc(id, 4).
    uint8_t pc(uint8_t id, int n) const { return packs[id][n]; }
    const std::array<uint8_t, 5>& operator[](uint8_t id) const { return packs[id]; }
    std::array<uint8_t, 5>& operator[](uint8_t id) { return packs[id]; }
    // Stores a pack as given (header byte included).
    void set(uint8_t id, uint8_t pc1, uint8_t pc2, uint8_t pc3, uint8_t pc4) { packs[id] = {id, pc1, pc2, pc3, pc4}; }
};

// Pack IDs the system reads.
namespace pack {
inline constexpr uint8_t kTimecode = 0x13;
inline constexpr uint8_t kBinaryGroup = 0x14;  // user bits
inline constexpr uint8_t kAudioSource = 0x50;
inline constexpr uint8_t kAudioSourceControl = 0x51;
inline constexpr uint8_t kVideoSource = 0x60;
inline constexpr uint8_t kVideoSourceControl = 0x61;
inline constexpr uint8_t kRecDate = 0x62;
inline constexpr uint8_t kRecTime = 0x63;
inline constexpr uint8_t kCamera1 = 0x70;
inline constexpr uint8_t kCamera2 = 0x71;
inline constexpr uint8_t kShutter = 0x7F;
}  // namespace pack

}  // namespace zorv::core
