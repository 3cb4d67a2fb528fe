#include "media/avchd_mdpm.h"

#include <algorithm>
#include <cstring>

#include "media/h264_nal.h"

namespace zorv::media {
namespace {

constexpr int kSeiUserDataUnregistered = 5;
constexpr size_t kUuidBytes = 16;
constexpr size_t kMarkerEnd = 20;  // the 16-byte identifier and "MDPM"

// The slot of every tag ID, -1 for IDs the record does not keep.
struct SlotMap {
    std::array<int8_t, 256> slot;
    SlotMap() {
        slot.fill(-1);
        for (size_t i = 0; i < kAvchdTagSlots.size(); ++i) slot[kAvchdTagSlots[i]] = static_cast<int8_t>(i);
    }
};
static const SlotMap kSlotMap;

// A value coded as a run of 0xFF bytes plus one final byte (SEI payload type and size).
bool readSeiValue(const uint8_t* p, size_t n, size_t& pos, size_t& value) {
    value = 0;
    while (pos < n && p[pos] == 0xFF) {
        value += 255;
        ++pos;
    }
    if (pos >= n) return false;
    value += p[pos++];
    return true;
}

}  // namespace

int avchdTagSlot(uint8_t tagId) { return kSlotMap.slot[tagId]; }

bool findMdpmPayload(const uint8_t* unit, size_t n, std::span<uint8_t> work, std::span<const uint8_t>& payload) {
    size_t begin = 0;
    if (n >= 5 && unit[0] == 0 && unit[1] == 0 && unit[2] == 0 && unit[3] == 1) begin = 4;
    else if (n >= 4 && unit[0] == 0 && unit[1] == 0 && unit[2] == 1) begin = 3;
    if (begin >= n || nalType(unit[begin]) != nal::kSei) return false;
    size_t end = n;
    StartCode next;
    if (findStartCode(unit, n, begin + 1, next)) end = next.pos;
    if (end - begin < kSeiMinUnit) return false;

    // The SEI messages start after the NAL header byte.
    const size_t copy = std::min(end - begin - 1, work.size());
    const size_t len = removeEmulationPrevention(unit + begin + 1, copy, work.data());
    const uint8_t* p = work.data();
    size_t pos = 0;
    while (pos < len) {
        size_t type = 0, size = 0;
        if (!readSeiValue(p, len, pos, type) || !readSeiValue(p, len, pos, size)) return false;
        if (type == kSeiUserDataUnregistered) {
            // A message cut short by the work buffer keeps what it holds.
            const size_t held = std::min(size, len - pos);
            if (size < kMarkerEnd || held < kMarkerEnd) return false;
            if (std::memcmp(p + pos + kUuidBytes, "MDPM", 4) != 0) return false;
            payload = std::span<const uint8_t>(p + pos + kMarkerEnd, held - kMarkerEnd);
            return true;
        }
        if (size > len - pos) return false;
        pos += size;
    }
    return false;
}

void applyMdpmTags(std::span<const uint8_t> payload, AvchdMetadataRecord& rec) {
    if (payload.empty()) return;
    const size_t count = std::min<size_t>(payload[0], kMdpmMaxTags);
    const size_t available = (payload.size() - 1) / 5;
    const size_t tags = std::min(count, available);
    for (size_t i = 0; i < tags; ++i) {
        const uint8_t* t = payload.data() + 1 + i * 5;
        const int slot = kSlotMap.slot[t[0]];
        if (slot < 0) continue;
        std::memcpy(rec.tagSlots[static_cast<size_t>(slot)].data(), t, 5);
    }
}

void AvchdMetadataRecord::toMetadataRecord(core::MetadataRecord& rec) const {
    rec.clear();
    for (size_t i = 0; i < kAvchdTagSlots.size(); ++i) {
        const auto& s = tagSlots[i];
        if (s[0] == kAvchdTagSlots[i]) rec.set(s[0], s[1], s[2], s[3], s[4]);
    }
}

}  // namespace zorv::media
