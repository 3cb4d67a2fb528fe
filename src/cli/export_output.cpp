#include "cli/export_output.h"

#include <cerrno>
#include <cstring>

#include "cli/cli_common.h"

namespace zorv::cli {

std::string outputPathFor(const std::string& input, const char* suffix) {
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    std::string stem = input;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) stem.resize(dot);
    return stem + suffix;
}

bool createOutput(media::File& out, const std::string& path, bool overwrite) {
    if (out.open(path, overwrite ? media::File::Mode::kCreate : media::File::Mode::kCreateNew)) return true;
    if (out.sysError() == EEXIST) {
        printError("The output file already exists: " + path + " (use --overwrite to replace it)");
    } else {
        printError("Failed to create output file " + path + ": " + std::strerror(out.sysError()));
    }
    return false;
}

void printExportFailure(const core::Status& status) {
    std::string text = status.message.empty() ? "Failed" : status.message;
    if (status.sysError != 0 && status.code != core::ErrorCode::kCancelled) {
        text += ": ";
        text += std::strerror(status.sysError);
    }
    printError(text);
}

}  // namespace zorv::cli
