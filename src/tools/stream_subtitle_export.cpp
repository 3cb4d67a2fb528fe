#include "tools/stream_subtitle_export.h"

#include <cerrno>
#include <cstdio>

#include "core/metadata_record.h"
#include "media/avchd_avc_reader.h"
#include "media/file_io.h"
#include "media/hdv_aux_items.h"
#include "media/hdv_stream_info.h"
#include "media/recognize.h"
#include "tools/stream_picture_walk.h"
#include "tools/text_output.h"
#include "tools/text_builder.h"

namespace zorv::tools {

namespace {

using core::TextBuf;
using core::TextVariant;

constexpr const char* kItemGap = "  ";
constexpr int64_t kSecond = 10000000;  // 100-ns units

// Appends the non-empty items with a gap between them; the right-aligned frame numbers lose their
// leading spaces.
void appendItems(TextBuilder& t, const TextBuf* const* items, int count) {
    bool first = true;
    for (int i = 0; i < count; ++i) {
        const char* s = items[i]->s;
        while (*s == ' ') ++s;
        if (*s == '\0') continue;
        if (!first) t.text(kItemGap);
        t.text(s);
        first = false;
    }
}

void pictureTime(TextBuf& out, int64_t start) {
    const int64_t ms = streamTimeMs(start < 0 ? 0 : start);
    std::snprintf(out.s, sizeof out.s, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3600000),
                  static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
}

// One picture period of a rate num/den pictures a second; 29.97 when the stream gives none.
int64_t periodFromRate(int64_t num, int64_t den) {
    if (num <= 0 || den <= 0) return kSecond * 1001 / 30000;
    return kSecond * den / num;
}

core::Status writeFailed(int sysError) {
    return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to export subtitles", sysError);
}

}  // namespace

StreamSubtitleFormatter::StreamSubtitleFormatter(const SubtitleSettings& settings, bool avchd)
    : settings_(settings), avchd_(avchd) {}

size_t StreamSubtitleFormatter::format(const StreamPicture& p) {
    TextBuilder t(buf_, sizeof buf_ - 1);
    const core::MetadataRecord& rec = p.record;
    const core::DisplaySettings& d = settings_.display;
    // The date and time are DV packs by now; the AVCHD forms differ in the timecode (30-frame
    // material is drop-frame) and the iris (tag 0xA1 when the camera pack is absent).
    constexpr TextVariant kDv = TextVariant::MetadataWindow;
    const TextVariant own = avchd_ ? TextVariant::Avchd : TextVariant::MetadataWindow;
    const int style = p.values.timecodeStyle;

    if (settings_.layout == SubtitleLayout::kAllMetadata) {
        TextBuf tc, recTime, shutter, gain, wb, userBits, recDate, iris, focusDist, stab, position, expo, focusMode;
        core::formatTimecode(tc, rec, style, d, own);
        core::formatRecTime(recTime, rec, kDv);
        shutter_.format(shutter, rec, style, media::kHdShutterLinePeriod, kDv);
        core::formatGain(gain, rec, kDv);
        core::formatWhiteBalance(wb, rec, kDv);
        core::formatUserBits(userBits, rec, kDv);
        core::formatRecDate(recDate, rec, d, kDv);
        core::formatIris(iris, rec, own);
        core::formatFocusDistance(focusDist, rec, kDv);
        core::formatStabilizer(stab, rec, kDv);
        if (d.progressAsFrameNumber) std::snprintf(position.s, sizeof position.s, "%lld", static_cast<long long>(p.index));
        else pictureTime(position, p.startTime);
        core::formatExposureMode(expo, rec, kDv);
        core::formatFocusMode(focusMode, rec, kDv);
        const TextBuf* row1[] = {&tc, &recTime, &shutter, &gain, &wb};
        const TextBuf* row2[] = {&userBits, &recDate, &iris, &focusDist, &stab};
        const TextBuf* row3[] = {&position, &expo, &focusMode};
        appendItems(t, row1, 5);
        t.ch('\n');
        appendItems(t, row2, 5);
        t.ch('\n');
        appendItems(t, row3, 3);
        if (avchd_ && settings_.showGps && rec.has(0xB0)) {
            TextBuf lat, lon, alt, speed, track;
            core::formatLatitude(lat, rec, d, TextVariant::Avchd);
            core::formatLongitude(lon, rec, d, TextVariant::Avchd);
            core::formatAltitude(alt, rec, TextVariant::Avchd);
            core::formatSpeed(speed, rec, TextVariant::Avchd);
            core::formatTrack(track, rec, TextVariant::Avchd);
            const TextBuf* row4[] = {&lat, &lon, &alt, &speed, &track};
            t.ch('\n');
            appendItems(t, row4, 5);
        }
    } else if (rec.has(core::pack::kRecDate) || rec.has(core::pack::kRecTime)) {
        TextBuf date, time;
        core::formatRecDate(date, rec, d, kDv);
        core::formatRecTime(time, rec, kDv);
        const SubtitleLayout l = settings_.layout;
        const bool dateFirst = l == SubtitleLayout::kDateAboveTime || l == SubtitleLayout::kDateThenTime;
        const char gap = l == SubtitleLayout::kDateAboveTime || l == SubtitleLayout::kTimeAboveDate ? '\n' : ' ';
        t.text(dateFirst ? date.s : time.s);
        t.ch(gap);
        t.text(dateFirst ? time.s : date.s);
    }
    buf_[t.size()] = '\0';
    return t.size();
}

StreamSubtitleWriter::StreamSubtitleWriter(media::File& out, const SubtitleSettings& settings, bool avchd,
                                           int64_t picturePeriod)
    : formatter_(settings, avchd), cues_(out, settings.format), period_(picturePeriod > 0 ? picturePeriod : 1) {}

bool StreamSubtitleWriter::picture(const StreamPicture& p) {
    const size_t size = formatter_.format(p);
    // Pictures without metadata between the last one and this one show nothing.
    const bool gap = lastStart_ >= 0 && p.startTime - lastStart_ > period_ + period_ / 2;
    if (gap && !cues_.close(streamTimeMs(lastStart_ + period_))) return false;
    if (!cues_.showing(formatter_.data(), size)) {
        if (!cues_.open(streamTimeMs(p.startTime), formatter_.data(), size)) return false;
    }
    lastStart_ = p.startTime;
    return true;
}

bool StreamSubtitleWriter::finish() {
    if (lastStart_ < 0) return true;
    return cues_.close(streamTimeMs(lastStart_ + period_));
}

core::Status exportStreamSubtitlesFile(const std::string& inPath, const std::string& outPath,
                                       const SubtitleSettings& settings, bool overwrite, core::Progress* progress) {
    TextOutput out;
    core::Status st = out.open(outPath, inPath, overwrite);
    if (!st) return st;
    // The stream's picture rate times the last cue.
    StreamWalk walk;
    st = openStreamWalk(inPath, walk, progress);
    if (!st) return st;
    int64_t period = 0;
    if (walk.avchd) {
        period = walk.avchdRate > 1.0 ? static_cast<int64_t>(kSecond / walk.avchdRate + 0.5) : periodFromRate(0, 0);
    } else {
        int num = 0, den = 1;
        media::mpegFrameRate(walk.hdv.video.frameRateCode, num, den);
        period = periodFromRate(num, den);
    }

    StreamSubtitleWriter writer(out.file(), settings, walk.avchd, period);
    if (!writer.begin()) return writeFailed(writer.sysError());
    st = walkStreamPictures(walk, progress, [&](const StreamPicture& p) { return writer.picture(p); });
    if (st.code == core::ErrorCode::kWriteFailed) return writeFailed(writer.sysError());
    if (!st) return st;
    if (!writer.finish()) return writeFailed(writer.sysError());
    return out.finish(st);
}

}  // namespace zorv::tools
