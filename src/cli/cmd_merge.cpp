// zorv merge A B [C ...] -o OUT: one tape rebuilt block by block from several damaged transfers.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/export_output.h"
#include "cli/option_parser.h"
#include "cli/report_output.h"
#include "media/output_file.h"
#include "tools/dv_merge.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv merge A B [C ...] -o OUT [--report R] [--report-format csv|json] [--overwrite]\n"
        "Rebuilds one tape from two or more transfers of it (AVI Type 1, AVI Type 2 or Raw DV, mixed\n"
        "freely). The frames are lined up by timecode and recording date/time, so transfers that start\n"
        "at different points or lost different frames still meet. Each output frame is put together\n"
        "DIF block by DIF block: every video block the deck read as recorded (status 0) and every audio\n"
        "block without error samples comes from a transfer that has it intact; a block no transfer has\n"
        "intact comes from the least damaged copy of the frame.\n"
        "  -o OUT               output: Raw DV, or AVI Type 1 when OUT ends in .avi\n"
        "  --report R           per output frame: the frame of each transfer, the blocks taken from it,\n"
        "                       the damage before and after (- for standard output)\n"
        "  --report-format F    csv or json (default: json when R ends in .json, else csv)\n"
        "  --overwrite          replace existing output files\n",
        out);
}

bool endsWith(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        char c = s[s.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i]) return false;
    }
    return true;
}

}  // namespace

int cmdMerge(int argc, char** argv) {
    std::vector<std::string> inputs;
    std::string output, reportPath;
    bool overwrite = false;
    tools::MergeSettings settings;
    const CliOption options[] = {
        {"--output", "-o", true, storeIn(output)},
        {"--report", {}, true, storeIn(reportPath)},
        {"--report-format",
         {},
         true,
         [&](const char* f) {
             const std::string_view v = f;
             if (v == "csv") settings.reportFormat = tools::MergeReportFormat::kCsv;
             else if (v == "json") settings.reportFormat = tools::MergeReportFormat::kJson;
             else {
                 printError("--report-format takes csv or json");
                 return 2;
             }
             return 0;
         }},
        {"--overwrite", {}, false, setFlag(overwrite)},
    };
    CommandLine line{usage, options, OperandForm::kNotAnOption};
    line.dashDashEnds = false;
    line.namesUnknownOption = true;
    line.operand = [&](const char* a) {
        inputs.emplace_back(a);
        return 0;
    };
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (inputs.size() < 2 || output.empty() || output == "-") {
        usage(stderr);
        return 2;
    }
    settings.container = endsWith(output, ".avi") ? tools::MergeContainer::kAvi1 : tools::MergeContainer::kRawDv;
    if (reportPath.empty()) {
        settings.reportFormat = tools::MergeReportFormat::kNone;
    } else if (settings.reportFormat == tools::MergeReportFormat::kNone) {
        settings.reportFormat =
            endsWith(reportPath, ".json") ? tools::MergeReportFormat::kJson : tools::MergeReportFormat::kCsv;
    }
    for (const std::string& in : inputs) {
        media::DvMediaFile probe;
        if (!openMedia(probe, in, true)) return 1;
    }

    media::OutputFile out;
    if (core::Status st = out.begin(output, media::OutputRules{overwrite, inputs}); !st) {
        printExportFailure(st);
        return 1;
    }
    ReportOutput report;
    if (!reportPath.empty()) {
        std::vector<std::string> taken = inputs;
        taken.push_back(output);
        if (core::Status st = report.open(reportPath, overwrite, taken); !st) {
            printExportFailure(st);
            return 1;
        }
        settings.reportFd = report.fd();
    }
    tools::MergeResult result;
    const int rc = runExport("Merging transfers", [&](core::Progress* progress) {
        core::Status st = tools::mergeTransfers(inputs, out.tempPath(), settings, progress, &result);
        if (st) st = out.commit();
        if (st && !reportPath.empty()) st = report.commit();
        return st;
    });
    if (rc == 0) {
        std::fprintf(stderr,
                     "%" PRId64 " frames written, %" PRId64 " held by more than one transfer, %" PRId64 " repaired, %" PRId64
                     " still damaged, %" PRId64 " blocks taken from another transfer\n",
                     result.frames, result.mergedFrames, result.repairedFrames, result.damagedFrames, result.blocksReplaced);
    }
    return rc;
}

}  // namespace zorv::cli
