// Where a report of the command line goes: standard output (no name, or "-"), or a file written under
// the output rules (a temporary file beside the final name, renamed into place only after success).
#pragma once

#include <string>
#include <vector>

#include "core/error.h"
#include "media/file_io.h"
#include "media/output_file.h"

namespace zorv::cli {

class ReportOutput {
public:
    // path empty or "-": standard output. inputs are the files the run reads.
    core::Status open(const std::string& path, bool overwrite, const std::vector<std::string>& inputs);
    int fd() const { return toStdout_ ? 1 : file_.fd(); }
    // Closes the file and gives it its final name (nothing to do for standard output).
    core::Status commit();

private:
    bool toStdout_ = true;
    media::OutputFile out_;
    media::File file_;
};

}  // namespace zorv::cli
