#include "tools/subtitle_export.h"

#include <cerrno>
#include <cstring>

#include "core/dv_layout.h"
#include "core/scene_sets.h"
#include "media/dv_media_file.h"
#include "tools/export_scan.h"
#include "tools/text_builder.h"

namespace zorv::tools {

namespace {

using core::MetadataRecord;
using core::TextBuf;
using core::TextVariant;

static const char* const kLayoutNames[kSubtitleLayoutCount] = {
    "All metadata",
    "Date above Time (2 lines)",
    "Time above Date (2 lines)",
    "Date then Time (1 line)",
    "Time then Date (1 line)",
};

// Separator between the items of one line of the "All metadata" block.
constexpr const char* kItemGap = "  ";

void appendItems(TextBuilder& t, const TextBuf* const* items, int count) {
    bool first = true;
    for (int i = 0; i < count; ++i) {
        if (items[i]->s[0] == '\0') continue;
        if (!first) t.text(kItemGap);
        // The frame position is right-aligned with spaces when shown as a frame number.
        const char* s = items[i]->s;
        while (*s == ' ') ++s;
        t.text(s);
        first = false;
    }
}

void appendTimestamp(TextBuilder& t, int64_t ms, char fractionSeparator) {
    t.number(ms / 3600000, 2);
    t.ch(':');
    t.number(ms / 60000 % 60, 2);
    t.ch(':');
    t.number(ms / 1000 % 60, 2);
    t.ch(fractionSeparator);
    t.number(ms % 1000, 3);
}

}  // namespace

const char* subtitleLayoutName(int layout) {
    return layout >= 0 && layout < kSubtitleLayoutCount ? kLayoutNames[layout] : nullptr;
}

const char* subtitleExtension(SubtitleFormat format) { return format == SubtitleFormat::kWebVtt ? ".vtt" : ".srt"; }

SubtitleSettings SubtitleSettings::fromOptions(const core::Options& options) {
    const core::Options o = options.normalized();
    SubtitleSettings s;
    const int layout = o.subtitleLayout;
    s.layout = core::choiceOf<SubtitleLayout>(layout >= 0 && layout < kSubtitleLayoutCount ? layout : 0);
    s.display = core::displaySettingsOf(o);
    s.sceneTriggerMask = o.sceneTriggerMask;
    s.showGps = o.showGpsItems;
    return s;
}

int64_t subtitleFrameStartMs(int64_t n, bool pal) {
    if (pal) return n * 40;
    // 1001/30000 s per frame: n x 1001 / 30 ms, rounded to the nearest millisecond.
    return (n * 1001 + 15) / 30;
}

SubtitleTextFormatter::SubtitleTextFormatter(const SubtitleSettings& settings, double linePeriod)
    : settings_(settings), linePeriod_(linePeriod) {}

size_t SubtitleTextFormatter::format(int64_t n, const MetadataRecord& rec, const core::DecodedValues& v) {
    TextBuilder t(buf_, sizeof buf_ - 1);
    constexpr TextVariant kVariant = TextVariant::MetadataWindow;
    const core::DisplaySettings& d = settings_.display;

    if (settings_.layout == SubtitleLayout::kAllMetadata) {
        // The three rows of the DV fixed layout, top to bottom, each read left to right.
        TextBuf tc, recTime, shutter, gain, wb, userBits, recDate, iris, focusDist, stab, position, expo, focusMode, audio;
        core::formatTimecode(tc, rec, v.timecodeStyle, d, kVariant);
        core::formatRecTime(recTime, rec, kVariant);
        shutter_.format(shutter, rec, v.timecodeStyle, linePeriod_, kVariant);
        core::formatGain(gain, rec, kVariant);
        core::formatWhiteBalance(wb, rec, kVariant);
        core::formatUserBits(userBits, rec, kVariant);
        core::formatRecDate(recDate, rec, d, kVariant);
        core::formatIris(iris, rec, kVariant);
        core::formatFocusDistance(focusDist, rec, kVariant);
        core::formatStabilizer(stab, rec, kVariant);
        core::formatFramePosition(position, n, v.timecodeStyle, d, kVariant);
        core::formatExposureMode(expo, rec, kVariant);
        core::formatFocusMode(focusMode, rec, kVariant);
        core::formatAudioMode(audio, rec, kVariant);
        const TextBuf* row1[] = {&tc, &recTime, &shutter, &gain, &wb};
        const TextBuf* row2[] = {&userBits, &recDate, &iris, &focusDist, &stab};
        const TextBuf* row3[] = {&position, &expo, &focusMode, &audio};
        appendItems(t, row1, 5);
        t.ch('\n');
        appendItems(t, row2, 5);
        t.ch('\n');
        appendItems(t, row3, 4);
    } else if (rec.has(core::pack::kRecDate) || rec.has(core::pack::kRecTime)) {
        TextBuf date, time;
        core::formatRecDate(date, rec, d, kVariant);
        core::formatRecTime(time, rec, kVariant);
        const bool dateFirst =
            settings_.layout == SubtitleLayout::kDateAboveTime || settings_.layout == SubtitleLayout::kDateThenTime;
        const char gap =
            settings_.layout == SubtitleLayout::kDateAboveTime || settings_.layout == SubtitleLayout::kTimeAboveDate ? '\n'
                                                                                                                     : ' ';
        t.text(dateFirst ? date.s : time.s);
        t.ch(gap);
        t.text(dateFirst ? time.s : date.s);
    }
    buf_[t.size()] = '\0';
    return t.size();
}

SubtitleCueWriter::SubtitleCueWriter(media::File& out, SubtitleFormat format, int64_t offset)
    : out_(out), format_(format), offset_(offset) {}

bool SubtitleCueWriter::write(const char* text, size_t size) {
    if (!out_.writeAt(offset_, text, size)) {
        sysError_ = out_.sysError() ? out_.sysError() : EIO;
        return false;
    }
    offset_ += static_cast<int64_t>(size);
    return true;
}

bool SubtitleCueWriter::begin() {
    open_ = false;
    if (format_ == SubtitleFormat::kWebVtt) {
        static const char kVttHeader[] = "WEBVTT\n\n";
        return write(kVttHeader, sizeof kVttHeader - 1);
    }
    return true;
}

bool SubtitleCueWriter::showing(const char* text, size_t size) const {
    return open_ && size == size_ && std::memcmp(text, text_, size) == 0;
}

bool SubtitleCueWriter::open(int64_t startMs, const char* text, size_t size) {
    if (!close(startMs)) return false;
    if (size > sizeof text_) size = sizeof text_;
    open_ = true;
    startMs_ = startMs;
    size_ = size;
    std::memcpy(text_, text, size);
    return true;
}

bool SubtitleCueWriter::close(int64_t endMs) {
    if (!open_) return true;
    open_ = false;
    if (size_ == 0) return true;  // nothing shown over this run
    if (endMs <= startMs_) endMs = startMs_ + 1;
    const bool vtt = format_ == SubtitleFormat::kWebVtt;
    const char* eol = vtt ? "\n" : "\r\n";
    TextBuilder t(cueBuf_, sizeof cueBuf_);
    if (!vtt) {
        t.number(cues_ + 1);
        t.text(eol);
    }
    appendTimestamp(t, startMs_, vtt ? '.' : ',');
    t.text(" --> ");
    appendTimestamp(t, endMs, vtt ? '.' : ',');
    t.text(eol);
    for (size_t i = 0; i < size_; ++i) {
        const char c = text_[i];
        if (c == '\n') {
            t.text(eol);
        } else if (vtt && c == '<') {
            t.text("&lt;");
        } else if (vtt && c == '&') {
            t.text("&amp;");
        } else {
            t.ch(c);
        }
    }
    t.text(eol);
    t.text(eol);
    if (!write(t.data(), t.size())) return false;
    ++cues_;
    return true;
}

SubtitleWriter::SubtitleWriter(media::DvMediaFile& source, media::File& out, const SubtitleSettings& settings,
                               int64_t offset)
    : source_(source),
      settings_(settings),
      formatter_(settings, source.linePeriod()),
      cues_(out, settings.format, offset),
      pal_(core::dv::isPal(source.frameSize())) {}

bool SubtitleWriter::begin() {
    lastFrame_ = -1;
    return cues_.begin();
}

bool SubtitleWriter::startsScene(int64_t n) const {
    if (n == 0) return false;
    const core::SceneSets& sets = source_.sceneSets();
    const uint32_t mask = settings_.sceneTriggerMask;
    // Frames only grow during a scan: a set holds n exactly when n is its last member.
    static const core::SceneTrigger kTriggers[] = {
        core::kTriggerTimecode,     core::kTriggerUserBits,   core::kTriggerDateTime,      core::kTriggerShutter,
        core::kTriggerIris,         core::kTriggerStabilizer, core::kTriggerGain,          core::kTriggerExposureMode,
        core::kTriggerWhiteBalance, core::kTriggerFocus,      core::kTriggerAudioSampling, core::kTriggerAudioLock,
        core::kTriggerTapeIndex,
    };
    for (core::SceneTrigger trigger : kTriggers) {
        if (!(mask & trigger)) continue;
        const auto& set = sets.changes(trigger);
        if (!set.empty() && *set.rbegin() == n) return true;
    }
    // Dropped frames just before this one cut the scene when they are selected.
    return (mask & core::kTriggerDroppedFrame) && lastFrame_ >= 0 && n > lastFrame_ + 1;
}

bool SubtitleWriter::onFrame(int64_t n, const MetadataRecord& record, const core::DecodedValues& values) {
    const size_t size = formatter_.format(n, record, values);
    if (!cues_.showing(formatter_.data(), size) || startsScene(n)) {
        if (!cues_.open(subtitleFrameStartMs(n, pal_), formatter_.data(), size)) return false;
    }
    lastFrame_ = n;
    return true;
}

bool SubtitleWriter::finish() { return cues_.close(subtitleFrameStartMs(source_.frameCount(), pal_)); }

core::Status exportSubtitles(media::DvMediaFile& source, media::File& out, const SubtitleSettings& settings,
                             core::Progress* progress) {
    SubtitleWriter writer(source, out, settings);
    auto writeFailure = [&] {
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to export subtitles", writer.sysError());
    };
    if (!writer.begin()) return writeFailure();
    core::Status st = runExportScan(source, writer, progress);
    if (st.code == core::ErrorCode::kWriteFailed) return writeFailure();
    if (!st) return st;
    if (!writer.finish()) return writeFailure();
    return core::Status::success();
}

core::Status exportSubtitlesFile(const std::string& inPath, const std::string& outPath, const SubtitleSettings& settings,
                                 bool overwrite, core::Progress* progress) {
    media::DvMediaFile source;
    TextOutput out;
    if (core::Status st = openExportFiles(inPath, outPath, overwrite, source, out); !st) return st;
    return out.finish(exportSubtitles(source, out.file(), settings, progress));
}

}  // namespace zorv::tools
