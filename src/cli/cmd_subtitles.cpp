// zorv subtitles FILE: the camcorder metadata of a DV, HDV or AVCHD file as a subtitle track.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/convert_common.h"
#include "cli/export_output.h"
#include "cli/option_parser.h"
#include "cli/run_with_progress.h"
#include "core/option_fields.h"
#include "core/options.h"
#include "media/dv_media_file.h"
#include "media/recognize.h"
#include "tools/stream_subtitle_export.h"
#include "tools/subtitle_export.h"
#include "tools/text_output.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv subtitles [--layout N] [--format srt|vtt] [--triggers LIST]\n"
        "                      [--date-format 1|2|3] [--df-format 0|1] [--frame-numbers]\n"
        "                      [--gps] [--gps-decimal] [-o OUT|-] [--overwrite] [--] FILE\n"
        "Writes the metadata of a DV, HDV or AVCHD file as subtitles timed on the file's own timeline:\n"
        "one cue per run of frames (pictures) showing the same text; for DV a new cue at each scene start.\n"
        "  --layout N       0 All metadata (default), 1 Date above Time (2 lines),\n"
        "                   2 Time above Date (2 lines), 3 Date then Time (1 line),\n"
        "                   4 Time then Date (1 line)\n"
        "  --format         srt SubRip (default) or vtt WebVTT\n"
        "  --triggers LIST  scene triggers that start a new cue (default datetime)\n"
        "  --date-format    1 dd/mm/yy (default), 2 mm/dd/yy, 3 yy-mm-dd\n"
        "  --df-format      drop-frame separators: 0 hh:mm:ss;ff (default), 1 hh;mm;ss;ff\n"
        "  --frame-numbers  file position as a frame number (layout 0)\n"
        "  --gps            AVCHD: a line of GPS items under layout 0\n"
        "  --gps-decimal    latitude and longitude in decimal degrees\n"
        "  -o OUT           output file (default: FILE without extension + .srt or .vtt)\n"
        "                   (\"-\": standard output); written under a temporary name and renamed\n"
        "                   into place when the export is complete\n"
        "  --overwrite      replace an existing output file (when the export is complete)\n"
        "  --               ends the options (for a FILE whose name starts with '-')\n",
        out);
}

}  // namespace

int cmdSubtitles(int argc, char** argv) {
    core::Options options = core::Options::defaults();
    tools::SubtitleFormat format = tools::SubtitleFormat::kSubRip;
    std::string input, output;
    bool overwrite = false;
    std::vector<CliOption> taken = exportOptions(options, output, overwrite, usage);
    taken.push_back({core::optionField(&core::Options::subtitleLayout).cliName, {}, true, [&](const char* v) {
                         auto n = v ? parseInt(v) : std::nullopt;
                         if (!n || *n < 0 || *n >= tools::kSubtitleLayoutCount) {
                             printError("--layout takes a number from 0 to 4");
                             return 2;
                         }
                         options.subtitleLayout = static_cast<int>(*n);
                         return 0;
                     }});
    taken.push_back({"--format", {}, true, [&](const char* v) {
                         const std::string_view f = v ? v : "";
                         if (f == "srt") format = tools::SubtitleFormat::kSubRip;
                         else if (f == "vtt") format = tools::SubtitleFormat::kWebVtt;
                         else {
                             printError("--format takes srt or vtt");
                             return 2;
                         }
                         return 0;
                     }});
    taken.push_back(fieldFlag(options, &core::Options::showGpsItems));
    taken.push_back(fieldFlag(options, &core::Options::gpsInDecimal));
    CommandLine line{usage, taken, OperandForm::kNoLeadingDash};
    line.missingValueToOption = true;
    line.namesUnknownOption = true;
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty()) {
        usage(stderr);
        return 2;
    }
    if (output.empty()) output = outputPathFor(input, tools::subtitleExtension(format));

    tools::SubtitleSettings settings = tools::SubtitleSettings::fromOptions(options);
    settings.format = format;
    bool replace = overwrite;
    if (output != tools::kStandardOutputName) {
        const std::optional<bool> allowed = confirmOutput(output, input, overwrite);
        if (!allowed) return 1;
        replace = *allowed;
    }
    const bool stream = tools::isStreamExportType(media::recognize(input).type);
    if (!stream) {
        media::DvMediaFile file;
        if (!openMedia(file, input, true)) return 1;
    }
    return runExport("Exporting subtitles", [&](core::Progress* progress) {
        return stream ? tools::exportStreamSubtitlesFile(input, output, settings, replace, progress)
                      : tools::exportSubtitlesFile(input, output, settings, replace, progress);
    });
}

}  // namespace zorv::cli
