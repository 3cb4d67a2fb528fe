// The text forms of the camcorder metadata items: one formatter per item, reading the packs of a
// metadata record (DV packs, or HDV/AVCHD entries of the same shape) and writing into a fixed buffer
// owned by the caller. Formatters never fail and never allocate.
//
// Texts are UTF-8: the degree sign of the GPS items is U+00B0 ("\xC2\xB0"), two bytes.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/metadata_record.h"
#include "core/option_choices.h"

namespace zorv::core {

struct DisplaySettings {
    DateFormat dateFormat = DateFormat::kDayMonthYear;  // a value outside the choices reads yy-mm-dd
    DropFrameDisplay dropFrameFormat = DropFrameDisplay::kBeforeFrames;
    bool progressAsFrameNumber = false;
    bool gpsDecimal = false;  // latitude/longitude as decimal degrees
};

struct Options;
// The display settings of the option record (read as it is: callers hand a normalized record).
DisplaySettings displaySettingsOf(const Options& o);

// Where a text is shown. The DV burn-in draws nothing for placeholders and unknown codes; HDV shows
// white balance as two items; AVCHD reads its recording date/time from its own tags and has no audio
// item; the AVCHD burn-in draws its GPS items in a narrower form and nothing when they are absent.
enum class TextVariant { MetadataWindow, DvBurnIn, Hdv, Avchd, AvchdBurnIn };

struct TextBuf {
    char s[64] = {};
    const char* c_str() const { return s; }
    std::string_view view() const { return std::string_view(s); }
};

// Frame position of frame n: a right-aligned frame number, or the frame number as a timecode of the
// file's style (1..4; 0 while unknown converts as 30-frame drop-frame).
void formatFramePosition(TextBuf& out, int64_t n, int timecodeStyle, const DisplaySettings& settings, TextVariant variant);
// AVCHD frame position: the presentation time (90 kHz) as hh:mm:ss.mmm and the picture type letter
// (0 I, 1 P, 2 B, 255 '-', other '?').
void formatAvchdPosition(TextBuf& out, int64_t pts, int pictureType);

// Timecode pack 0x13 as its BCD digits. AVCHD 30-frame material is always shown as drop-frame.
void formatTimecode(TextBuf& out, const MetadataRecord& rec, int timecodeStyle, const DisplaySettings& settings,
                    TextVariant variant);
// HDV timecode kept as a frame count of the given style (-1 when there is none).
void formatHdvTimecode(TextBuf& out, int64_t timecodeFrames, int timecodeStyle, const DisplaySettings& settings);

void formatUserBits(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
// DV/HDV: pack 0x62. AVCHD: tag 0x18 (time zone PC1, BCD year PC2-PC3 shown by its last two
// digits, month PC4) with the day in tag 0x19 PC1 (see core/avchd_date.h).
void formatRecDate(TextBuf& out, const MetadataRecord& rec, const DisplaySettings& settings, TextVariant variant);
// DV/HDV: pack 0x63. AVCHD: tag 0x19 (PC2 hours, PC3 minutes, PC4 seconds).
void formatRecTime(TextBuf& out, const MetadataRecord& rec, TextVariant variant);

// The shutter denominator shown for a shutter code (1 -> 10000, 2 -> 6000, 3 -> 4000, otherwise the
// nearest standard speed of the 25-frame set for style 2, else the 30-frame set; ties go down).
int64_t shutterDenominator(int code, int timecodeStyle, double linePeriod);

// Shutter pack 0x7F. Keeps the last code and its result, so a repeating code is not looked up again.
class ShutterFormatter {
public:
    void format(TextBuf& out, const MetadataRecord& rec, int timecodeStyle, double linePeriod, TextVariant variant);

private:
    int lastCode_ = -1;
    int lastStyle_ = -1;
    double lastPeriod_ = 0.0;
    int64_t lastResult_ = 0;
};

// Camera pack 0x70 PC1; AVCHD falls back to tag 0xA1 (exposure data) when 0x70 is absent.
void formatIris(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
void formatGain(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
void formatExposureMode(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
// DV and AVCHD: one item from mode and lighting. HDV: the mode item (AUTO/HOLD/1-PUSH/PRESET).
void formatWhiteBalance(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
// HDV's second white balance item: the lighting whatever the mode.
void formatWhiteBalanceLighting(TextBuf& out, const MetadataRecord& rec);
void formatFocusDistance(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
void formatFocusMode(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
void formatStabilizer(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
// AAUX source pack 0x50: sampling rate and lock. Empty for AVCHD.
void formatAudioMode(TextBuf& out, const MetadataRecord& rec, TextVariant variant);

// GPS items of AVCHD records (tags 0xB0-0xC4).
void formatLatitude(TextBuf& out, const MetadataRecord& rec, const DisplaySettings& settings, TextVariant variant);
void formatLongitude(TextBuf& out, const MetadataRecord& rec, const DisplaySettings& settings, TextVariant variant);
void formatAltitude(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
void formatSpeed(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
void formatTrack(TextBuf& out, const MetadataRecord& rec, TextVariant variant);
// "lat,lon" in decimal degrees for a web map; false (and an empty text) without the GPS version and
// all latitude and longitude tags.
bool formatMapPosition(TextBuf& out, const MetadataRecord& rec);

}  // namespace zorv::core
