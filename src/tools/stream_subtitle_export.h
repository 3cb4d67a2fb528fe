// Subtitles of HDV and AVCHD streams: the camcorder metadata of each picture as a subtitle track in
// the five layouts of the DV export, timed by the pictures' own times (from the first picture shown).
//
// Each picture's record is first brought into the DV pack shape (see stream_csv_export.h), so the
// date and time read exactly as they do for DV. A cue covers one run of pictures showing the same
// text; it starts at its first picture's time and ends where the next text starts. Pictures that
// carry no metadata show nothing: a run ends at the end of its last picture when the next picture
// with metadata comes later than one picture period. The last cue ends one picture period after the
// last picture.
//
// "All metadata" shows three rows (timecode, time, shutter, gain, white balance / user bits, date,
// iris, focus distance, stabilizer / position, exposure mode, focus mode); the position is the
// picture's time from the first picture as hh:mm:ss.mmm, or its index with "Display file progress
// as frame number". AVCHD pictures with a GPS record add a fourth row (latitude, longitude, altitude,
// speed, track) when "Display Geotagging data for AVCHD files" is set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "core/job.h"
#include "core/metadata_text.h"
#include "tools/stream_csv_export.h"
#include "tools/subtitle_export.h"

namespace zorv::tools {

// The displayed text of one picture, in a fixed buffer ('\n' between lines).
class StreamSubtitleFormatter {
public:
    StreamSubtitleFormatter(const SubtitleSettings& settings, bool avchd);
    size_t format(const StreamPicture& picture);
    const char* data() const { return buf_; }

private:
    SubtitleSettings settings_;
    bool avchd_;
    core::ShutterFormatter shutter_;
    char buf_[kSubtitleTextCapacity];
};

// Groups pictures (in time order) into cues.
class StreamSubtitleWriter {
public:
    // picturePeriod: one picture's duration in 100-ns units.
    StreamSubtitleWriter(media::File& out, const SubtitleSettings& settings, bool avchd, int64_t picturePeriod);

    bool begin() { return cues_.begin(); }
    bool picture(const StreamPicture& picture);
    // Ends the last cue one picture period after the last picture.
    bool finish();

    int64_t cuesWritten() const { return cues_.cuesWritten(); }
    int sysError() const { return cues_.sysError(); }

private:
    StreamSubtitleFormatter formatter_;
    SubtitleCueWriter cues_;
    int64_t period_;
    int64_t lastStart_ = -1;  // 100-ns units; -1 before the first picture
};

// Milliseconds (rounded to the nearest) of a time in 100-ns units.
inline int64_t streamTimeMs(int64_t t) { return (t + 5000) / 10000; }

// Exports the subtitles of the HDV or AVCHD file at inPath into a new outPath (an existing output
// fails unless overwrite). Errors as the DV export: "Failed to export subtitles" with errno on a
// failed write, "Operation Cancelled" on cancel; the cues written before a failure stay.
core::Status exportStreamSubtitlesFile(const std::string& inPath, const std::string& outPath,
                                       const SubtitleSettings& settings, bool overwrite, core::Progress* progress = nullptr);

}  // namespace zorv::tools
