#include "cli/export_output.h"

#include <cerrno>
#include <cstring>

#include "cli/cli_common.h"
#include "cli/convert_common.h"
#include "cli/run_with_progress.h"
#include "core/option_fields.h"

namespace zorv::cli {

std::string outputPathFor(const std::string& input, const char* suffix) {
    const size_t slash = input.find_last_of('/');
    const size_t dot = input.find_last_of('.');
    std::string stem = input;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) stem.resize(dot);
    return stem + suffix;
}

void printExportFailure(const core::Status& status) {
    std::string text = status.message;
    if (text.empty()) {
        // A reader that failed without a text of its own: name the kind of failure.
        switch (status.code) {
        case core::ErrorCode::kReadFailed: text = "Failed to read file"; break;
        case core::ErrorCode::kWriteFailed: text = "Failed writing to output file"; break;
        case core::ErrorCode::kOutOfMemory: text = "Out of memory."; break;
        default: text = "Failed"; break;
        }
    }
    if (status.code != core::ErrorCode::kCancelled)
        text = failureText(core::Status::failure(status.code, text, status.sysError));
    printError(text);
}

std::vector<CliOption> exportOptions(core::Options& options, std::string& output, bool& overwrite, void (*usage)(FILE*)) {
    return {
        {core::optionField(&core::Options::sceneTriggerMask).cliName,
         {},
         true,
         [&options](const char* v) {
             auto mask = v ? parseTriggers(v) : std::nullopt;
             if (!mask) {
                 printError("--triggers takes a list of trigger names or a number");
                 return 2;
             }
             options.sceneTriggerMask = *mask;
             return 0;
         }},
        fieldNumber(options, &core::Options::dateFormat),
        fieldNumber(options, &core::Options::dropFrameDisplay),
        fieldFlag(options, &core::Options::progressAsFrameNumber),
        {"-o", "--output", true,
         [&output, usage](const char* v) {
             if (!v) {
                 usage(stderr);
                 return 2;
             }
             output = v;
             return 0;
         }},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
}

int runExport(const std::string& label, const std::function<core::Status(core::Progress*)>& work) {
    core::Progress progress;
    core::Status st;
    runWithProgress(label, progress, [&] {
        st = work(&progress);
        return st.ok();
    });
    if (st) {
        printWarnings(st);
        return 0;
    }
    printExportFailure(st);
    return 1;
}

}  // namespace zorv::cli
