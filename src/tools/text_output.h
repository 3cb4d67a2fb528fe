// Where an export, subtitle or track file goes: a file the user named, written under a temporary
// name and renamed into place when the export succeeded, or standard output for the name "-".
#pragma once

#include <string>

#include "core/error.h"
#include "media/file_io.h"
#include "media/output_file.h"

namespace zorv::tools {

inline constexpr const char* kStandardOutputName = "-";

class TextOutput {
public:
    // Refuses an output that is input, or an existing one without overwrite (see media::checkOutput).
    core::Status open(const std::string& path, const std::string& input, bool overwrite);
    media::File& file() { return file_; }
    // The end of the export: the file takes its name after a success and is removed after anything else.
    core::Status finish(core::Status result);

private:
    media::File file_;
    media::OutputFile output_;
};

}  // namespace zorv::tools
