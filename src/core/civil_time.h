// Proleptic Gregorian calendar arithmetic in universal time, independent of the process time zone.
#pragma once

#include <cstdint>

namespace zorv::core {

struct CivilDate {
    int64_t year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
};

struct CivilDateTime {
    int64_t year = 1970;
    int month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Days since 1970-01-01 of a valid date (month 1..12, day 1..31).
int64_t daysFromCivil(int64_t year, int month, int day);
CivilDate civilFromDays(int64_t days);

// Seconds since 1970-01-01 00:00:00 UTC of a broken-down time whose fields may lie outside their
// ranges: every overflow carries and negative values borrow, as calendar normalisation does (month0
// is 0-based: 12 is January of the next year, -1 December of the previous one; day 0 is the last day
// of the previous month).
int64_t normalizedUtcSeconds(int64_t year, int64_t month0, int64_t day, int64_t hour, int64_t minute, int64_t second);

CivilDateTime civilFromUtcSeconds(int64_t seconds);

}  // namespace zorv::core
