// The output side of the export commands: default output names, their shared options and reporting a
// failed export.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/option_parser.h"

#include "core/error.h"
#include "core/job.h"
#include "core/options.h"
#include "media/file_io.h"

namespace zorv::cli {

// The default output name: the input path without its extension, followed by suffix.
std::string outputPathFor(const std::string& input, const char* suffix);

// Options the export commands share: --triggers, --date-format, --df-format, --frame-numbers,
// -o/--output and --overwrite. A missing value is reported by the option (the usage for -o).
std::vector<CliOption> exportOptions(core::Options& options, std::string& output, bool& overwrite, void (*usage)(FILE*));

// Prints a failed export: the message, the system's error text when there is one.
void printExportFailure(const core::Status& status);

// Runs an export under the progress display labelled label and returns the command's exit status: 0,
// or 1 after printing the failure.
int runExport(const std::string& label, const std::function<core::Status(core::Progress*)>& work);

}  // namespace zorv::cli
