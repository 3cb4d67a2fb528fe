#include "cli/convert_common.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/cli_common.h"
#include "cli/run_with_progress.h"

namespace zorv::cli {

bool confirmOutput(const std::string& path, bool overwrite) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    if (!overwrite) {
        if (!::isatty(STDIN_FILENO)) {
            printError("The output file already exists: " + path + " (use --overwrite)");
            return false;
        }
        std::fprintf(stderr, "%s\nThe output file already exists        \n\nDo you wish to overwrite it ? [y/N] ",
                     path.c_str());
        std::string answer;
        if (!std::getline(std::cin, answer) || (answer != "y" && answer != "Y" && answer != "yes")) return false;
    }
    if (!std::filesystem::remove(path, ec) || ec) {
        printError("Unable to delete/overwrite file");
        return false;
    }
    return true;
}

int runJob(core::Job& job, const std::string& label, const char* completeText) {
    core::Status result;
    runWithProgress(label, job.progress(), [&] {
        if (!job.start()) {
            result = core::Status::failure(core::ErrorCode::kOpenFailed, "Could not run graph");
            return false;
        }
        result = job.wait();
        return result.ok();
    });
    if (!result) {
        printError(failureText(result));
        return 1;
    }
    std::fprintf(stderr, "%s\n", completeText);
    return 0;
}

}  // namespace zorv::cli
