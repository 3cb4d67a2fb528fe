#include "core/timecode.h"

namespace zorv::core {

namespace {

struct StyleInfo {
    int rate;
    bool drop;
    int64_t perDay;
};

static const StyleInfo kStyles[9] = {
    {0, false, 0},        {24, false, 2073600}, {25, false, 2160000}, {30, false, 2592000}, {30, true, 2589408},
    {48, false, 4147200}, {50, false, 4320000}, {60, false, 5184000}, {60, true, 5178816},
};

const StyleInfo& info(int style) { return kStyles[(style >= 1 && style <= 8) ? style : 0]; }

}  // namespace

int timecodeRate(int style) { return info(style).rate; }
bool isDropFrameStyle(int style) { return info(style).drop; }
int64_t framesPerDay(int style) { return info(style).perDay; }

int timecodeStyleFor(int nominalRate, bool dropFrame) {
    switch (nominalRate) {
    case 24: return 1;
    case 25: return 2;
    case 30: return dropFrame ? 4 : 3;
    case 48: return 5;
    case 50: return 6;
    case 60: return dropFrame ? 8 : 7;
    default: return 0;
    }
}

int64_t timecodeToFrames(const Timecode& tc, int style) {
    const StyleInfo& s = info(style);
    const int64_t m = 60 * static_cast<int64_t>(tc.hours) + tc.minutes;
    if (s.drop) {
        // Two (four) labels dropped in each minute not divisible by ten.
        const int64_t k = s.rate / 30 * 2;  // 2 or 4
        return tc.frames + static_cast<int64_t>(s.rate) * tc.seconds + (60 * s.rate - k) * m + k * (m / 10);
    }
    return tc.frames + static_cast<int64_t>(s.rate) * (tc.seconds + 60 * m);
}

Timecode framesToTimecode(int64_t n, int style) {
    const StyleInfo& s = info(style);
    if (s.rate == 0) return {};
    if (n < 0) n += s.perDay;
    if (n >= s.perDay || n < 0) n %= s.perDay;
    if (n < 0) n += s.perDay;
    if (s.drop) {
        // Ten-minute blocks of 17982 (35964) counted frames hold 18000 (36000) labels.
        const int64_t k = s.rate / 30 * 2;
        const int64_t block = 600 * s.rate - 9 * k;
        const int64_t minute = 60 * s.rate - k;
        const int64_t d = n / block, r = n % block;
        n += 9 * k * d + k * ((r - k) / minute);
    }
    Timecode tc;
    tc.frames = static_cast<int>(n % s.rate);
    tc.seconds = static_cast<int>(n / s.rate % 60);
    tc.minutes = static_cast<int>(n / (60 * s.rate) % 60);
    tc.hours = static_cast<int>(n / (3600 * static_cast<int64_t>(s.rate)) % 24);
    return tc;
}

Timecode framesToTimecode(int64_t count, int nominalRate, bool dropFrame) {
    return framesToTimecode(count, timecodeStyleFor(nominalRate, dropFrame));
}

int64_t wrapFrames(int64_t count, int style) {
    const int64_t day = framesPerDay(style);
    if (day == 0) return count;
    int64_t r = count % day;
    return r < 0 ? r + day : r;
}

Timecode addFrames(const Timecode& tc, int64_t offset, int style) {
    return framesToTimecode(wrapFrames(timecodeToFrames(tc, style) + offset, style), style);
}

Timecode framePositionTimecode(int64_t n, int style) {
    // For n >= 0 the day reduction before the drop-frame step gives the same hours modulo 24 as
    // converting the whole count, since a drop-frame day is exactly 144 ten-minute blocks.
    if (style < 1 || style > 4) style = 4;
    return framesToTimecode(n, style);
}

}  // namespace zorv::core
