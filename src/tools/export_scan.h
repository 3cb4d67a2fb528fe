// Running the metadata scan of a DV file with an export writer watching every frame.
#pragma once

#include <string>

#include "core/error.h"
#include "core/job.h"
#include "media/file_io.h"
#include "media/metadata_scan.h"
#include "tools/text_output.h"

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::tools {

// Scans source from frame 0 with observer called for every frame read. A file object that was already
// scanned is reopened first (a scanned file would visit no frame). Returns the file's error: a cancel
// is ErrorCode::kCancelled with "Operation Cancelled"; a refused row is ErrorCode::kWriteFailed, whose
// message and errno the writer fills in.
core::Status runExportScan(media::DvMediaFile& source, media::ScanObserver& observer, core::Progress* progress);

// Opens the output outPath (refused when it is inPath, or exists without overwrite), then opens and
// indexes the DV file inPath into source.
core::Status openExportFiles(const std::string& inPath, const std::string& outPath, bool overwrite,
                             media::DvMediaFile& source, TextOutput& out);

}  // namespace zorv::tools
