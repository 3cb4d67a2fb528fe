// Subtitle export: the camcorder metadata of a DV file as a subtitle track, so that any player shows
// the recording date and time (or every item) over the picture.
//
// Cues are timed on the file's own timeline: frame n starts at n frame durations (1/25 s for 625/50,
// 1001/30000 s for 525/60). Each cue covers one run of frames whose displayed text is the same, so a
// date/time layout changes once a second; a frame that starts a scene (by the scene-trigger mask)
// always starts a new cue. A dropped frame continues the cue before it. The last cue ends with the
// file. SubRip (.srt, CR LF lines) by default, WebVTT (.vtt) on request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/decoded_values.h"
#include "core/error.h"
#include "core/job.h"
#include "core/metadata_record.h"
#include "core/metadata_text.h"
#include "core/options.h"
#include "media/file_io.h"
#include "media/metadata_scan.h"

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::tools {

using core::kSubtitleLayoutCount;
using core::SubtitleLayout;
// The layout's name as the options page lists it; nullptr for a number out of range.
const char* subtitleLayoutName(int layout);

enum class SubtitleFormat : int { kSubRip = 0, kWebVtt = 1 };
// ".srt" or ".vtt".
const char* subtitleExtension(SubtitleFormat format);

struct SubtitleSettings {
    SubtitleLayout layout = SubtitleLayout::kAllMetadata;
    SubtitleFormat format = SubtitleFormat::kSubRip;
    core::DisplaySettings display;     // date order, drop-frame separators, position form, GPS form
    uint32_t sceneTriggerMask = 0x10;  // frames that start a scene start a new cue
    bool showGps = false;              // AVCHD: a GPS line under "All metadata" ("Display Geotagging data")

    static SubtitleSettings fromOptions(const core::Options& options);
};

// Start of frame n on the file's timeline in milliseconds (rounded to the nearest).
int64_t subtitleFrameStartMs(int64_t n, bool pal);

inline constexpr size_t kSubtitleTextCapacity = 256;

// The displayed text of one frame in a layout, in a fixed buffer. Lines are separated by '\n'. The
// date and time layouts give the empty text when the frame has neither a date nor a time pack.
class SubtitleTextFormatter {
public:
    SubtitleTextFormatter(const SubtitleSettings& settings, double linePeriod);
    // Formats frame n; returns the length of data().
    size_t format(int64_t n, const core::MetadataRecord& rec, const core::DecodedValues& v);
    const char* data() const { return buf_; }

private:
    SubtitleSettings settings_;
    double linePeriod_;
    core::ShutterFormatter shutter_;
    char buf_[kSubtitleTextCapacity];
};

// Writes cues one write each: a cue opens with its start time and text and is written when the next
// one opens or when it is closed. A cue whose text is empty is not written (nothing is shown then).
// Text lines are separated by '\n' and written with the format's line end; WebVTT escapes < and &.
class SubtitleCueWriter {
public:
    SubtitleCueWriter(media::File& out, SubtitleFormat format, int64_t offset = 0);

    // Writes the file header (WebVTT only); false on a write failure.
    bool begin();
    // Whether a cue is open and shows exactly this text.
    bool showing(const char* text, size_t size) const;
    // Closes the open cue at startMs and opens the next one.
    bool open(int64_t startMs, const char* text, size_t size);
    // Writes the open cue (if any) ending at endMs (at least 1 ms after its start).
    bool close(int64_t endMs);
    bool isOpen() const { return open_; }

    int64_t cuesWritten() const { return cues_; }
    int sysError() const { return sysError_; }
    int64_t offset() const { return offset_; }

private:
    bool write(const char* text, size_t size);

    media::File& out_;
    SubtitleFormat format_;
    int64_t offset_;
    int64_t cues_ = 0;
    int sysError_ = 0;
    bool open_ = false;
    int64_t startMs_ = 0;
    size_t size_ = 0;
    char text_[kSubtitleTextCapacity];
    char cueBuf_[kSubtitleTextCapacity * 2 + 96];
};

// The scan observer that collects runs of equal text and writes one cue per run (one write each).
class SubtitleWriter : public media::ScanObserver {
public:
    SubtitleWriter(media::DvMediaFile& source, media::File& out, const SubtitleSettings& settings, int64_t offset = 0);

    // Writes the file header (WebVTT only); false on a write failure.
    bool begin();
    bool onFrame(int64_t n, const core::MetadataRecord& record, const core::DecodedValues& values) override;
    // Writes the last cue, ending at the end of the file; false on a write failure.
    bool finish();

    int64_t cuesWritten() const { return cues_.cuesWritten(); }
    int sysError() const { return cues_.sysError(); }

private:
    bool startsScene(int64_t n) const;

    media::DvMediaFile& source_;
    SubtitleSettings settings_;
    SubtitleTextFormatter formatter_;
    SubtitleCueWriter cues_;
    bool pal_;
    int64_t lastFrame_ = -1;  // last frame read
};

// Exports subtitles of an open DV file into out (the file is scanned again from frame 0, reopened
// first when it was already scanned). Errors as for the metadata CSV: write failure 4 with errno,
// cancel 7 "Operation Cancelled", read failures as the scan's. Cues written before a failure stay.
core::Status exportSubtitles(media::DvMediaFile& source, media::File& out, const SubtitleSettings& settings,
                             core::Progress* progress = nullptr);

// The same from paths: creates outPath (failing when it exists unless overwrite).
core::Status exportSubtitlesFile(const std::string& inPath, const std::string& outPath, const SubtitleSettings& settings,
                                 bool overwrite, core::Progress* progress = nullptr);

}  // namespace zorv::tools
