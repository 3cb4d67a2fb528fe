// The families of recordings: the files the player, the overlay, the metadata window and the tools
// treat alike (DV in any container, HDV transport streams, AVCHD transport streams).
#pragma once

namespace zorv::core {

enum class MediaFamily : int { kNone = 0, kDv, kHdv, kAvchd };

// "DV", "HDV", "AVCHD"; "" for kNone.
constexpr const char* familyName(MediaFamily f) {
    switch (f) {
    case MediaFamily::kDv: return "DV";
    case MediaFamily::kHdv: return "HDV";
    case MediaFamily::kAvchd: return "AVCHD";
    case MediaFamily::kNone: break;
    }
    return "";
}

// HDV and AVCHD: the transport-stream families, read picture group by picture group.
constexpr bool isStreamFamily(MediaFamily f) { return f == MediaFamily::kHdv || f == MediaFamily::kAvchd; }

}  // namespace zorv::core
