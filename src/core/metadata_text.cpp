#include "core/metadata_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "core/options.h"
#include "core/timecode.h"

namespace zorv::core {

namespace {

#define ZORV_DEG "\xC2\xB0"

// F-number x 10 for iris codes 0..60.
static const int kIrisTable[61] = {
    10,  11,  12,  13,  14,  16,  17,  18,  20,  22,  24,  26,  28,   31,   34,   37,   40,   44,   48,   52,  56,
    62,  68,  73,  80,  87,  96,  100, 110, 120, 130, 150, 160, 170,  190,  210,  230,  250,  270,  290,  320, 350,
    380, 410, 450, 490, 540, 590, 640, 700, 760, 830, 910, 990, 1080, 1170, 1280, 1400, 1520, 1660, 1810,
};

// Standard shutter speeds (1/x s) of 625/50 and 525/60 camcorders.
static const int64_t kShutter25[] = {2,   3,   6,   12,   24,   25,   48,   50,   60,   100,  120,  150,  215,   250,  300,
                                     425, 500, 600, 1000, 1250, 1750, 2000, 2500, 3500, 4000, 6000, 8000, 10000, 16000};
static const int64_t kShutter30[] = {2,   3,   4,   6,   8,   12,   15,   24,   30,   48,   60,   90,   100,   125,
                                     180, 250, 350, 500, 725, 1000, 1500, 2000, 3000, 4000, 6000, 8000, 10000, 15000};

static const char* const kExposureModes[5] = {"AUTO", "GAIN", "SHUT", "IRIS", "MANL"};
static const char* const kLighting[6] = {"CANDLE", "INCAND", "FLU-LO", "FLU-HI", "SUNLGT", "CLOUDY"};
static const char* const kHdvWbModes[4] = {"AUTO", "HOLD", "1-PUSH", "PRESET"};

[[gnu::format(printf, 2, 3)]] void put(TextBuf& out, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(out.s, sizeof out.s, fmt, ap);
    va_end(ap);
}

void text(TextBuf& out, const char* s) { put(out, "%s", s); }

// Placeholders and unknown-code texts: not drawn by the DV burn-in.
void placeholder(TextBuf& out, const char* s, TextVariant v) {
    if (v == TextVariant::DvBurnIn) out.s[0] = '\0';
    else text(out, s);
}

bool isAvchd(TextVariant v) { return v == TextVariant::Avchd || v == TextVariant::AvchdBurnIn; }

int lo(uint8_t b) { return b & 0x0F; }

// Separators of a timecode text: drop-frame shows ';' before the frames, or everywhere.
void putTimecode(TextBuf& out, bool drop, DropFrameDisplay dropFrameFormat, int h, int m, int s, int f) {
    if (drop && dropFrameFormat == DropFrameDisplay::kEverywhere) put(out, "%02d;%02d;%02d;%02d", h, m, s, f);
    else if (drop) put(out, "%02d:%02d:%02d;%02d", h, m, s, f);
    else put(out, "%02d:%02d:%02d:%02d", h, m, s, f);
}

double rational(const MetadataRecord& rec, uint8_t id) {
    const unsigned num = static_cast<unsigned>(rec.pc(id, 1)) << 8 | rec.pc(id, 2);
    const unsigned den = static_cast<unsigned>(rec.pc(id, 3)) << 8 | rec.pc(id, 4);
    return den == 0 ? 0.0 : static_cast<double>(num) / den;
}

int rationalInt(const MetadataRecord& rec, uint8_t id) {
    const unsigned num = static_cast<unsigned>(rec.pc(id, 1)) << 8 | rec.pc(id, 2);
    const unsigned den = static_cast<unsigned>(rec.pc(id, 3)) << 8 | rec.pc(id, 4);
    return den == 0 ? 0 : static_cast<int>(num / den);
}

bool allPresent(const MetadataRecord& rec, uint8_t first, uint8_t last) {
    if (!rec.has(0xB0)) return false;
    for (unsigned id = first; id <= last; ++id)
        if (!rec.has(static_cast<uint8_t>(id))) return false;
    return true;
}

// Latitude (tags 0xB1..0xB4) or longitude (0xB5..0xB8).
void formatCoordinate(TextBuf& out, const MetadataRecord& rec, uint8_t refId, char negative, const DisplaySettings& settings,
                      TextVariant v) {
    const bool burnIn = v == TextVariant::AvchdBurnIn;
    if (!allPresent(rec, refId, static_cast<uint8_t>(refId + 3))) {
        if (burnIn) out.s[0] = '\0';
        else placeholder(out, settings.gpsDecimal ? "---------" : "----------------", v);
        return;
    }
    const char ref = static_cast<char>(rec.pc(refId, 1));
    const int deg = rationalInt(rec, static_cast<uint8_t>(refId + 1));
    const int min = rationalInt(rec, static_cast<uint8_t>(refId + 2));
    const double sec = rational(rec, static_cast<uint8_t>(refId + 3));
    if (settings.gpsDecimal) {
        double d = burnIn ? deg + min / 60.0 + sec / 3600.0 : deg + (min * 60 + sec) * 0.00027777778;
        if (ref == negative) d = -d;
        if (burnIn) put(out, "%.5f", d);
        else put(out, "%.5f" ZORV_DEG, d);
    } else if (burnIn) {
        put(out, "%02d" ZORV_DEG " %02d' %2.1f\" %c", deg, min, sec, ref);
    } else {
        put(out, "%02d" ZORV_DEG " %02d' %04.1f\" %c", deg, min, sec, ref);
    }
}

void gpsAbsent(TextBuf& out, const char* s, TextVariant v) {
    if (v == TextVariant::AvchdBurnIn) out.s[0] = '\0';
    else placeholder(out, s, v);
}

}  // namespace

DisplaySettings displaySettingsOf(const Options& o) {
    DisplaySettings s;
    s.dateFormat = choiceOf<DateFormat>(o.dateFormat);
    s.dropFrameFormat = choiceOf<DropFrameDisplay>(o.dropFrameDisplay);
    s.progressAsFrameNumber = o.progressAsFrameNumber;
    s.gpsDecimal = o.gpsInDecimal;
    return s;
}

void formatFramePosition(TextBuf& out, int64_t n, int timecodeStyle, const DisplaySettings& settings, TextVariant variant) {
    if (settings.progressAsFrameNumber) {
        if (variant == TextVariant::DvBurnIn) put(out, "%11lld", static_cast<long long>(n));
        else put(out, "%11llu", static_cast<unsigned long long>(n));
        return;
    }
    const Timecode tc = framePositionTimecode(n, timecodeStyle);
    putTimecode(out, timecodeStyle == 4, settings.dropFrameFormat, tc.hours, tc.minutes, tc.seconds, tc.frames);
}

void formatAvchdPosition(TextBuf& out, int64_t pts, int pictureType) {
    const int64_t ms = (pts + 45) * 1000 / 90000;
    const char type = pictureType == 0     ? 'I'
                      : pictureType == 1   ? 'P'
                      : pictureType == 2   ? 'B'
                      : pictureType == 255 ? '-'
                                           : '?';
    put(out, "%02d:%02d:%02d.%03d%c", static_cast<int>(ms / 3600000 % 24), static_cast<int>(ms / 60000 % 60),
        static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000), type);
}

void formatTimecode(TextBuf& out, const MetadataRecord& rec, int timecodeStyle, const DisplaySettings& settings,
                    TextVariant variant) {
    const uint8_t id = pack::kTimecode;
    if (!rec.has(id) || (rec.pc(id, 1) == 0xFF && rec.pc(id, 2) == 0xFF)) {
        placeholder(out, "--:--:--:--", variant);
        return;
    }
    if (isAvchd(variant) && timecodeStyle != 2 && timecodeStyle != 0) timecodeStyle = 4;
    const uint8_t f = rec.pc(id, 1), s = rec.pc(id, 2), m = rec.pc(id, 3), h = rec.pc(id, 4);
    const int d[8] = {(h >> 4) & 0x03, lo(h), (m >> 4) & 0x07, lo(m), (s >> 4) & 0x07, lo(s), (f >> 4) & 0x03, lo(f)};
    const char* fmt = "%d%d:%d%d:%d%d:%d%d";
    if (timecodeStyle == 4)
        fmt = settings.dropFrameFormat == DropFrameDisplay::kEverywhere ? "%d%d;%d%d;%d%d;%d%d" : "%d%d:%d%d:%d%d;%d%d";
    std::snprintf(out.s, sizeof out.s, fmt, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
}

void formatHdvTimecode(TextBuf& out, int64_t timecodeFrames, int timecodeStyle, const DisplaySettings& settings) {
    if (timecodeFrames == -1) {
        text(out, "--:--:--:--");
        return;
    }
    const Timecode tc = framesToTimecode(timecodeFrames, timecodeStyle);
    putTimecode(out, timecodeStyle == 4, settings.dropFrameFormat, tc.hours, tc.minutes, tc.seconds, tc.frames);
}

void formatUserBits(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    const uint8_t id = pack::kBinaryGroup;
    if (!rec.has(id)) {
        placeholder(out, "--:--:--:--", variant);
        return;
    }
    const uint8_t a = rec.pc(id, 4), b = rec.pc(id, 3), c = rec.pc(id, 2), d = rec.pc(id, 1);
    put(out, "%X%X:%X%X:%X%X:%X%X", a >> 4, a & 15, b >> 4, b & 15, c >> 4, c & 15, d >> 4, d & 15);
}

void formatRecDate(TextBuf& out, const MetadataRecord& rec, const DisplaySettings& settings, TextVariant variant) {
    int dt, du, mt, mu, yt, yu;
    if (isAvchd(variant)) {
        // AVCHD tag 0x18: time zone, year in BCD over PC2-PC3 (the two-digit year is PC3), month PC4;
        // the day is PC1 of tag 0x19. It is not a DV date pack.
        if (!rec.has(0x18) || !rec.has(0x19)) return placeholder(out, "--/--/--", variant);
        const uint8_t day = rec.pc(0x19, 1), mon = rec.pc(0x18, 4), yr = rec.pc(0x18, 3);
        if (lo(day) > 9) return placeholder(out, "--/--/--", variant);
        dt = (day >> 4) & 3, du = lo(day), mt = (mon >> 4) & 1, mu = lo(mon), yt = yr >> 4, yu = lo(yr);
    } else if (rec.has(pack::kRecDate)) {
        const uint8_t day = rec.pc(pack::kRecDate, 2), mon = rec.pc(pack::kRecDate, 3), yr = rec.pc(pack::kRecDate, 4);
        if (lo(day) > 9) return placeholder(out, "--/--/--", variant);
        dt = (day >> 4) & 3, du = lo(day), mt = (mon >> 4) & 1, mu = lo(mon), yt = yr >> 4, yu = lo(yr);
    } else {
        return placeholder(out, "--/--/--", variant);
    }
    if (settings.dateFormat == DateFormat::kDayMonthYear) put(out, "%d%d/%d%d/%d%d", dt, du, mt, mu, yt, yu);
    else if (settings.dateFormat == DateFormat::kMonthDayYear) put(out, "%d%d/%d%d/%d%d", mt, mu, dt, du, yt, yu);
    else put(out, "%d%d-%d%d-%d%d", yt, yu, mt, mu, dt, du);
}

void formatRecTime(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    uint8_t h, m, s;
    if (isAvchd(variant)) {
        if (!rec.has(0x19)) return placeholder(out, "--:--:--", variant);
        h = rec.pc(0x19, 2), m = rec.pc(0x19, 3), s = rec.pc(0x19, 4);
    } else {
        if (!rec.has(pack::kRecTime) || lo(rec.pc(pack::kRecTime, 4)) > 9) return placeholder(out, "--:--:--", variant);
        h = rec.pc(pack::kRecTime, 4), m = rec.pc(pack::kRecTime, 3), s = rec.pc(pack::kRecTime, 2);
    }
    put(out, "%d%d:%d%d:%d%d", (h >> 4) & 3, lo(h), (m >> 4) & 7, lo(m), (s >> 4) & 7, lo(s));
}

int64_t shutterDenominator(int code, int timecodeStyle, double linePeriod) {
    // Code 0 (or a frame of unknown line period) names no exposure time: shown as 0, as the window does.
    if (code <= 0 || !(linePeriod > 0)) return 0;
    if (code == 1) return 10000;
    if (code == 2) return 6000;
    if (code == 3) return 4000;
    const auto x = static_cast<int64_t>(std::floor(1.0 / (code * linePeriod) + 0.5));
    const int64_t* set = timecodeStyle == 2 ? kShutter25 : kShutter30;
    const size_t count = timecodeStyle == 2 ? std::size(kShutter25) : std::size(kShutter30);
    int64_t u = 4294967295LL, l = 0;
    for (size_t i = 0; i < count; ++i) {
        if (set[i] >= x) {
            u = set[i];
            l = i > 0 ? set[i - 1] : 0;
            break;
        }
        l = set[i];  // every member is below x: l is the last one
    }
    return (u - x < x - l) ? u : l;
}

void ShutterFormatter::format(TextBuf& out, const MetadataRecord& rec, int timecodeStyle, double linePeriod,
                              TextVariant variant) {
    const uint8_t id = pack::kShutter;
    if (!rec.has(id) || (rec.pc(id, 3) == 0xFF && rec.pc(id, 4) == 0xFF)) return placeholder(out, "----", variant);
    const int code = (rec.pc(id, 4) & 0x7F) * 256 + rec.pc(id, 3);
    if (code == 32767) return placeholder(out, "----", variant);
    if (code != lastCode_ || timecodeStyle != lastStyle_ || linePeriod != lastPeriod_) {
        lastResult_ = code == 0 ? 0 : shutterDenominator(code, timecodeStyle, linePeriod);
        lastCode_ = code;
        lastStyle_ = timecodeStyle;
        lastPeriod_ = linePeriod;
    }
    put(out, "%lld", static_cast<long long>(lastResult_));
}

void formatIris(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!rec.has(pack::kCamera1)) {
        if (isAvchd(variant) && rec.has(0xA1)) {
            const unsigned num = static_cast<unsigned>(rec.pc(0xA1, 1)) << 8 | rec.pc(0xA1, 2);
            unsigned den = static_cast<unsigned>(rec.pc(0xA1, 3)) << 8 | rec.pc(0xA1, 4);
            if (den == 0) den = 1;
            if (num == 65535) return text(out, "f---");
            if (num == 65534) return text(out, "CLOSE");
            if (num / den >= 10) return put(out, "f%u", num / den);
            return put(out, "f%.1f", static_cast<double>(num) / den);
        }
        return placeholder(out, "f---", variant);
    }
    const int code = rec.pc(pack::kCamera1, 1) & 0x3F;
    if (code == 61) return text(out, "f<1");
    if (code == 62) return text(out, "CLOSE");
    if (code == 63) return placeholder(out, "f---", variant);
    const int v = kIrisTable[code];
    if (v < 100) put(out, "f%d.%d", v / 10, v % 10);
    else put(out, "f%d", v / 10);
}

void formatGain(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    const int code = rec.has(pack::kCamera1) ? (rec.pc(pack::kCamera1, 2) & 0x0F) : 15;
    if (code == 15) return placeholder(out, "--dB", variant);
    put(out, "%ddB", code * 3 - 3);
}

void formatExposureMode(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    const int code = rec.has(pack::kCamera1) ? (rec.pc(pack::kCamera1, 2) >> 4) : 15;
    if (code == 15) return placeholder(out, "----", variant);
    if (code >= 5) return placeholder(out, "????", variant);
    text(out, kExposureModes[code]);
}

void formatWhiteBalance(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!rec.has(pack::kCamera1)) return placeholder(out, "------", variant);
    const int mode = rec.pc(pack::kCamera1, 3) >> 5;
    const int light = rec.pc(pack::kCamera1, 3) & 0x1F;
    if (variant == TextVariant::Hdv) {
        if (mode <= 3) return text(out, kHdvWbModes[mode]);
        return text(out, mode == 7 ? "------" : "??????");
    }
    switch (mode) {
    case 0: return text(out, "AWB");
    case 1: return text(out, "HOLD");
    case 2: return text(out, "1-PUSH");
    case 3:
        if (light <= 5) return text(out, kLighting[light]);
        return placeholder(out, light == 31 ? "------" : "??????", variant);
    case 7: return placeholder(out, "------", variant);
    default: return placeholder(out, "??????", variant);
    }
}

void formatWhiteBalanceLighting(TextBuf& out, const MetadataRecord& rec) {
    if (!rec.has(pack::kCamera1)) return text(out, "------");
    const int light = rec.pc(pack::kCamera1, 3) & 0x1F;
    if (light <= 5) return text(out, kLighting[light]);
    text(out, light == 31 ? "------" : "??????");
}

void formatFocusDistance(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!rec.has(pack::kCamera1) || rec.pc(pack::kCamera1, 4) == 0xFF) return placeholder(out, "----", variant);
    const uint8_t b = rec.pc(pack::kCamera1, 4);
    if ((b & 0x7F) == 0x7F) return text(out, "INF");
    static const int kScale[4] = {1, 10, 100, 1000};
    const double metres = ((b >> 2) & 0x1F) * kScale[b & 3] * 0.01;
    if (metres < 1.0) put(out, "%.2f", metres);
    else if (metres < 10.0) put(out, "%.1f", metres);
    else put(out, "%.0f", metres);
}

void formatFocusMode(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!rec.has(pack::kCamera1) || rec.pc(pack::kCamera1, 4) == 0xFF) return placeholder(out, "----", variant);
    text(out, (rec.pc(pack::kCamera1, 4) & 0x80) ? "MANL" : "AUTO");
}

void formatStabilizer(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!rec.has(pack::kCamera2)) return placeholder(out, "~---", variant);
    text(out, (rec.pc(pack::kCamera2, 2) & 0x80) ? "~OFF" : "~ON");
}

void formatAudioMode(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (isAvchd(variant)) {
        out.s[0] = '\0';
        return;
    }
    if (!rec.has(pack::kAudioSource)) return placeholder(out, "------", variant);
    static const char* const kRates[3] = {"48", "44.1", "32"};
    const int smp = (rec.pc(pack::kAudioSource, 4) >> 3) & 7;
    put(out, "%s/%c", smp < 3 ? kRates[smp] : "??", (rec.pc(pack::kAudioSource, 1) & 0x80) ? 'U' : 'L');
}

void formatLatitude(TextBuf& out, const MetadataRecord& rec, const DisplaySettings& settings, TextVariant variant) {
    formatCoordinate(out, rec, 0xB1, 'S', settings, variant);
}

void formatLongitude(TextBuf& out, const MetadataRecord& rec, const DisplaySettings& settings, TextVariant variant) {
    formatCoordinate(out, rec, 0xB5, 'W', settings, variant);
}

void formatAltitude(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!allPresent(rec, 0xB9, 0xBA)) return gpsAbsent(out, "------", variant);
    double m = rational(rec, 0xBA);
    if (rec.pc(0xB9, 1) != 0) m = -m;
    put(out, "%.1f m", m);
}

void formatSpeed(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!allPresent(rec, 0xC1, 0xC2)) return gpsAbsent(out, "--------", variant);
    const uint8_t u = rec.pc(0xC1, 1);
    const char* unit = u == 'K' ? "km/h" : u == 'M' ? "mi/h" : u == 'N' ? "knots" : "";
    put(out, "%.1f %s", rational(rec, 0xC2), unit);
}

void formatTrack(TextBuf& out, const MetadataRecord& rec, TextVariant variant) {
    if (!allPresent(rec, 0xC3, 0xC4)) return gpsAbsent(out, "--------", variant);
    const uint8_t r = rec.pc(0xC3, 1);
    put(out, "%.1f" ZORV_DEG " %s", rational(rec, 0xC4), r == 'M' ? "M" : r == 'T' ? "T" : "");
}

bool formatMapPosition(TextBuf& out, const MetadataRecord& rec) {
    if (!allPresent(rec, 0xB1, 0xB8)) {
        out.s[0] = '\0';
        return false;
    }
    double lat = rationalInt(rec, 0xB2) + rationalInt(rec, 0xB3) / 60.0 + rational(rec, 0xB4) / 3600.0;
    double lon = rationalInt(rec, 0xB6) + rationalInt(rec, 0xB7) / 60.0 + rational(rec, 0xB8) / 3600.0;
    if (rec.pc(0xB1, 1) == 'S') lat = -lat;
    if (rec.pc(0xB5, 1) == 'W') lon = -lon;
    put(out, "%.5f,%.5f", lat, lon);
    return true;
}

}  // namespace zorv::core
