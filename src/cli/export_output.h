// The output side of the export commands: default output names, creating the output file without
// overwriting, and reporting a failed export.
#pragma once

#include <string>

#include "core/error.h"
#include "media/file_io.h"

namespace zorv::cli {

// The default output name: the input path without its extension, followed by suffix.
std::string outputPathFor(const std::string& input, const char* suffix);

// Creates path for writing; refuses an existing file unless overwrite. Prints the message on failure.
bool createOutput(media::File& out, const std::string& path, bool overwrite);

// Prints a failed export: the message, the system's error text when there is one.
void printExportFailure(const core::Status& status);

}  // namespace zorv::cli
