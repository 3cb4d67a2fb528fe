// zorv burn FILE [-o OUT | --in-place [--yes]] [--items LIST] [--layout fixed80|fixed90|user]
//                [--mode all|scenes:N[s|f]] [--range FIRST:LAST] [--compressor NAME] [--audio] [--overwrite]
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/convert_common.h"
#include "core/burn_items.h"
#include "core/option_fields.h"
#include "core/options.h"
#include "media/formats/format_table.h"
#include "media/codec/codec_registry.h"
#include "media/dv_media_file.h"
#include "tools/burn_in.h"
#include "tools/burn_job_factory.h"

namespace zorv::cli {

namespace {

const char* kBurnInPlaceWarning =
    "WARNING!\n"
    "You are about to burn the metadata into the pictures of the input file itself. No output file will be "
    "created. If you proceed then the operation can NOT be undone, and a power/hardware glitch may leave the "
    "file in a corrupt state. It is safer to burn in to an output file and leave the input file unchanged.\n";

// The --items lines: every item's name and "all", wrapped as the rest of the help is.
std::string itemsUsage() {
    constexpr size_t kWidth = 94, kIndent = 18;
    std::string text = "  --items LIST    items drawn:";
    size_t line = 0;
    auto word = [&](std::string_view w) {
        if (text.size() - line + 1 + w.size() > kWidth) {
            text += '\n';
            line = text.size();
            text.append(kIndent - 1, ' ');
        }
        text += ' ';
        text += w;
    };
    for (const core::BurnItemFacts& item : core::kBurnItems) word(item.cliName + std::string(","));
    word("all;");
    return text + "\n";
}

void burnUsage(FILE* out) {
    std::fputs(
        "usage: zorv burn [-o OUT | --in-place [--yes]] [--items LIST] [--layout fixed80|fixed90|user]\n"
        "                 [--mode all|scenes:N[s|f]] [--range FIRST:LAST] [--compressor NAME] [--audio]\n"
        "                 [--overwrite] [--] FILE\n\n"
        "Draws the camcorder metadata permanently into the pictures. DV AVI files are re-encoded as DV,\n"
        "into FILE without extension + \"-burn.avi\" (or -o OUT), or back into FILE with --in-place\n"
        "(asks first unless --yes).\n",
        out);
    std::fputs(itemsUsage().c_str(), out);
    std::fputs(
        "                  or a mask number (0x... accepted). Default: timecode, user bits, the\n"
        "                  recording date and time and the camera items.\n"
        "  --layout        fixed 80 % or 90 % title safe (default) or the user positions\n"
        "  --mode          all frames (default) or the first N seconds (s) or frames (f) of each scene\n"
        "  --range         only frames FIRST to LAST (DV); the others are copied unchanged\n"
        "  --compressor    HDV/AVCHD output compressor (\"Uncompressed\" or a codec name)\n"
        "  --audio         HDV/AVCHD: include the audio in the output AVI\n"
        "  --overwrite     replace an existing OUT; the output takes its name only when the run is\n"
        "                  complete and can never be the input file\n"
        "  --              ends the options (for a FILE whose name starts with '-')\n",
        out);
}

std::optional<uint32_t> parseItems(std::string_view list) {
    if (auto n = parseInt(list); n && *n >= 0) return static_cast<uint32_t>(*n);
    uint32_t mask = 0;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view word = list.substr(0, comma);
        bool found = false;
        if (word == "all") {
            for (const core::BurnItemFacts& i : core::kBurnItems) mask |= i.bit;
            found = true;
        }
        for (const core::BurnItemFacts& i : core::kBurnItems)
            if (word == i.cliName) mask |= i.bit, found = true;
        if (!found) return std::nullopt;
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    }
    return mask;
}

// The HDV/AVCHD output compressor named on the command line (empty: uncompressed) and the sound;
// nothing (after the message) for an unknown compressor.
std::optional<tools::StreamBurnChoice> streamChoice(const std::string& compressorName, bool audio) {
    tools::StreamBurnChoice choice;
    choice.audio = audio;
    if (!compressorName.empty()) {
        auto entry = media::codec::findCodecByName(media::codec::CodecRole::kVideoCompressor, compressorName);
        if (!entry) {
            printError("Unknown compressor: " + compressorName);
            return std::nullopt;
        }
        choice.compressor = entry->name;
    }
    return choice;
}

}  // namespace

int cmdBurn(int argc, char** argv) {
    std::string input, output, compressor;
    bool inPlace = false, overwrite = false, audio = false, yes = false;
    core::Options options = core::Options::defaults();
    int64_t first = 0, last = -1;
    const CliOption taken[] = {
        {"--output", "-o", true, storeIn(output)},
        {"--in-place", {}, false, setFlag(inPlace)},
        {"--yes", "-y", false, setFlag(yes)},
        {"--overwrite", {}, false, setFlag(overwrite)},
        {"--audio", {}, false, setFlag(audio)},
        {"--items",
         {},
         true,
         [&](const char* v) {
             auto mask = parseItems(v);
             if (!mask) {
                 printError("Unknown item list: " + std::string(v));
                 return 2;
             }
             options.burnInItemMask = *mask;
             return 0;
         }},
        {"--layout",
         {},
         true,
         [&](const char* v) {
             const auto positioning = core::choiceValue(core::optionField(&core::Options::textPositioning), v);
             if (!positioning) return kWrongArgument;
             options.textPositioning = *positioning;
             return 0;
         }},
        {"--mode",
         {},
         true,
         [&](const char* text) {
             const std::string_view v = text;
             if (v == "all") {
                 options.burnInMode = core::stored(core::BurnMode::kAllFrames);
                 return 0;
             }
             if (!v.starts_with("scenes:") || v.size() <= 7) return kWrongArgument;
             std::string_view n = v.substr(7);
             auto unit = core::DurationUnit::kSeconds;
             if (n.back() == 's' || n.back() == 'f') {
                 if (n.back() == 'f') unit = core::DurationUnit::kFrames;
                 n.remove_suffix(1);
             }
             auto value = parseInt(n);
             if (!value || *value < 1 || *value > 999) {
                 printError("Duration must be in the range 1 to 999");
                 return 2;
             }
             options.burnInMode = core::stored(core::BurnMode::kSceneStarts);
             options.burnInDurationUnit = core::stored(unit);
             options.burnInDuration = static_cast<int>(*value);
             return 0;
         }},
        {"--range",
         {},
         true,
         [&](const char* text) {
             const std::string_view v = text;
             const size_t colon = v.find(':');
             auto f = parseInt(v.substr(0, colon));
             auto l = colon == std::string_view::npos ? std::optional<int64_t>{} : parseInt(v.substr(colon + 1));
             if (!f || !l || *f < 0 || *l < *f) return kWrongArgument;
             first = *f;
             last = *l;
             return 0;
         }},
        {"--compressor", {}, true, storeIn(compressor)},
    };
    CommandLine line{burnUsage, taken, OperandForm::kNoLeadingDash};
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty() || (inPlace && !output.empty())) {
        burnUsage(stderr);
        return 2;
    }

    media::DvMediaFile probe;
    const media::Recognition r = probe.recognise(input);
    if (!r.ok() && r.status.code != core::ErrorCode::kNotRecognised) {
        printError("Could not read file - " + input);
        return 1;
    }
    const media::FormatDescriptor& format = media::formatOf(r.type);
    tools::BurnRequest request;
    request.input = input;
    request.family = format.family;
    request.options = options;
    if (format.isStream() && format.has(media::format_tool::kBurnIn)) {
        if (inPlace) {
            printError("HDV and AVCHD files are burnt in to an output file only");
            return 2;
        }
        request.choice = streamChoice(compressor, audio);
        if (!request.choice) return 2;
    } else if (!format.has(media::format_tool::kBurnIn) || !format.isDv()) {
        printError("Only DV AVI files (Type 1 and Type 2), 1080-line HDV and AVCHD files can be burnt in");
        return 1;
    }
    request.firstFrame = first;
    request.lastFrame = last;
    request.toInputFile = inPlace;
    if (!inPlace) {
        request.output = output.empty() ? tools::burnOutputName(input) : output;
        const std::optional<bool> replace = confirmOutput(request.output, input, overwrite);
        if (!replace) return 1;
        request.overwrite = *replace;
    }
    const std::unique_ptr<tools::BurnJob> job = tools::makeBurnJob(request);
    if (const core::Status& s = job->built(); !s) {
        // A reader failure without a text of its own leaves "Could not read file - " bare: name the file.
        printError(job->readFailedUnnamed() ? s.message + input : s.message);
        return 1;
    }
    if (inPlace && !yes && !confirmInPlace(kBurnInPlaceWarning)) return 1;
    std::string label = job->progressText();
    for (auto& c : label)
        if (c == '\n') c = ' ';
    const int rc = runJob(*job, label, tools::kBurnInComplete);
    if (rc == 0 && job->lostPictures() > 0) std::printf("%s\n", job->message().c_str());
    if (rc != 0 && inPlace && !job->inputChanged()) {
        printError("Nothing was written: the input file is as it was");
    } else if (rc != 0 && inPlace && job->wait().code != core::ErrorCode::kIncomplete) {
        // The input itself was being changed: say which part of it is burnt in.
        const int64_t at = first + job->progress().done();
        const int64_t end = last >= 0 ? last + 1 : first + job->progress().total();
        printError("Stopped at frame " + std::to_string(at) + " of " + std::to_string(end) +
                   ": the frames before it are burnt in, it may be partly written and the frames after it are as they were");
    }
    return rc;
}

}  // namespace zorv::cli
