#include "core/avchd_date.h"

#include "core/civil_time.h"

namespace zorv::core {
namespace {

bool bcd(uint8_t b, int& out) {
    if ((b >> 4) > 9 || (b & 15) > 9) return false;
    out = (b >> 4) * 10 + (b & 15);
    return true;
}

}  // namespace

bool decodeAvchdDateTime(const MetadataRecord& rec, AvchdDateTime& out) {
    if (!rec.has(kAvchdTagDate) || !rec.has(kAvchdTagTime)) return false;
    AvchdDateTime d;
    int century = 0, yy = 0;
    if (!bcd(rec.pc(kAvchdTagDate, 2), century) || !bcd(rec.pc(kAvchdTagDate, 3), yy) ||
        !bcd(rec.pc(kAvchdTagDate, 4), d.month) || !bcd(rec.pc(kAvchdTagTime, 1), d.day) ||
        !bcd(rec.pc(kAvchdTagTime, 2), d.hour) || !bcd(rec.pc(kAvchdTagTime, 3), d.minute) ||
        !bcd(rec.pc(kAvchdTagTime, 4), d.second))
        return false;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return false;
    d.year = century * 100 + yy;
    const uint8_t zone = rec.pc(kAvchdTagDate, 1);
    d.zoneMinutes = ((zone >> 1) & 0x0F) * 60 + ((zone & 0x01) ? 30 : 0);
    if (zone & 0x20) d.zoneMinutes = -d.zoneMinutes;
    d.daylightSaving = (zone & 0x40) != 0;
    d.seconds = normalizedUtcSeconds(d.year, d.month - 1, d.day, d.hour, d.minute, d.second);
    out = d;
    return true;
}

}  // namespace zorv::core
