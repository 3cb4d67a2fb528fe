// The recording date and time of an AVCHD picture. AVCHD camcorders do not use the DV date pack
// layout for tag 0x18: its PC1 is the time zone (0x40 daylight saving, 0x20 west of UTC, bits 1-4
// the hours, 0x01 an extra half hour), PC2-PC3 the four-digit year in BCD and PC4 the month in BCD;
// tag 0x19 holds day, hours, minutes and seconds in BCD (PC1-PC4). For example 02 20 08 12 /
// 31 23 16 24 is 31 December 2008, 23:16:24, UTC+1.
#pragma once

#include <cstdint>

#include "core/metadata_record.h"

namespace zorv::core {

inline constexpr uint8_t kAvchdTagDate = 0x18;
inline constexpr uint8_t kAvchdTagTime = 0x19;

struct AvchdDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int zoneMinutes = 0;  // offset from UTC, negative west of it
    bool daylightSaving = false;
    // The camcorder's clock reading as seconds since 1970-01-01 taken as UTC (the same convention as
    // the DV recording date-time; the zone is kept apart in zoneMinutes).
    int64_t seconds = 0;
};

// False when tag 0x18 or 0x19 is absent or a digit is not a BCD digit, or the month or day is 0.
bool decodeAvchdDateTime(const MetadataRecord& rec, AvchdDateTime& out);

}  // namespace zorv::core
