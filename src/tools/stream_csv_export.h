// Metadata export of HDV and AVCHD streams: the fifteen columns of the DV export, one row per selected
// picture, plus five GPS columns (latitude, longitude, altitude, speed, track) that AVCHD camcorders
// with a receiver fill and that stay empty for HDV. Each picture's record is brought into the DV pack
// shape first (HDV keeps its timecode as a frame count; AVCHD keeps its date and time in tags
// 0x18/0x19), so the columns read exactly as they do for DV. The position column is the picture
// index, or the picture's time from the first picture as hh:mm:ss.mmm.
//
// Modes 1 and 2 select the pictures at which a value differs from the previous picture's, or the
// timecode or recording date/time jumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/decoded_values.h"
#include "core/error.h"
#include "core/job.h"
#include "core/metadata_record.h"
#include "media/file_type.h"
#include "tools/csv_export.h"

namespace zorv::media {
struct HdvMetadataRecord;
struct AvchdMetadataRecord;
}  // namespace zorv::media

namespace zorv::tools {

// One picture brought into the DV shape.
struct StreamPicture {
    int64_t index = 0;
    int64_t startTime = 0;        // 100-ns units from the first picture
    int64_t timecodeFrames = -1;  // the timecode as a frame count of values.timecodeStyle; -1 when none
    core::MetadataRecord record;
    core::DecodedValues values;
};

// HDV: the main packs, with pack 0x13 made from the record's timecode frame count.
void hdvStreamPicture(const media::HdvMetadataRecord& in, StreamPicture& out);
// AVCHD: the tags of the record, with packs 0x62/0x63 made from tags 0x18/0x19; timecodeStyle is the
// stream's (2 for 25/50 pictures a second, 4 otherwise).
void avchdStreamPicture(const media::AvchdMetadataRecord& in, int timecodeStyle, StreamPicture& out);

// Change and discontinuity bits (core::SceneTrigger values) of cur against the previous picture.
uint32_t streamChangeBits(const StreamPicture& prev, const StreamPicture& cur);

inline constexpr size_t kStreamCsvRowCapacity = kCsvRowCapacity + 5 * 64;

// Formats one picture's row into a fixed buffer.
class StreamRowFormatter {
public:
    StreamRowFormatter(const CsvExportSettings& settings, bool avchd);
    size_t format(const StreamPicture& picture);
    const char* data() const { return buf_; }

private:
    CsvExportSettings settings_;
    bool avchd_;
    CsvRowFormatter dv_;
    char buf_[kStreamCsvRowCapacity];
};

// Whether the stream export takes files of this type (HDV 1080 and 720, AVCHD).
bool isStreamExportType(media::FileType type);

// Exports the metadata of an HDV or AVCHD file at inPath into a new outPath (an existing output fails
// unless overwrite). Errors as the DV export: "Failed to export metadata" with errno on a failed
// write, "Operation Cancelled" on cancel; the rows written before a failure stay in the file.
core::Status exportStreamMetadataCsvFile(const std::string& inPath, const std::string& outPath,
                                         const CsvExportSettings& settings, bool overwrite,
                                         core::Progress* progress = nullptr);

}  // namespace zorv::tools
