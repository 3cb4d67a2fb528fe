#include "core/metadata_text.h"

#include <gtest/gtest.h>

#include <string>

#include "core/dv_pack_fill.h"

namespace zorv::core {
namespace {

constexpr auto kWin = TextVariant::MetadataWindow;
constexpr auto kBurn = TextVariant::DvBurnIn;
constexpr auto kHdv = TextVariant::Hdv;
constexpr auto kAvc = TextVariant::Avchd;
constexpr auto kAvcBurn = TextVariant::AvchdBurnIn;

const std::string kDeg = "\xC2\xB0";

template <typename F>
std::string txt(F&& f) {
    TextBuf b;
    std::fill(std::begin(b.s), std::end(b.s), 'x');  // formatters must terminate what they write
    f(b);
    return b.s;
}

TEST(TimecodeText, DigitsSeparatorsAndPlaceholder) {
    MetadataRecord rec;
    DisplaySettings ds;
    rec.set(0x13, 0x45, 0x59, 0x59, 0x23);
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 3, ds, kWin); }), "23:59:59:05");
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 4, ds, kWin); }), "23:59:59;05");
    ds.dropFrameFormat = DropFrameDisplay::kEverywhere;
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 4, ds, kWin); }), "23;59;59;05");
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 3, ds, kAvc); }), "23;59;59;05");  // AVCHD 30 fps
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 2, ds, kAvc); }), "23:59:59:05");
    rec.set(0x13, 0xFF, 0xFF, 0x12, 0x01);
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 2, ds, kWin); }), "--:--:--:--");
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 2, ds, kBurn); }), "");
    rec.set(0x13, 0x00, 0x00, 0x00, 0x3A);  // digits printed without range check
    EXPECT_EQ(txt([&](TextBuf& b) { formatTimecode(b, rec, 2, ds, kWin); }), "310:00:00:00");
}

TEST(TimecodeText, HdvStreamValue) {
    DisplaySettings ds;
    EXPECT_EQ(txt([&](TextBuf& b) { formatHdvTimecode(b, -1, 4, ds); }), "--:--:--:--");
    EXPECT_EQ(txt([&](TextBuf& b) { formatHdvTimecode(b, 1800, 4, ds); }), "00:01:00;02");
    EXPECT_EQ(txt([&](TextBuf& b) { formatHdvTimecode(b, 1800, 3, ds); }), "00:01:00:00");
    ds.dropFrameFormat = DropFrameDisplay::kEverywhere;
    EXPECT_EQ(txt([&](TextBuf& b) { formatHdvTimecode(b, 17982, 4, ds); }), "00;10;00;00");
    EXPECT_EQ(txt([&](TextBuf& b) { formatHdvTimecode(b, 26, 2, ds); }), "00:00:01:01");
}

TEST(FramePositionText, StylesFrameNumbersAndUnknownStyle) {
    DisplaySettings ds;
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 17982, 4, ds, kWin); }), "00:10:00;00");
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 1800, 4, ds, kWin); }), "00:01:00;02");
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 1799, 4, ds, kWin); }), "00:00:59;29");
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 90000, 2, ds, kWin); }), "01:00:00:00");
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 24 * 3600 * 24 + 25, 1, ds, kWin); }), "00:00:01:01");
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 2589408 + 1800, 0, ds, kBurn); }), "00:01:00:02");
    ds.progressAsFrameNumber = true;
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 42, 2, ds, kWin); }), "         42");
    EXPECT_EQ(txt([&](TextBuf& b) { formatFramePosition(b, 42, 2, ds, kBurn); }), "         42");
}

TEST(FramePositionText, AvchdPresentationTime) {
    // 1 h 2 min 3.4565 s rounds to .457 (45 ticks is half a millisecond).
    const int64_t pts = (3723LL * 1000 + 456) * 90 + 45;
    EXPECT_EQ(txt([&](TextBuf& b) { formatAvchdPosition(b, pts, 0); }), "01:02:03.457I");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAvchdPosition(b, pts - 1, 1); }), "01:02:03.456P");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAvchdPosition(b, 25LL * 3600 * 90000, 2); }), "01:00:00.000B");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAvchdPosition(b, 0, 255); }), "00:00:00.000-");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAvchdPosition(b, 0, 7); }), "00:00:00.000?");
}

TEST(UserBitsAndDateText, FormsAndPlaceholders) {
    MetadataRecord rec;
    DisplaySettings ds;
    EXPECT_EQ(txt([&](TextBuf& b) { formatUserBits(b, rec, kWin); }), "--:--:--:--");
    rec.set(0x14, 0x01, 0x23, 0x45, 0x67);
    EXPECT_EQ(txt([&](TextBuf& b) { formatUserBits(b, rec, kWin); }), "67:45:23:01");
    rec.set(0x14, 0xAB, 0xCD, 0xEF, 0xFF);
    EXPECT_EQ(txt([&](TextBuf& b) { formatUserBits(b, rec, kWin); }), "FF:EF:CD:AB");

    rec.set(0x62, 0xFF, 0x31, 0x12, 0x09);
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecDate(b, rec, ds, kWin); }), "31/12/09");
    ds.dateFormat = DateFormat::kMonthDayYear;
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecDate(b, rec, ds, kWin); }), "12/31/09");
    ds.dateFormat = DateFormat::kYearMonthDay;
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecDate(b, rec, ds, kWin); }), "09-12-31");
    rec.set(0x62, 0xFF, 0x3A, 0x12, 0x09);  // day units 10
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecDate(b, rec, ds, kWin); }), "--/--/--");
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecDate(b, rec, ds, kBurn); }), "");

    rec.set(0x63, 0xFF, 0x05, 0x30, 0x14);
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecTime(b, rec, kWin); }), "14:30:05");
    rec.set(0x63, 0xFF, 0x05, 0x30, 0x1A);
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecTime(b, rec, kWin); }), "--:--:--");
}

TEST(UserBitsAndDateText, AvchdDateAndTimeTags) {
    MetadataRecord rec;
    DisplaySettings ds;
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecTime(b, rec, kAvc); }), "--:--:--");
    rec.set(0x18, 0x00, 0x20, 0x09, 0x07);  // 2009, July
    rec.set(0x19, 0x15, 0x14, 0x30, 0x05);  // day 15, 14:30:05
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecTime(b, rec, kAvc); }), "14:30:05");
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecDate(b, rec, ds, kAvc); }), "15/07/09");
    rec.set(0x19, 0x15, 0x1A, 0x30, 0x05);  // no digit check on AVCHD time
    EXPECT_EQ(txt([&](TextBuf& b) { formatRecTime(b, rec, kAvc); }), "110:30:05");
}

TEST(ShutterText, LookupTiesAndCache) {
    const double pal = linePeriod(144000), ntsc = linePeriod(120000);
    EXPECT_EQ(shutterDenominator(312, 2, pal), 50);
    EXPECT_EQ(shutterDenominator(3, 2, pal), 4000);
    EXPECT_EQ(shutterDenominator(1, 3, ntsc), 10000);
    EXPECT_EQ(shutterDenominator(2, 3, ntsc), 6000);
    // A line period that makes x = 1 / (1000 x period) exactly the wanted value.
    auto at = [](double x, int style) { return shutterDenominator(1000, style, 1.0 / (1000.0 * x)); };
    EXPECT_EQ(at(55, 2), 50);  // halfway between 50 and 60: the lower one
    EXPECT_EQ(at(56, 2), 60);
    EXPECT_EQ(at(54, 2), 50);
    EXPECT_EQ(at(60, 2), 60);                        // a member itself
    EXPECT_EQ(at(115, 3), 125);                      // 100 < 115 < 125 in the 30-frame set
    EXPECT_EQ(at(110, 2), 100);                      // 100 and 120 tie in the 25-frame set
    EXPECT_EQ(at(50000, 2), 16000);                  // above every member
    EXPECT_EQ(at(1, 3), 0);                          // below the first member l = 0, and 1 is a tie
    EXPECT_EQ(shutterDenominator(4, 2, pal), 4000);  // 1/(4 x 64 us) = 3906
}

TEST(ShutterText, FormatterPlaceholdersAndRepeat) {
    MetadataRecord rec;
    ShutterFormatter sf;
    const double pal = linePeriod(144000);
    EXPECT_EQ(txt([&](TextBuf& b) { sf.format(b, rec, 2, pal, kWin); }), "----");
    rec.set(0x7F, 0, 0, 0xFF, 0xFF);
    EXPECT_EQ(txt([&](TextBuf& b) { sf.format(b, rec, 2, pal, kWin); }), "----");
    rec.set(0x7F, 0, 0, 0xFF, 0x7F);  // 32767
    EXPECT_EQ(txt([&](TextBuf& b) { sf.format(b, rec, 2, pal, kBurn); }), "");
    rec.set(0x7F, 0, 0, 312 & 0xFF, 312 >> 8);
    EXPECT_EQ(txt([&](TextBuf& b) { sf.format(b, rec, 2, pal, kWin); }), "50");
    EXPECT_EQ(txt([&](TextBuf& b) { sf.format(b, rec, 2, pal, kWin); }), "50");
    rec.set(0x7F, 0, 0, 3, 0x80);  // bit 7 of PC4 is not part of the code
    EXPECT_EQ(txt([&](TextBuf& b) { sf.format(b, rec, 2, pal, kWin); }), "4000");
}

TEST(CameraText, IrisGainExposure) {
    MetadataRecord rec;
    auto iris = [&](uint8_t code) {
        rec.set(0x70, code, 0xFF, 0xFF, 0xFF);
        return txt([&](TextBuf& b) { formatIris(b, rec, kWin); });
    };
    EXPECT_EQ(iris(13), "f3.1");
    EXPECT_EQ(iris(32), "f16");
    EXPECT_EQ(iris(0), "f1.0");
    EXPECT_EQ(iris(60), "f181");
    EXPECT_EQ(iris(61), "f<1");
    EXPECT_EQ(iris(62), "CLOSE");
    EXPECT_EQ(iris(63 | 0xC0), "f---");
    auto gain = [&](uint8_t pc2, TextVariant v) {
        rec.set(0x70, 0, pc2, 0, 0);
        return txt([&](TextBuf& b) { formatGain(b, rec, v); });
    };
    EXPECT_EQ(gain(0x00, kWin), "-3dB");
    EXPECT_EQ(gain(0x01, kWin), "0dB");
    EXPECT_EQ(gain(0x0E, kWin), "39dB");
    EXPECT_EQ(gain(0x0F, kWin), "--dB");
    EXPECT_EQ(gain(0x0F, kBurn), "");
    auto expo = [&](uint8_t pc2, TextVariant v) {
        rec.set(0x70, 0, pc2, 0, 0);
        return txt([&](TextBuf& b) { formatExposureMode(b, rec, v); });
    };
    EXPECT_EQ(expo(0x40, kWin), "MANL");
    EXPECT_EQ(expo(0x20, kWin), "SHUT");
    EXPECT_EQ(expo(0x50, kWin), "????");
    EXPECT_EQ(expo(0x50, kBurn), "");
    EXPECT_EQ(expo(0xF0, kWin), "----");
    rec.clear();
    EXPECT_EQ(txt([&](TextBuf& b) { formatIris(b, rec, kWin); }), "f---");
    EXPECT_EQ(txt([&](TextBuf& b) { formatExposureMode(b, rec, kWin); }), "----");
}

TEST(CameraText, AvchdIrisFallback) {
    MetadataRecord rec;
    auto a1 = [&](unsigned num, unsigned den) {
        rec.set(0xA1, num >> 8, num & 0xFF, den >> 8, den & 0xFF);
        return txt([&](TextBuf& b) { formatIris(b, rec, kAvc); });
    };
    EXPECT_EQ(a1(28, 10), "f2.8");
    EXPECT_EQ(a1(110, 10), "f11");
    EXPECT_EQ(a1(56, 0), "f56");  // denominator 0 counts as 1
    EXPECT_EQ(a1(65535, 1), "f---");
    EXPECT_EQ(a1(65534, 1), "CLOSE");
    EXPECT_EQ(txt([&](TextBuf& b) { formatIris(b, rec, kWin); }), "f---");  // DV never reads 0xA1
    rec.set(0x70, 13, 0, 0, 0);
    EXPECT_EQ(txt([&](TextBuf& b) { formatIris(b, rec, kAvc); }), "f3.1");
}

TEST(CameraText, WhiteBalanceAllDisplays) {
    MetadataRecord rec;
    auto wb = [&](uint8_t pc3, TextVariant v) {
        rec.set(0x70, 0, 0, pc3, 0);
        return txt([&](TextBuf& b) { formatWhiteBalance(b, rec, v); });
    };
    auto light = [&](uint8_t pc3) {
        rec.set(0x70, 0, 0, pc3, 0);
        return txt([&](TextBuf& b) { formatWhiteBalanceLighting(b, rec); });
    };
    EXPECT_EQ(wb(0x7F, kWin), "------");
    EXPECT_EQ(wb(0x1F, kWin), "AWB");
    EXPECT_EQ(wb(0x9F, kWin), "??????");
    EXPECT_EQ(wb(0x9F, kBurn), "");
    EXPECT_EQ(wb(0x64, kWin), "SUNLGT");
    EXPECT_EQ(wb(0x66, kWin), "??????");
    EXPECT_EQ(wb(0x40, kWin), "1-PUSH");
    EXPECT_EQ(wb(0xE0, kWin), "------");
    EXPECT_EQ(wb(0x65, kHdv), "PRESET");
    EXPECT_EQ(wb(0xE5, kHdv), "------");
    EXPECT_EQ(wb(0x85, kHdv), "??????");
    EXPECT_EQ(light(0x05), "CLOUDY");  // whatever the mode
    EXPECT_EQ(light(0x1F), "------");
    EXPECT_EQ(light(0x06), "??????");
    rec.clear();
    EXPECT_EQ(txt([&](TextBuf& b) { formatWhiteBalance(b, rec, kWin); }), "------");
}

TEST(CameraText, FocusStabilizerAudio) {
    MetadataRecord rec;
    auto focus = [&](uint8_t pc4, TextVariant v) {
        rec.set(0x70, 0, 0, 0, pc4);
        return txt([&](TextBuf& b) { formatFocusDistance(b, rec, v); }) + "|" +
               txt([&](TextBuf& b) { formatFocusMode(b, rec, v); });
    };
    EXPECT_EQ(focus(0x0D, kWin), "0.30|AUTO");
    EXPECT_EQ(focus(0x56, kWin), "21|AUTO");
    EXPECT_EQ(focus(0x7F, kWin), "INF|AUTO");
    EXPECT_EQ(focus(0x7F, kBurn), "INF|AUTO");
    EXPECT_EQ(focus(0x8D, kWin), "0.30|MANL");
    EXPECT_EQ(focus(0x0E, kWin), "3.0|AUTO");  // 300 cm
    EXPECT_EQ(focus(0xFF, kWin), "----|----");
    EXPECT_EQ(focus(0xFF, kBurn), "|");

    EXPECT_EQ(txt([&](TextBuf& b) { formatStabilizer(b, rec, kWin); }), "~---");
    rec.set(0x71, 0, 0x7F, 0, 0);
    EXPECT_EQ(txt([&](TextBuf& b) { formatStabilizer(b, rec, kWin); }), "~ON");
    rec.set(0x71, 0, 0x80, 0, 0);
    EXPECT_EQ(txt([&](TextBuf& b) { formatStabilizer(b, rec, kWin); }), "~OFF");

    EXPECT_EQ(txt([&](TextBuf& b) { formatAudioMode(b, rec, kWin); }), "------");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAudioMode(b, rec, kBurn); }), "");
    rec.set(0x50, 0x80, 0, 0, 0x08);
    EXPECT_EQ(txt([&](TextBuf& b) { formatAudioMode(b, rec, kWin); }), "44.1/U");
    rec.set(0x50, 0x00, 0, 0, 0x10);
    EXPECT_EQ(txt([&](TextBuf& b) { formatAudioMode(b, rec, kWin); }), "32/L");
    rec.set(0x50, 0x00, 0, 0, 0x38);
    EXPECT_EQ(txt([&](TextBuf& b) { formatAudioMode(b, rec, kBurn); }), "?\?/L");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAudioMode(b, rec, kAvc); }), "");
}

void setRational(MetadataRecord& rec, uint8_t id, unsigned num, unsigned den) {
    rec.set(id, num >> 8, num & 0xFF, den >> 8, den & 0xFF);
}

MetadataRecord gpsRecord() {
    MetadataRecord rec;
    rec.set(0xB0, 2, 2, 0, 0);
    rec.set(0xB1, 'S', 0, 0, 0);
    setRational(rec, 0xB2, 33, 1);
    setRational(rec, 0xB3, 51, 1);
    setRational(rec, 0xB4, 546, 100);  // 5.46 s
    rec.set(0xB5, 'E', 0, 0, 0);
    setRational(rec, 0xB6, 151, 1);
    setRational(rec, 0xB7, 12, 1);
    setRational(rec, 0xB8, 3000, 100);
    rec.set(0xB9, 1, 0, 0, 0);
    setRational(rec, 0xBA, 125, 10);
    rec.set(0xC1, 'K', 0, 0, 0);
    setRational(rec, 0xC2, 505, 10);
    rec.set(0xC3, 'T', 0, 0, 0);
    setRational(rec, 0xC4, 2705, 10);
    return rec;
}

TEST(GpsText, DegreesAndDecimalForms) {
    MetadataRecord rec = gpsRecord();
    DisplaySettings ds;
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvc); }), "33" + kDeg + " 51' 05.5\" S");
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvcBurn); }), "33" + kDeg + " 51' 5.5\" S");
    EXPECT_EQ(txt([&](TextBuf& b) { formatLongitude(b, rec, ds, kAvc); }), "151" + kDeg + " 12' 30.0\" E");
    ds.gpsDecimal = true;
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvc); }), "-33.85152" + kDeg);
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvcBurn); }), "-33.85152");
    EXPECT_EQ(txt([&](TextBuf& b) { formatLongitude(b, rec, ds, kAvc); }), "151.20833" + kDeg);
    EXPECT_EQ(txt([&](TextBuf& b) { formatAltitude(b, rec, kAvc); }), "-12.5 m");
    EXPECT_EQ(txt([&](TextBuf& b) { formatSpeed(b, rec, kAvc); }), "50.5 km/h");
    EXPECT_EQ(txt([&](TextBuf& b) { formatTrack(b, rec, kAvc); }), "270.5" + kDeg + " T");
    EXPECT_EQ(txt([&](TextBuf& b) { formatMapPosition(b, rec); }), "-33.85152,151.20833");
    rec.set(0xC1, 'X', 0, 0, 0);
    rec.set(0xC3, 'Q', 0, 0, 0);
    EXPECT_EQ(txt([&](TextBuf& b) { formatSpeed(b, rec, kAvc); }), "50.5 ");
    EXPECT_EQ(txt([&](TextBuf& b) { formatTrack(b, rec, kAvc); }), "270.5" + kDeg + " ");
}

TEST(GpsText, ZeroDenominatorAndPlaceholders) {
    MetadataRecord rec = gpsRecord();
    DisplaySettings ds;
    setRational(rec, 0xB2, 33, 0);
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvc); }), "00" + kDeg + " 51' 05.5\" S");
    rec[0xB0][0] = kNoPack;  // every GPS item needs the version tag
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvc); }), "----------------");
    EXPECT_EQ(txt([&](TextBuf& b) { formatLatitude(b, rec, ds, kAvcBurn); }), "");
    EXPECT_EQ(txt([&](TextBuf& b) { formatAltitude(b, rec, kAvc); }), "------");
    EXPECT_EQ(txt([&](TextBuf& b) { formatSpeed(b, rec, kAvc); }), "--------");
    EXPECT_EQ(txt([&](TextBuf& b) { formatTrack(b, rec, kAvcBurn); }), "");
    EXPECT_FALSE([&] {
        TextBuf b;
        return formatMapPosition(b, rec);
    }());
    ds.gpsDecimal = true;
    EXPECT_EQ(txt([&](TextBuf& b) { formatLongitude(b, rec, ds, kAvc); }), "---------");
}

}  // namespace
}  // namespace zorv::core
