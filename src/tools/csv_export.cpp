#include "tools/csv_export.h"

#include <cstring>

#include "tools/damage_report.h"

#include <cerrno>

#include "core/metadata_text.h"
#include "core/scene_sets.h"
#include "core/timecode.h"
#include "media/dv_media_file.h"
#include "tools/export_scan.h"
#include "tools/text_builder.h"

namespace zorv::tools {

namespace {

using core::MetadataRecord;
namespace pack = core::pack;

static const char kHeader[] =
    "Position,Timecode,User Bits,Recording Date,Recording Time,Shutter,Iris,Stabilizer,Gain,"
    "Exposure Mode,White Balance,Focus Distance,Focus Mode,Audio Sampling,Audio Lock\r\n";

// F-number x 10 of iris codes 0-60.
static const int kIrisTable[61] = {
    10,  11,  12,  13,  14,  16,  17,  18,  20,  22,  24,  26,  28,   31,   34,   37,   40,   44,   48,   52,  56,
    62,  68,  73,  80,  87,  96,  100, 110, 120, 130, 150, 160, 170,  190,  210,  230,  250,  270,  290,  320, 350,
    380, 410, 450, 490, 540, 590, 640, 700, 760, 830, 910, 990, 1080, 1170, 1280, 1400, 1520, 1660, 1810,
};

static const char* const kExposureNames[5] = {"AUTO", "GAIN", "SHUT", "IRIS", "MANL"};
static const char* const kLightingNames[6] = {"CANDLE", "INCAND", "FLU-LO", "FLU-HI", "SUNLGT", "CLOUDY"};
static const char* const kSamplingNames[3] = {"48", "44.1", "32"};

// Separators of a timecode: drop-frame form only for 60-field material whose timecode pack entry
// carries the drop-frame flag.
bool dropFrameSeparators(const MetadataRecord& rec, const core::DecodedValues& v) {
    return v.fieldRate == 60 && (rec.pc(pack::kTimecode, 1) & 0x40) != 0;
}

void appendSeparators(TextBuilder& t, int a, int b, int c, int d, bool drop, core::DropFrameDisplay dropFrameFormat,
                      int width) {
    const char s1 = drop && dropFrameFormat == core::DropFrameDisplay::kEverywhere ? ';' : ':';
    const char s3 = drop ? ';' : ':';
    t.number(a, width);
    t.ch(s1);
    t.number(b, width);
    t.ch(s1);
    t.number(c, width);
    t.ch(s3);
    t.number(d, width);
}

void appendPosition(TextBuilder& t, int64_t n, const MetadataRecord& rec, const core::DecodedValues& v,
                    const CsvExportSettings& s) {
    if (s.progressAsFrameNumber) {
        t.number(n);
        return;
    }
    const core::Timecode tc = core::framePositionTimecode(n, v.timecodeStyle);
    appendSeparators(t, tc.hours, tc.minutes, tc.seconds, tc.frames, dropFrameSeparators(rec, v), s.dropFrameFormat, 2);
}

void appendTimecode(TextBuilder& t, const MetadataRecord& rec, const core::DecodedValues& v, const CsvExportSettings& s) {
    if (!rec.has(pack::kTimecode)) return;
    const uint8_t f = rec.pc(pack::kTimecode, 1), sec = rec.pc(pack::kTimecode, 2);
    const uint8_t m = rec.pc(pack::kTimecode, 3), h = rec.pc(pack::kTimecode, 4);
    if (f == 0xFF && sec == 0xFF) return;
    // Each digit printed from its bit field as it stands, tens and units side by side.
    const bool drop = dropFrameSeparators(rec, v);
    const char s1 = drop && s.dropFrameFormat == core::DropFrameDisplay::kEverywhere ? ';' : ':';
    t.number((h >> 4) & 0x3);
    t.number(h & 0xF);
    t.ch(s1);
    t.number((m >> 4) & 0x7);
    t.number(m & 0xF);
    t.ch(s1);
    t.number((sec >> 4) & 0x7);
    t.number(sec & 0xF);
    t.ch(drop ? ';' : ':');
    t.number((f >> 4) & 0x3);
    t.number(f & 0xF);
}

void appendUserBits(TextBuilder& t, const MetadataRecord& rec) {
    if (!rec.has(pack::kBinaryGroup)) return;
    for (int i = 4; i >= 1; --i) {
        const uint8_t b = rec.pc(pack::kBinaryGroup, i);
        t.hexDigit(b >> 4);
        t.hexDigit(b & 0xF);
        if (i > 1) t.ch(':');
    }
}

void appendDate(TextBuilder& t, const MetadataRecord& rec, core::DateFormat dateFormat) {
    if (!rec.has(pack::kRecDate)) return;
    const uint8_t d = rec.pc(pack::kRecDate, 2), m = rec.pc(pack::kRecDate, 3), y = rec.pc(pack::kRecDate, 4);
    if ((y & 0xF) > 9) return;
    const int yearTens = y >> 4, yearUnits = y & 0xF;
    const int century = yearTens == 9 ? 19 : 20;
    const int dayTens = (d >> 4) & 0x3, dayUnits = d & 0xF;
    const int monthTens = (m >> 4) & 0x1, monthUnits = m & 0xF;
    auto year = [&] {
        t.number(century);
        t.number(yearTens);
        t.number(yearUnits);
    };
    if (dateFormat == core::DateFormat::kDayMonthYear || dateFormat == core::DateFormat::kMonthDayYear) {
        const bool dayFirst = dateFormat == core::DateFormat::kDayMonthYear;
        t.number(dayFirst ? dayTens : monthTens);
        t.number(dayFirst ? dayUnits : monthUnits);
        t.ch('/');
        t.number(dayFirst ? monthTens : dayTens);
        t.number(dayFirst ? monthUnits : dayUnits);
        t.ch('/');
        year();
    } else {
        year();
        t.ch('-');
        t.number(monthTens);
        t.number(monthUnits);
        t.ch('-');
        t.number(dayTens);
        t.number(dayUnits);
    }
}

void appendTime(TextBuilder& t, const MetadataRecord& rec) {
    if (!rec.has(pack::kRecTime)) return;
    const uint8_t s = rec.pc(pack::kRecTime, 2), m = rec.pc(pack::kRecTime, 3), h = rec.pc(pack::kRecTime, 4);
    if ((h & 0xF) > 9) return;
    t.number((h >> 4) & 0x3);
    t.number(h & 0xF);
    t.ch(':');
    t.number((m >> 4) & 0x7);
    t.number(m & 0xF);
    t.ch(':');
    t.number((s >> 4) & 0x7);
    t.number(s & 0xF);
}

void appendIris(TextBuilder& t, int code) {
    if (code >= 0 && code <= 60) {
        const int v = kIrisTable[code];
        t.number(v / 10);
        if (v < 100) {
            t.ch('.');
            t.number(v % 10);
        }
    } else if (code == 61) {
        t.text("<1");
    } else if (code == 62) {
        t.text("CLOSE");
    }
}

void appendWhiteBalance(TextBuilder& t, const MetadataRecord& rec) {
    if (!rec.has(pack::kCamera1)) return;
    const uint8_t b = rec.pc(pack::kCamera1, 3);
    const int mode = b >> 5, lighting = b & 0x1F;
    switch (mode) {
    case 0: t.text("AWB"); break;
    case 1: t.text("HOLD"); break;
    case 2: t.text("1-PUSH"); break;
    case 3:
        if (lighting <= 5) t.text(kLightingNames[lighting]);
        break;
    default: break;
    }
}

void appendFocusDistance(TextBuilder& t, int focus) {
    if (focus == 255 || focus < 0) return;
    if (focus == 127) {
        t.text("INF");
        return;
    }
    static const int kScale[4] = {1, 10, 100, 1000};
    const int cm = ((focus >> 2) & 0x1F) * kScale[focus & 0x3];
    const double metres = cm * 0.01;
    if (metres < 1.0) {
        t.fixed(metres, 2);
    } else if (metres < 10.0) {
        t.fixed(metres, 1);
    } else {
        t.fixed(metres, 0);
    }
}

}  // namespace

CsvExportSettings CsvExportSettings::fromOptions(const core::Options& options) {
    const core::Options o = options.normalized();
    CsvExportSettings s;
    s.mode = core::choiceOf<CsvExportMode>(core::clampExportFrequency(o.exportFrequency));
    s.header = o.exportHeader;
    s.sceneTriggerMask = o.sceneTriggerMask;
    s.dateFormat = core::choiceOf<core::DateFormat>(o.dateFormat);
    s.dropFrameFormat = core::choiceOf<core::DropFrameDisplay>(o.dropFrameDisplay);
    s.progressAsFrameNumber = o.progressAsFrameNumber;
    return s;
}

const char* csvHeaderLine() { return kHeader; }

CsvRowFormatter::CsvRowFormatter(const CsvExportSettings& settings, double linePeriod)
    : settings_(settings), linePeriod_(linePeriod) {}

int64_t CsvRowFormatter::shutterDenominator(int code, int timecodeStyle) {
    if (code != lastShutterCode_ || timecodeStyle != lastShutterStyle_) {
        lastShutterCode_ = code;
        lastShutterStyle_ = timecodeStyle;
        lastShutterValue_ = core::shutterDenominator(code, timecodeStyle, linePeriod_);
    }
    return lastShutterValue_;
}

size_t CsvRowFormatter::format(int64_t n, const MetadataRecord& rec, const core::DecodedValues& v) {
    TextBuilder t(buf_, sizeof buf_);
    appendPosition(t, n, rec, v, settings_);
    t.ch(',');
    appendTimecode(t, rec, v, settings_);
    t.ch(',');
    appendUserBits(t, rec);
    t.ch(',');
    appendDate(t, rec, settings_.dateFormat);
    t.ch(',');
    appendTime(t, rec);
    t.ch(',');
    if (v.shutter != 32767) t.number(shutterDenominator(v.shutter, v.timecodeStyle));
    t.ch(',');
    appendIris(t, v.iris);
    t.ch(',');
    if (v.stabilizer == 1) t.text("ON");
    else if (v.stabilizer == 0) t.text("OFF");
    t.ch(',');
    if (v.gain >= 0 && v.gain < 15) t.number(v.gain * 3 - 3);
    t.ch(',');
    if (v.exposureMode >= 0 && v.exposureMode <= 4) t.text(kExposureNames[v.exposureMode]);
    t.ch(',');
    appendWhiteBalance(t, rec);
    t.ch(',');
    appendFocusDistance(t, v.focus);
    t.ch(',');
    if (v.focus >= 0 && v.focus != 255) t.text((v.focus & 0x80) ? "MANL" : "AUTO");
    t.ch(',');
    if (v.audioSampling >= 0 && v.audioSampling <= 2) t.text(kSamplingNames[v.audioSampling]);
    t.ch(',');
    if (v.audioUnlocked == 0) t.text("LOCKED");
    else if (v.audioUnlocked == 1) t.text("UNLOCKED");
    t.text("\r\n");
    return t.size();
}

bool csvRowSelected(CsvExportMode mode, uint32_t sceneTriggerMask, int64_t n, uint32_t changeBits) {
    switch (mode) {
    case CsvExportMode::kAllFrames: return true;
    case CsvExportMode::kAnyChange: return n == 0 || (changeBits & kCsvChangeBits) != 0;
    case CsvExportMode::kSceneChanges: return n == 0 || (changeBits & kCsvChangeBits & sceneTriggerMask) != 0;
    }
    return false;
}

CsvExporter::CsvExporter(media::DvMediaFile& source, media::File& out, const CsvExportSettings& settings, int64_t offset)
    : source_(source),
      out_(out),
      settings_(settings),
      formatter_(settings, source.linePeriod()),
      start_(offset),
      offset_(offset) {}

bool CsvExporter::write(const char* text, size_t size) {
    if (!out_.writeAt(offset_, text, size)) {
        sysError_ = out_.sysError() ? out_.sysError() : EIO;
        return false;
    }
    offset_ += static_cast<int64_t>(size);
    return true;
}

bool CsvExporter::begin() {
    if (!settings_.header) return true;
    if (!settings_.damageColumns) return write(kHeader, sizeof kHeader - 1);
    std::string line(kHeader, sizeof kHeader - 3);
    line += ',';
    line += kDamageCsvHeader;
    line += "\r\n";
    return write(line.data(), line.size());
}

uint32_t CsvExporter::changeBitsOf(int64_t n) const {
    // The scan has just compared frame n and inserted it into the sets whose test held; frame
    // numbers only grow during a scan, so a set holds n exactly when n is its last member.
    static const core::SceneTrigger kValueTriggers[] = {
        core::kTriggerTimecode,     core::kTriggerUserBits,   core::kTriggerDateTime,      core::kTriggerShutter,
        core::kTriggerIris,         core::kTriggerStabilizer, core::kTriggerGain,          core::kTriggerExposureMode,
        core::kTriggerWhiteBalance, core::kTriggerFocus,      core::kTriggerAudioSampling, core::kTriggerAudioLock,
    };
    const core::SceneSets& sets = source_.sceneSets();
    uint32_t bits = 0;
    for (core::SceneTrigger trigger : kValueTriggers) {
        const auto& set = sets.changes(trigger);
        if (!set.empty() && *set.rbegin() == n) bits |= trigger;
    }
    return bits;
}

bool CsvExporter::onFrame(int64_t n, const MetadataRecord& record, const core::DecodedValues& values) {
    if (settings_.mode != CsvExportMode::kAllFrames) {
        if (!csvRowSelected(settings_.mode, settings_.sceneTriggerMask, n, n > 0 ? changeBitsOf(n) : 0)) return true;
    }
    const size_t size = formatter_.format(n, record, values);
    if (settings_.damageColumns) {
        // The row without its CR LF, the damage columns, then the line end.
        char row[kCsvRowCapacity + kDamageCsvCapacity];
        char columns[kDamageCsvCapacity];
        const size_t base = size - 2;
        std::memcpy(row, formatter_.data(), base);
        const size_t extra = damageCsvColumns(columns, source_.damage());
        std::memcpy(row + base, columns, extra);
        row[base + extra] = '\r';
        row[base + extra + 1] = '\n';
        if (!write(row, base + extra + 2)) return false;
        ++rows_;
        return true;
    }
    if (!write(formatter_.data(), size)) return false;
    ++rows_;
    return true;
}

core::Status exportMetadataCsv(media::DvMediaFile& source, media::File& out, const CsvExportSettings& settings,
                               core::Progress* progress) {
    CsvExporter exporter(source, out, settings);
    if (!exporter.begin()) {
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to export metadata", exporter.sysError());
    }
    core::Status st = runExportScan(source, exporter, progress);
    if (st.code == core::ErrorCode::kWriteFailed) {
        st.message = "Failed to export metadata";
        if (exporter.sysError()) st.sysError = exporter.sysError();
    }
    return st;
}

core::Status exportMetadataCsvFile(const std::string& inPath, const std::string& outPath, const CsvExportSettings& settings,
                                   bool overwrite, core::Progress* progress) {
    media::DvMediaFile source;
    TextOutput out;
    if (core::Status st = openExportFiles(inPath, outPath, overwrite, source, out); !st) return st;
    return out.finish(exportMetadataCsv(source, out.file(), settings, progress));
}

}  // namespace zorv::tools
