// Joins the results files of several runs over one list (slices, hosts, resumed runs) into one
// results file and one batch log: one line per file, the best word each file got (done over skipped
// over failed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"

namespace zorv::batch {

inline constexpr const char* kLogMergedFrom = "Merged from: ";
inline constexpr const char* kLogNoResult = "ERROR: No result for this file";

struct MergeRequest {
    std::vector<std::string> sources;  // the results files
    std::string results;               // the merged results file
    std::string logFolder;             // the folder of the merged log ("Batch-log.txt", made unique)
    // The list the runs worked on (absolute paths), or empty. When given, the merged lines follow it
    // and its files without a line are reported; else the lines are in the order of the paths.
    std::vector<std::string> list;
    bool overwrite = false;  // an existing merged results file may be replaced
};

struct MergeReport {
    int64_t done = 0, skipped = 0, failed = 0;
    int64_t unreadable = 0;            // lines of the sources that were no record
    std::vector<std::string> missing;  // files of the list without a line
    std::string logPath;
    std::string logWarning;  // the log could not be created (the results were written)
};

// Reads every source, writes the merged results file (complete, or not at all) and the log.
core::Status mergeResultsFiles(const MergeRequest& request, MergeReport& report);

}  // namespace zorv::batch
