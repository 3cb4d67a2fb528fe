// Metadata export: one comma-separated line of fifteen fields per selected frame of a DV file, for
// reading the camcorder metadata into a spreadsheet. The rows are written from inside the metadata
// scan, so the file is read once and every row sees the same change tests the scene list is built
// from.
//
// Columns, in order: position, timecode, user bits, recording date, recording time, shutter, iris,
// stabilizer, gain, exposure mode, white balance, focus distance, focus mode, audio sampling, audio
// lock. An absent item is an empty field, so every row has fourteen commas; lines end in CR LF and no
// field is quoted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/decoded_values.h"
#include "core/error.h"
#include "core/job.h"
#include "core/metadata_record.h"
#include "core/options.h"
#include "media/file_io.h"
#include "media/metadata_scan.h"

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::tools {

// Which frames get a row.
using CsvExportMode = core::ExportFrequency;

struct CsvExportSettings {
    CsvExportMode mode = CsvExportMode::kAnyChange;
    bool header = false;                 // "Export header"
    uint32_t sceneTriggerMask = 0x10;    // selects the items of mode 2
    core::DateFormat dateFormat = core::DateFormat::kDayMonthYear;  // outside the choices: yyyy-mm-dd
    core::DropFrameDisplay dropFrameFormat = core::DropFrameDisplay::kBeforeFrames;
    bool progressAsFrameNumber = false;  // position column as a frame number
    bool damageColumns = false;          // the damage record's columns after the fifteen

    // The export settings of the option record (with its "reads as" rules applied).
    static CsvExportSettings fromOptions(const core::Options& options);
};

// The header line naming the fifteen columns in order, CR LF included.
const char* csvHeaderLine();

// Longest possible row: fifteen fields of bounded width, commas and CR LF.
inline constexpr size_t kCsvRowCapacity = 256;

// Formats one frame's row into a fixed buffer. Keeps the last shutter code and its denominator so
// that runs of the same code are converted once.
class CsvRowFormatter {
public:
    // timecodeStyle comes from the decoded values of each row; linePeriod is the file's (seconds per
    // video line, for the shutter conversion).
    CsvRowFormatter(const CsvExportSettings& settings, double linePeriod);

    // Formats frame n's row; the record must be the scan's own record, whose payload bytes of an
    // absent pack are those of the last frame that had it (the position column reads the drop-frame
    // flag from there). Returns the length in bytes (CR LF included); the text is data().
    size_t format(int64_t n, const core::MetadataRecord& rec, const core::DecodedValues& v);
    const char* data() const { return buf_; }

private:
    int64_t shutterDenominator(int code, int timecodeStyle);

    CsvExportSettings settings_;
    double linePeriod_;
    int lastShutterCode_ = -1;
    int lastShutterStyle_ = -1;
    int64_t lastShutterValue_ = 0;
    char buf_[kCsvRowCapacity];
};

// The change-test bits (scene-trigger bits) that select a row in modes 1 and 2: every value change
// and discontinuity, but not tape index points or dropped frames.
inline constexpr uint32_t kCsvChangeBits =
    0x1 | 0x2 | 0x10 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x1000 | 0x4000 | 0x8000 | 0x10000;

// Whether frame n (read, not dropped) gets a row, given the change tests that held for it.
bool csvRowSelected(CsvExportMode mode, uint32_t sceneTriggerMask, int64_t n, uint32_t changeBits);

// The scan observer that writes the rows. The output file must be open for writing; rows are written
// one write each from the given offset on.
class CsvExporter : public media::ScanObserver {
public:
    CsvExporter(media::DvMediaFile& source, media::File& out, const CsvExportSettings& settings, int64_t offset = 0);

    // Writes the header line when the settings ask for one; false on a write failure.
    bool begin();
    bool onFrame(int64_t n, const core::MetadataRecord& record, const core::DecodedValues& values) override;

    int sysError() const { return sysError_; }

private:
    bool write(const char* text, size_t size);
    uint32_t changeBitsOf(int64_t n) const;

    media::DvMediaFile& source_;
    media::File& out_;
    CsvExportSettings settings_;
    CsvRowFormatter formatter_;
    int64_t start_;
    int64_t offset_;
    int64_t rows_ = 0;
    int sysError_ = 0;
};

// Exports the metadata of an open DV file into out. The file is scanned again from frame 0 (a file
// object that was already scanned is reopened first), so its scene sets are rebuilt on the way.
// Errors: a failed row write is ErrorCode::kWriteFailed with errno; a cancel through progress is
// ErrorCode::kCancelled, "Operation Cancelled"; read failures are the scan's. Rows written before a
// failure stay in the file.
core::Status exportMetadataCsv(media::DvMediaFile& source, media::File& out, const CsvExportSettings& settings,
                               core::Progress* progress = nullptr);

// The same from paths: opens the DV file, creates outPath (failing when it exists unless overwrite)
// and exports into it.
core::Status exportMetadataCsvFile(const std::string& inPath, const std::string& outPath, const CsvExportSettings& settings,
                                   bool overwrite, core::Progress* progress = nullptr);

}  // namespace zorv::tools
