// What a batch job reports of each file when it has finished with it: the typed outcome, the file's
// result line, the outputs it wrote and how long it took. The command line writes these as JSON
// lines; a resumed job gets them back for the files an earlier run finished.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorv::batch {

enum class FileOutcome { kPending, kDone, kSkipped, kFailed, kAborted };

struct OutputRecord {
    std::string path;
    int64_t size = -1;  // bytes; -1 when it could not be read
};

struct FileResult {
    std::string path;  // the input, as the log names it (absolute)
    FileOutcome outcome = FileOutcome::kPending;
    bool doneEarlier = false;  // skipped because an earlier run had done it (resume)
    std::string message;       // the file's last log line (result, skip or error line)
    std::vector<OutputRecord> outputs;
    int64_t frames = -1;  // frames of a DV input (from its index); -1 when not known
    double seconds = 0;   // time spent on the file
};

}  // namespace zorv::batch
