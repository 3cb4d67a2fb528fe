// zorv repair FILE [-o OUT] [--overwrite] [--in-place --yes]: rebuilds the header and indexes of a DV
// AVI cut short (a crashed capture, a file another tool never finished).
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "core/dv_layout.h"
#include "core/option_choices.h"
#include "media/output_file.h"
#include "tools/avi_repair.h"

namespace zorv::cli {

namespace {
void repairUsage(FILE* out) {
    std::fputs(
        "usage: zorv repair FILE [-o OUT] [--overwrite] [--in-place --yes]\n\n"
        "Rebuilds a DV AVI (Type 1 or 2) whose index or sizes are missing or cut short, as a crash,\n"
        "a power loss or a full disk leaves a capture: every whole frame and all the sound before the\n"
        "damage go into a new file with fresh headers and indexes, by default FILE without extension +\n"
        "\"-repaired.avi\". FILE is only read; --in-place --yes replaces it with the repaired file.\n",
        out);
}
}  // namespace

int cmdRepair(int argc, char** argv) {
    std::string input, output;
    bool overwrite = false, inPlace = false, yes = false;
    const CliOption options[] = {
        {"--output", "-o", true, storeIn(output)},
        {"--overwrite", {}, false, setFlag(overwrite)},
        {"--in-place", {}, false, setFlag(inPlace)},
        {"--yes", "-y", false, setFlag(yes)},
    };
    CommandLine line{repairUsage, options, OperandForm::kNoLeadingDash};
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty() || (inPlace && !output.empty())) {
        repairUsage(stderr);
        return 2;
    }
    if (inPlace && !yes) {
        printError("--in-place replaces " + input + " with the repaired file: give --yes as well");
        return 2;
    }
    media::OutputRules rules;
    if (inPlace) {
        output = input;
        rules.overwrite = true;  // the input itself, once the repaired file is complete
    } else {
        if (output.empty()) output = tools::repairOutputName(input);
        rules.overwrite = overwrite;
        rules.inputs = {input};
    }
    media::OutputFile out;
    core::Status s = out.begin(output, rules);
    if (!s) {
        printError(s.message);
        return 1;
    }
    tools::RepairResult r;
    s = tools::repairDvAvi(input, out.tempPath(), &r);
    if (s) s = out.commit();
    if (!s) {
        printError(s.message.empty() ? "Failed while writing output file" : s.message);
        return 1;
    }
    std::printf("%s: AVI Type %d, %s, %lld frames (%lld empty)", output.c_str(), core::stored(r.aviType),
                core::dv::systemFor(r.pal).name, static_cast<long long>(r.frames), static_cast<long long>(r.emptyFrames));
    if (r.aviType == media::AviType::kType2)
        std::printf(", %llu bytes of sound", static_cast<unsigned long long>(r.audioBytes));
    std::printf("\n");
    return 0;
}

}  // namespace zorv::cli
