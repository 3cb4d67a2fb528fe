// zorv extract-audio [-o OUT] [--overwrite] [--] FILE
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/convert_common.h"
#include "media/formats/format_table.h"
#include "media/recognize.h"
#include "tools/audio_extract.h"
#include "tools/audio_extract_factory.h"
#include "tools/avchd_audio_extract.h"
#include "tools/hdv_audio_extract.h"

namespace zorv::cli {

namespace {
void extractUsage(FILE* out) {
    std::fputs(
        "usage: zorv extract-audio [-o OUT] [--overwrite] [--] FILE\n\n"
        "Writes the sound of a DV file (AVI Type 1 or 2, Raw DV) or a 1080-line HDV stream to a 16-bit\n"
        "WAV file, by default\n"
        "FILE without extension + \".wav\". The AC-3 sound of an AVCHD stream is copied frame for frame\n"
        "to FILE without extension + \".ac3\". The output takes its name only when the extraction is\n"
        "complete; an existing one is replaced then, after confirmation (or with --overwrite).\n"
        "  --   ends the options (for a FILE whose name starts with '-')\n",
        out);
}

// The run of a job after build() gave built.
int runBuilt(core::Job& job, const core::Status& built, std::string label, const char* completeText) {
    if (!built) {
        printError(built.message.empty() ? "Could not load file" : failureText(built));
        return 1;
    }
    for (auto& c : label)
        if (c == '\n') c = ' ';
    return runJob(job, label, completeText);
}

}  // namespace

int cmdExtractAudio(int argc, char** argv) {
    std::string input, output;
    bool overwrite = false;
    const CliOption options[] = {
        {"--output", "-o", true, storeIn(output)},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
    CommandLine line{extractUsage, options, OperandForm::kNoLeadingDash};
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty()) {
        extractUsage(stderr);
        return 2;
    }
    const bool outputDefault = output.empty();
    if (output.empty()) output = tools::extractOutputName(input);
    const media::Recognition rec = media::recognize(input);
    const media::FormatDescriptor& format = media::formatOf(rec.ok() ? rec.type : media::FileType{});
    if (format.family == core::MediaFamily::kHdv && !format.has(media::format_tool::kExtractAudio)) {
        printError(tools::kHdv1AudioSkipped);
        return 1;
    }
    const bool avchd = format.family == core::MediaFamily::kAvchd;
    if (avchd && outputDefault) output = tools::ac3OutputName(input);
    const std::optional<bool> replace = confirmOutput(output, input, overwrite);
    if (!replace) return 1;
    const tools::AudioExtraction x = tools::makeAudioExtraction(format.family, input, output, *replace);
    return runBuilt(*x.job, x.built, x.progressText, x.completeText);
}

}  // namespace zorv::cli
