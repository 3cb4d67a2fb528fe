// zorv extract-audio FILE [-o OUT] [--overwrite]
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/convert_common.h"
#include "media/recognize.h"
#include "tools/audio_extract.h"
#include "tools/avchd_audio_extract.h"
#include "tools/hdv_audio_extract.h"

namespace zorv::cli {

namespace {
void extractUsage(FILE* out) {
    std::fputs("usage: zorv extract-audio FILE [-o OUT] [--overwrite]\n\n"
               "Writes the sound of a DV file (AVI Type 1 or 2, Raw DV) or a 1080-line HDV stream to a 16-bit\n"
               "WAV file, by default\n"
               "FILE without extension + \".wav\". The AC-3 sound of an AVCHD stream is copied frame for frame\n"
               "to FILE without extension + \".ac3\".\n",
               out);
}
}  // namespace

int cmdExtractAudio(int argc, char** argv) {
    std::string input, output;
    bool overwrite = false;
    for (int i = 0; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            extractUsage(stdout);
            return 0;
        } else if ((a == "-o" || a == "--output") && i + 1 < argc) {
            output = argv[++i];
        } else if (a == "--overwrite") {
            overwrite = true;
        } else if (!a.empty() && a[0] != '-' && input.empty()) {
            input = argv[i];
        } else {
            extractUsage(stderr);
            return 2;
        }
    }
    if (input.empty()) {
        extractUsage(stderr);
        return 2;
    }
    const bool outputDefault = output.empty();
    if (output.empty()) output = tools::extractOutputName(input);
    const media::Recognition rec = media::recognize(input);
    if (rec.ok() && rec.type == media::FileType::kHdv1) {
        printError(tools::kHdv1AudioSkipped);
        return 1;
    }
    if (rec.ok() && rec.type == media::FileType::kHdv2) {
        if (!confirmOutput(output, overwrite)) return 1;
        tools::HdvAudioExtractJob job(input, output);
        core::Status s = job.build();
        if (!s) {
            printError(s.message);
            return 1;
        }
        std::string label = job.progressText();
        for (auto& c : label)
            if (c == '\n') c = ' ';
        return runJob(job, label, tools::kExtractionComplete);
    }
    if (rec.ok() && rec.type == media::FileType::kAvchd) {
        if (outputDefault) output = tools::ac3OutputName(input);
        if (!confirmOutput(output, overwrite)) return 1;
        tools::Ac3ExtractJob job(input, output);
        core::Status s = job.build();
        if (!s) {
            printError(s.message);
            return 1;
        }
        std::string label = job.progressText();
        for (auto& c : label)
            if (c == '\n') c = ' ';
        return runJob(job, label, tools::kAc3Complete);
    }
    if (!confirmOutput(output, overwrite)) return 1;
    tools::AudioExtractJob job(input, output);
    core::Status s = job.build();
    if (!s) {
        printError(s.message.empty() ? "Could not load file" : s.message);
        return 1;
    }
    std::string label = job.progressText();
    for (auto& c : label)
        if (c == '\n') c = ' ';
    return runJob(job, label, tools::kExtractionComplete);
}

}  // namespace zorv::cli
