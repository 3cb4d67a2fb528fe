// zorv split FILE: cuts a DV AVI file into one AVI file per recording.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
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

bool parseRange(std::string_view text, int lo, int hi, int& value) {
    auto v = parseInt(text);
    if (!v || *v < lo || *v > hi) return false;
    value = static_cast<int>(*v);
    return true;
}

}  // namespace

int cmdSplit(int argc, char** argv) {
    std::string path;
    tools::SplitSettings settings;
    OptionEnd ends;
    for (int i = 0; i < argc; ++i) {
        std::string_view a = argv[i];
        bool hasValue = i + 1 < argc;
        if (ends.take(a)) continue;
        if (ends.ended()) {
            if (!path.empty()) {
                usage(stderr);
                return 2;
            }
            path = argv[i];
            continue;
        }
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--trigger" && hasValue) {
            std::string_view t = argv[++i];
            if (t.starts_with("timecode")) {
                settings.trigger = 1;
                if (t.size() > 8 && (t[8] != ':' || !parseRange(t.substr(9), 1, 999, settings.timecodeThreshold))) {
                    printError("Timecode trigger must be in the range 1 to 999 frames");
                    return 2;
                }
            } else if (t.starts_with("datetime")) {
                settings.trigger = 2;
                if (t.size() > 8 && (t[8] != ':' || !parseRange(t.substr(9), 1, 999, settings.dateTimeThreshold))) {
                    printError("Date/Time trigger must be in the range 1 to 999 seconds");
                    return 2;
                }
            } else if (t == "userbits") {
                settings.trigger = 3;
            } else if (t == "index") {
                settings.trigger = 4;
            } else {
                printError(std::string("unknown trigger '") + std::string(t) + "'");
                return 2;
            }
        } else if (a == "--name" && hasValue) {
            std::string_view n = argv[++i];
            if (n == "number") settings.nameFormat = 1;
            else if (n == "timecode") settings.nameFormat = 2;
            else if (n == "datetime") settings.nameFormat = 3;
            else if (n == "userbits") settings.nameFormat = 4;
            else {
                printError(std::string("unknown name format '") + std::string(n) + "'");
                return 2;
            }
        } else if (a == "--preroll" && hasValue) {
            if (!parseRange(argv[++i], 0, 10, settings.prerollSeconds)) {
                printError("Preroll delay must be in the range 0 to 10 seconds");
                return 2;
            }
        } else if (a == "--reel" && hasValue) {
            settings.reelName = argv[++i];
        } else if (a == "--out" && hasValue) {
            settings.outputFolder = argv[++i];
        } else if (path.empty() && !a.starts_with("--")) {
            path = argv[i];
        } else {
            usage(stderr);
            return 2;
        }
    }
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
