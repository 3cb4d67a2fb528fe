// Running the metadata scan of a DV file with an export writer watching every frame.
#pragma once

#include <string>

#include "core/error.h"
#include "core/job.h"
#include "media/file_io.h"
#include "media/metadata_scan.h"

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::tools {

// Scans source from frame 0 with observer called for every frame read. A file object that was already
// scanned is reopened first (a scanned file would visit no frame). Returns the file's error: a cancel
// is ErrorCode::kCancelled with "Operation Cancelled"; a refused row is ErrorCode::kWriteFailed, whose
// message and errno the writer fills in.
core::Status runExportScan(media::DvMediaFile& source, media::ScanObserver& observer, core::Progress* progress);

// Opens and indexes the DV file inPath into source and creates outPath for writing into out. An
// existing output is an error ("The output file already exists") unless overwrite is set.
core::Status openExportFiles(const std::string& inPath, const std::string& outPath, bool overwrite,
                             media::DvMediaFile& source, media::File& out);

}  // namespace zorv::tools
