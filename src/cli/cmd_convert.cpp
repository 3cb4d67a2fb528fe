// zorv convert --to avi1|avi2|dv FILE [-o OUT] [--overwrite]
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/convert_common.h"
#include "tools/dv_convert.h"

namespace zorv::cli {

namespace {
void convertUsage(FILE* out) {
    std::fputs(
        "usage: zorv convert --to avi1|avi2|dv [-o OUT] [--overwrite] [--] FILE\n\n"
        "Rewrites a DV file as AVI Type 1, AVI Type 2 or Raw DV without touching its frames.\n"
        "The output defaults to FILE without extension + \"-conv.avi\" or \"-conv.dv\". It takes its\n"
        "name only when the conversion is complete; an existing output is replaced then, after\n"
        "confirmation (or with --overwrite). The output can never be the input file.\n"
        "  --   ends the options (for a FILE whose name starts with '-')\n",
        out);
}
}  // namespace

int cmdConvert(int argc, char** argv) {
    std::string input, output, to;
    bool overwrite = false;
    const CliOption options[] = {
        {"--to", {}, true, storeIn(to)},
        {"--output", "-o", true, storeIn(output)},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
    CommandLine line{convertUsage, options, OperandForm::kNoLeadingDash};
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    tools::ConvertTarget target;
    if (to == "avi1") target = tools::ConvertTarget::kAviType1;
    else if (to == "avi2") target = tools::ConvertTarget::kAviType2;
    else if (to == "dv") target = tools::ConvertTarget::kRawDv;
    else {
        convertUsage(stderr);
        return 2;
    }
    if (input.empty()) {
        convertUsage(stderr);
        return 2;
    }
    if (output.empty()) output = tools::convertOutputName(input, target);
    const std::optional<bool> replace = confirmOutput(output, input, overwrite);
    if (!replace) return 1;
    tools::DvConvertJob job(input, output, target, *replace);
    core::Status s = job.build();
    if (!s) {
        printError(s.message.empty() ? "Could not load file" : failureText(s));
        return 1;
    }
    std::string label = job.progressText();
    for (auto& c : label)
        if (c == '\n') c = ' ';
    return runJob(job, label, tools::kConversionComplete);
}

}  // namespace zorv::cli
