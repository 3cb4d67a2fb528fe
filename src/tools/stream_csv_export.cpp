#include "tools/stream_csv_export.h"

#include <cerrno>
#include <cstring>

#include "core/avchd_date.h"
#include "core/dv_decode.h"
#include "core/metadata_text.h"
#include "core/scene_sets.h"
#include "core/timecode.h"
#include "media/formats/format_table.h"
#include "media/avchd_avc_reader.h"
#include "media/file_io.h"
#include "media/hdv_stream_info.h"
#include "media/recognize.h"
#include "tools/stream_picture_walk.h"
#include "tools/text_output.h"
#include "tools/text_builder.h"

namespace zorv::tools {

namespace {

namespace pack = core::pack;

static const char kHeader[] =
    "Position,Timecode,User Bits,Recording Date,Recording Time,Shutter,Iris,Stabilizer,Gain,"
    "Exposure Mode,White Balance,Focus Distance,Focus Mode,Audio Sampling,Audio Lock,"
    "Latitude,Longitude,Altitude,Speed,Track\r\n";

uint8_t toBcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

void setRates(core::DecodedValues& v, int style) {
    v.timecodeStyle = style;
    v.frameRate = style == 2 ? 25 : 30;
    v.fieldRate = v.frameRate * 2;
}

// Appends a GPS text, leaving the field empty for the placeholder an absent item reads as.
void appendGps(TextBuilder& t, const core::TextBuf& b) {
    const char* s = b.c_str();
    bool placeholder = true;
    for (const char* p = s; *p; ++p) {
        if (*p != '-') placeholder = false;
    }
    if (!placeholder) t.text(s);
}

}  // namespace

void hdvStreamPicture(const media::HdvMetadataRecord& in, StreamPicture& out) {
    out.record = in.toPackTable();
    out.startTime = in.startTime;
    const int style = in.timecodeStyle == 2 || in.timecodeStyle == 3 || in.timecodeStyle == 4 ? in.timecodeStyle : 4;
    out.timecodeFrames = in.timecode >= 0 ? in.timecode : -1;
    if (out.timecodeFrames >= 0) {
        const core::Timecode tc = core::framesToTimecode(out.timecodeFrames, style);
        const uint8_t frames = static_cast<uint8_t>(toBcd(tc.frames) | (core::isDropFrameStyle(style) ? 0x40 : 0));
        out.record.set(pack::kTimecode, frames, toBcd(tc.seconds), toBcd(tc.minutes), toBcd(tc.hours));
    }
    core::DecodedValues v;
    setRates(v, style);
    core::decodeRecord(out.record, v);
    out.values = v;
}

void avchdStreamPicture(const media::AvchdMetadataRecord& in, int timecodeStyle, StreamPicture& out) {
    in.toMetadataRecord(out.record);
    out.startTime = in.startTime;
    core::AvchdDateTime dt;
    const bool dated = core::decodeAvchdDateTime(out.record, dt);
    if (dated) {
        out.record.set(pack::kRecDate, 0xFF, toBcd(dt.day), toBcd(dt.month), toBcd(dt.year % 100));
        out.record.set(pack::kRecTime, 0xFF, toBcd(dt.second), toBcd(dt.minute), toBcd(dt.hour));
    }
    core::DecodedValues v;
    setRates(v, timecodeStyle);
    core::decodeRecord(out.record, v);
    v.recValid = dated;
    v.recSeconds = dated ? dt.seconds : 0;
    out.values = v;
    out.timecodeFrames = -1;
    if (v.tcHours >= 0 && v.tcMinutes >= 0 && v.tcSeconds >= 0 && v.tcFrames >= 0) {
        out.timecodeFrames =
            core::timecodeToFrames(core::Timecode{v.tcHours, v.tcMinutes, v.tcSeconds, v.tcFrames}, timecodeStyle);
    }
}

uint32_t streamChangeBits(const StreamPicture& prev, const StreamPicture& cur) {
    const core::DecodedValues& a = prev.values;
    const core::DecodedValues& b = cur.values;
    uint32_t bits = 0;
    if ((prev.timecodeFrames < 0) != (cur.timecodeFrames < 0)) {
        bits |= core::kTriggerTimecode;
    } else if (cur.timecodeFrames >= 0) {
        const int64_t day = core::framesPerDay(b.timecodeStyle);
        const int64_t expected = day > 0 ? (prev.timecodeFrames + 1) % day : prev.timecodeFrames + 1;
        if (cur.timecodeFrames != expected && cur.timecodeFrames != prev.timecodeFrames) bits |= core::kTriggerTimecode;
    }
    if (a.userBits != b.userBits) bits |= core::kTriggerUserBits;
    if (a.recValid != b.recValid) {
        bits |= core::kTriggerDateTime;
    } else if (b.recValid) {
        const int64_t step = b.recSeconds - a.recSeconds;
        if (step != 0 && step != 1) bits |= core::kTriggerDateTime;
    }
    if (a.shutter != b.shutter) bits |= core::kTriggerShutter;
    if (a.iris != b.iris) bits |= core::kTriggerIris;
    if (a.stabilizer != b.stabilizer) bits |= core::kTriggerStabilizer;
    if (a.gain != b.gain) bits |= core::kTriggerGain;
    if (a.exposureMode != b.exposureMode) bits |= core::kTriggerExposureMode;
    if (a.whiteBalance != b.whiteBalance) bits |= core::kTriggerWhiteBalance;
    if (a.focus != b.focus) bits |= core::kTriggerFocus;
    if (a.audioSampling != b.audioSampling) bits |= core::kTriggerAudioSampling;
    if (a.audioUnlocked != b.audioUnlocked) bits |= core::kTriggerAudioLock;
    return bits;
}

static CsvExportSettings dvColumnSettings(CsvExportSettings s) {
    s.progressAsFrameNumber = true;  // the position column is replaced below
    return s;
}

StreamRowFormatter::StreamRowFormatter(const CsvExportSettings& settings, bool avchd)
    : settings_(settings), avchd_(avchd), dv_(dvColumnSettings(settings), media::kHdShutterLinePeriod) {}

size_t StreamRowFormatter::format(const StreamPicture& picture) {
    const size_t dvSize = dv_.format(picture.index, picture.record, picture.values);
    const char* dv = dv_.data();
    const char* firstComma = static_cast<const char*>(std::memchr(dv, ',', dvSize));
    TextBuilder t(buf_, sizeof buf_);
    if (settings_.progressAsFrameNumber) {
        t.number(picture.index);
    } else {
        const int64_t ms = (picture.startTime < 0 ? 0 : picture.startTime) / 10000;
        t.number(static_cast<int>(ms / 3600000), 2);
        t.ch(':');
        t.number(static_cast<int>(ms / 60000 % 60), 2);
        t.ch(':');
        t.number(static_cast<int>(ms / 1000 % 60), 2);
        t.ch('.');
        t.number(static_cast<int>(ms % 1000), 3);
    }
    // The DV columns after the position, without their CR LF.
    const size_t restSize = dvSize - static_cast<size_t>(firstComma - dv) - 2;
    t.text(firstComma, restSize);
    core::TextBuf b;
    core::DisplaySettings ds;
    ds.gpsDecimal = true;
    const auto variant = core::TextVariant::Avchd;
    t.ch(',');
    if (avchd_) {
        // Signed decimal degrees without the degree sign, empty when absent: the burn-in form.
        core::formatLatitude(b, picture.record, ds, core::TextVariant::AvchdBurnIn);
        appendGps(t, b);
    }
    t.ch(',');
    if (avchd_) {
        core::formatLongitude(b, picture.record, ds, core::TextVariant::AvchdBurnIn);
        appendGps(t, b);
    }
    t.ch(',');
    if (avchd_) {
        core::formatAltitude(b, picture.record, variant);
        appendGps(t, b);
    }
    t.ch(',');
    if (avchd_) {
        core::formatSpeed(b, picture.record, variant);
        appendGps(t, b);
    }
    t.ch(',');
    if (avchd_) {
        core::formatTrack(b, picture.record, variant);
        appendGps(t, b);
    }
    t.text("\r\n");
    return t.size();
}

bool isStreamExportType(media::FileType type) { return media::formatOf(type).has(media::format_tool::kStreamExport); }

namespace {

// Writes the selected rows one write each.
class StreamRowWriter {
public:
    StreamRowWriter(media::File& out, const CsvExportSettings& settings, bool avchd)
        : out_(out), settings_(settings), formatter_(settings, avchd) {}

    bool header() { return !settings_.header || write(kHeader, sizeof kHeader - 1); }

    bool picture(const StreamPicture& p) {
        const bool first = !havePrev_;
        const uint32_t bits = first ? 0 : streamChangeBits(prev_, p);
        prev_ = p;
        havePrev_ = true;
        if (!csvRowSelected(settings_.mode, settings_.sceneTriggerMask, first ? 0 : 1, bits)) return true;
        const size_t n = formatter_.format(p);
        return write(formatter_.data(), n);
    }

    int sysError() const { return sysError_; }

private:
    bool write(const char* s, size_t n) {
        if (!out_.writeAt(offset_, s, n)) {
            sysError_ = out_.sysError() ? out_.sysError() : EIO;
            return false;
        }
        offset_ += static_cast<int64_t>(n);
        return true;
    }

    media::File& out_;
    CsvExportSettings settings_;
    StreamRowFormatter formatter_;
    StreamPicture prev_;
    bool havePrev_ = false;
    int64_t offset_ = 0;
    int sysError_ = 0;
};

core::Status writeFailed(int sysError) {
    return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to export metadata", sysError);
}

}  // namespace

core::Status exportStreamMetadataCsvFile(const std::string& inPath, const std::string& outPath,
                                         const CsvExportSettings& settings, bool overwrite, core::Progress* progress) {
    TextOutput out;
    core::Status st = out.open(outPath, inPath, overwrite);
    if (!st) return st;
    StreamWalk walk;
    st = openStreamWalk(inPath, walk, progress);
    if (!st) return st;
    StreamRowWriter writer(out.file(), settings, walk.avchd);
    if (!writer.header()) return writeFailed(writer.sysError());
    st = walkStreamPictures(walk, progress, [&](const StreamPicture& p) { return writer.picture(p); });
    if (st.code == core::ErrorCode::kWriteFailed) return writeFailed(writer.sysError());
    return out.finish(st);
}

}  // namespace zorv::tools
