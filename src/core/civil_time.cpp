#include "core/civil_time.h"

namespace zorv::core {

namespace {
int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}
}  // namespace

// Eras of 400 years (146097 days) with March-based years, so that the leap day ends each year.
int64_t daysFromCivil(int64_t year, int month, int day) {
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = floorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;  // March = 0
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilDate d;
    d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    d.year = yoe + era * 400 + (d.month <= 2 ? 1 : 0);
    return d;
}

int64_t normalizedUtcSeconds(int64_t year, int64_t month0, int64_t day, int64_t hour, int64_t minute, int64_t second) {
    const int64_t y = year + floorDiv(month0, 12);
    const int m = static_cast<int>(month0 - 12 * floorDiv(month0, 12)) + 1;
    const int64_t days = daysFromCivil(y, m, 1) + (day - 1);
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

CivilDateTime civilFromUtcSeconds(int64_t seconds) {
    const int64_t days = floorDiv(seconds, 86400);
    const int64_t rem = seconds - days * 86400;
    const CivilDate d = civilFromDays(days);
    CivilDateTime t;
    t.year = d.year;
    t.month = d.month;
    t.day = d.day;
    t.hour = static_cast<int>(rem / 3600);
    t.minute = static_cast<int>(rem / 60 % 60);
    t.second = static_cast<int>(rem % 60);
    return t;
}

}  // namespace zorv::core
