// zorv split FILE: cuts a DV AVI file into one AVI file per recording.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/split_arguments.h"
#include "cli/run_with_progress.h"
#include "tools/dv_file_splitter.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv split FILE [--trigger timecode:N|datetime:S|userbits|index]\n"
        "                       [--name number|timecode|datetime|userbits] [--preroll S] [--reel NAME]\n"
        "                       [--out DIR]\n"
        "Cuts a DV AVI file (Type 1 or 2) into one AVI file of the same type per recording.\n"
        "  --trigger timecode:N  a timecode jump of at least N frames (1..999; default timecode:1)\n"
        "            datetime:S  a recording date/time jump of at least S seconds (1..999)\n"
        "            userbits    any change of the user bits\n"
        "            index       a tape index marker (recording start)\n"
        "  --name FORM    output names: FILE 0001.avi, FILE hh.mm.ss.ff.avi (default),\n"
        "                 FILE yyyy-mm-dd hh.mm.ss.avi or FILE nn.nn.nn.nn.avi\n"
        "  --preroll S    drop the first S seconds (0..10) of every output file\n"
        "  --reel NAME    reel name written into each file; backward timecode jumps add A, B, ...\n"
        "  --out DIR      folder for the outputs, the log and the batch list (default: beside FILE)\n"
        "Also writes FILE.log and FILE.csv (a Premiere batch list: name, start, end, frames, reel).\n",
        out);
}

}  // namespace

int cmdSplit(int argc, char** argv) {
    std::string path;
    tools::SplitSettings settings;
    const CliOption options[] = {
        {"--trigger",
         {},
         true,
         [&](const char* v) {
             return parseSplitTrigger(v, settings.trigger, settings.timecodeThreshold, settings.dateTimeThreshold);
         }},
        {"--name", {}, true, [&](const char* v) { return parseSplitNameFormat(v, settings.nameFormat); }},
        {"--preroll", {}, true, [&](const char* v) { return parsePrerollSeconds(v, settings.prerollSeconds); }},
        {"--reel", {}, true, storeIn(settings.reelName)},
        {"--out", {}, true, storeIn(settings.outputFolder)},
    };
    CommandLine line{usage, options, OperandForm::kNoDoubleDash};
    line.operand = oneOperand(path);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (path.empty()) {
        usage(stderr);
        return 2;
    }

    const bool tty = isatty(STDERR_FILENO);
    tools::DvFileSplitter splitter;
    splitter.setSettings(settings);
    splitter.setFileCallback([tty](const std::string& text) {
        std::string line = text;
        for (char& c : line)
            if (c == '\n') c = ' ';
        std::fprintf(stderr, "%s%s\n", tty ? "\r\033[K" : "", line.c_str());
    });

    core::Status st = splitter.open(path);
    if (!st) {
        if (splitter.noFilesCreated()) {
            printError("No split files created: " + st.message);
            return 1;
        }
        printError("Error Building Splitter: " + st.message);
        return 1;
    }
    if (splitter.totalFrames() == 0) {
        printError("Failed to get duration of file");
        return 1;
    }
    bool ok = runWithProgress("Splitting", splitter.progress(), [&] {
        splitter.start();
        st = splitter.wait();
        return st.ok();
    });
    if (!ok) {
        if (st.code == core::ErrorCode::kCancelled) {
            printError("Operation Cancelled");
            return 130;
        }
        printError("Error while splitting AVI: " + st.message);
        return 1;
    }
    for (const auto& out : splitter.outputs())
        std::printf("%s\t%lld frames%s%s\n", out.path.c_str(), static_cast<long long>(out.frames),
                    out.reel.empty() ? "" : "\treel ", out.reel.c_str());
    std::printf("Split complete.\nLog: %s\nBatch list: %s\n", splitter.logPath().c_str(), splitter.batchListPath().c_str());
    return 0;
}

}  // namespace zorv::cli
