#include "cli/convert_common.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/cli_common.h"
#include "cli/run_with_progress.h"
#include "media/output_file.h"
#include "tools/dv_convert.h"
#include "tools/system_text.h"

namespace zorv::cli {

std::optional<bool> confirmOutput(const std::string& path, const std::string& input, bool overwrite) {
    const core::Status s = media::checkOutput(path, {overwrite, {input}});
    if (s) return overwrite;
    if (s.code != core::ErrorCode::kOutputExists || !::isatty(STDIN_FILENO)) {
        printError(failureText(s));
        return std::nullopt;
    }
    std::fprintf(stderr, "%s\nThe output file already exists        \n\nDo you wish to overwrite it ? [y/N] ", path.c_str());
    std::string answer;
    if (!std::getline(std::cin, answer) || (answer != "y" && answer != "Y" && answer != "yes")) {
        printError(tools::kOperationCancelled);
        return std::nullopt;
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
    printWarnings(result);
    return 0;
}

}  // namespace zorv::cli
