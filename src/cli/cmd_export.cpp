// zorv export FILE: the camcorder metadata of a DV file as comma-separated rows.
#include <cinttypes>
#include <cstdio>
#include <optional>
#include <cstring>
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
#include "tools/csv_export.h"
#include "tools/stream_csv_export.h"
#include "tools/text_output.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv export [--mode all|changes|scenes] [--header] [--triggers LIST]\n"
        "                   [--date-format 1|2|3] [--df-format 0|1] [--frame-numbers]\n"
        "                   [--damage] [-o OUT.csv|-] [--overwrite] [--] FILE\n"
        "Writes one line of fifteen comma-separated fields per selected frame of a DV file: position,\n"
        "timecode, user bits, recording date, recording time, shutter, iris, stabilizer, gain, exposure\n"
        "mode, white balance, focus distance, focus mode, audio sampling, audio lock.\n"
        "HDV and AVCHD files get one line per picture (position as hh:mm:ss.mmm, or the picture index\n"
        "with --frame-numbers) and five more fields: latitude, longitude, altitude, speed, track\n"
        "(filled from the GPS data of AVCHD files).\n"
        "  --mode all       every frame\n"
        "  --mode changes   frame 0 and every frame with a change or discontinuity (default)\n"
        "  --mode scenes    frame 0 and every frame where a change selected by --triggers occurs\n"
        "  --header         name the columns in a first line\n"
        "  --damage         twelve more columns after the fifteen (DV only): damage severity, concealed\n"
        "                   and uncorrected video blocks, concealed share, audio error samples of\n"
        "                   channels 1-4, misplaced blocks, blank packs, repeated and backward timecode\n"
        "  --triggers LIST  scene triggers, e.g. datetime,timecode (default datetime)\n"
        "  --date-format    1 dd/mm/yyyy (default), 2 mm/dd/yyyy, 3 yyyy-mm-dd\n"
        "  --df-format      drop-frame separators: 0 hh:mm:ss;ff (default), 1 hh;mm;ss;ff\n"
        "  --frame-numbers  position column as a frame number instead of a timecode\n"
        "  -o OUT.csv       output file (default: FILE without extension + .csv)\n"
        "                   (\"-\": standard output); written under a temporary name and renamed\n"
        "                   into place when the export is complete\n"
        "  --overwrite      replace an existing output file (when the export is complete)\n"
        "  --               ends the options (for a FILE whose name starts with '-')\n",
        out);
}

}  // namespace

int cmdExport(int argc, char** argv) {
    core::Options options = core::Options::defaults();
    std::string input, output;
    bool overwrite = false;
    bool damage = false;
    std::vector<CliOption> taken = exportOptions(options, output, overwrite, usage);
    taken.push_back(fieldChoice(options, &core::Options::exportFrequency));
    taken.push_back(fieldFlag(options, &core::Options::exportHeader));
    taken.push_back({"--damage", {}, false, setFlag(damage)});
    CommandLine line{usage, taken, OperandForm::kNoLeadingDash};
    line.missingValueToOption = true;
    line.namesUnknownOption = true;
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty()) {
        usage(stderr);
        return 2;
    }
    if (output.empty()) output = outputPathFor(input, ".csv");

    tools::CsvExportSettings settings = tools::CsvExportSettings::fromOptions(options);
    settings.damageColumns = damage;
    bool replace = overwrite;
    const bool stream = tools::isStreamExportType(media::recognize(input).type);
    if (stream && damage) {
        printError("--damage is for DV files: HDV and AVCHD files carry no DIF block status");
        return 2;
    }
    if (output != tools::kStandardOutputName) {
        const std::optional<bool> allowed = confirmOutput(output, input, overwrite);
        if (!allowed) return 1;
        replace = *allowed;
    }
    if (!stream) {
        media::DvMediaFile file;
        if (!openMedia(file, input, true)) return 1;
    }
    return runExport("Exporting metadata", [&](core::Progress* progress) {
        return stream ? tools::exportStreamMetadataCsvFile(input, output, settings, replace, progress)
                      : tools::exportMetadataCsvFile(input, output, settings, replace, progress);
    });
}

}  // namespace zorv::cli
