// zorv damage FILE: where the tape was read badly, frame by frame.
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/export_output.h"
#include "cli/option_parser.h"
#include "cli/report_output.h"
#include "media/dv_media_file.h"
#include "tools/damage_report.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv damage FILE [--format text|csv|json] [--all] [-o OUT] [--overwrite]\n"
        "Reads every frame of a DV file and reports the damage the deck marked in it: video blocks by\n"
        "status (concealed from the previous or next frame, concealed otherwise, errors left in), audio\n"
        "error samples per channel, blocks out of their places, frames without packs, timecodes that\n"
        "repeat or run backwards, and dropped frames. One row per run of frames damaged alike, with the\n"
        "position, timecode and recording date/time of its first frame; then a summary line.\n"
        "  --format FORM    text (default), csv or json; csv rows carry no summary line: it goes to\n"
        "                   standard error\n"
        "  --all            one row for every frame, damaged or not\n"
        "  -o OUT           output file; - or none: standard output\n"
        "  --overwrite      replace an existing output file\n",
        out);
}

}  // namespace

int cmdDamage(int argc, char** argv) {
    std::string input, output;
    bool overwrite = false;
    tools::DamageReportSettings settings;
    const CliOption options[] = {
        {"--format",
         {},
         true,
         [&](const char* f) {
             const std::string_view v = f;
             if (v == "text") settings.format = tools::DamageFormat::kText;
             else if (v == "csv") settings.format = tools::DamageFormat::kCsv;
             else if (v == "json") settings.format = tools::DamageFormat::kJson;
             else {
                 printError("--format takes text, csv or json");
                 return 2;
             }
             return 0;
         }},
        {"--all", {}, false, setFlag(settings.allFrames)},
        {"--output", "-o", true, storeIn(output)},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
    CommandLine line{usage, options, OperandForm::kNotAnOption};
    line.dashDashEnds = false;
    line.namesUnknownOption = true;
    line.operand = oneOperand(input);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (input.empty()) {
        usage(stderr);
        return 2;
    }
    media::DvMediaFile file;
    if (!openMedia(file, input, true)) return 1;
    ReportOutput out;
    if (core::Status st = out.open(output, overwrite, {input}); !st) {
        printExportFailure(st);
        return 1;
    }
    tools::DamageSummary summary;
    const int rc = runExport("Scanning for damage", [&](core::Progress* progress) {
        core::Status st = tools::writeDamageReport(file, out.fd(), settings, progress, &summary);
        return st ? out.commit() : st;
    });
    if (rc == 0 && settings.format == tools::DamageFormat::kCsv)
        std::fprintf(stderr, "%s\n", tools::damageSummaryLine(summary).c_str());
    return rc;
}

}  // namespace zorv::cli
