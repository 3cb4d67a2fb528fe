// zorv: the command line of ZORV Pro. Every file tool and the batch runner, scriptable.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "media/codec/codec_log.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int, char**);
    const char* summary;
};

const Command kCommands[] = {
    {"info", zorv::cli::cmdInfo,
     "info FILE                      type, frames, system, frame rate, size, reel, Premiere timecode"},
    {"frame", zorv::cli::cmdFrame, "frame FILE N [--json]          every metadata item of frame N"},
    {"scenes", zorv::cli::cmdScenes, "scenes FILE [--triggers LIST]  scan for scene changes and list them"},
    {"export", zorv::cli::cmdExport,
     "export FILE [--mode all|changes|scenes] [--header] [-o OUT.csv|-] [--overwrite]  metadata as CSV rows"},
    {"subtitles", zorv::cli::cmdSubtitles,
     "subtitles FILE [--layout N] [--format srt|vtt] [-o OUT|-] [--overwrite]  metadata as subtitles"},
    {"modify", zorv::cli::cmdModify,
     "modify FILE [-o OUT [--overwrite] | --in-place] [--timecode-start|--timecode-adjust TC] "
     "[--datetime-start|--datetime-adjust|--datetime-from-name] [--user-bits XX:XX:XX:XX] [--widescreen 16:9|4:3] "
     "[--timecode-kind drop|non-drop]  rewrite frame metadata"},
    {"fix-premiere", zorv::cli::cmdFixPremiere,
     "fix-premiere FILE              set the Premiere start timecode from the first frame"},
    {"set-mtime", zorv::cli::cmdSetMtime, "set-mtime FILE                 set Date Modified to the recording start"},
    {"rename", zorv::cli::cmdRename, "rename FILE                    append the recording start date/time to the name"},
    {"split", zorv::cli::cmdSplit,
     "split FILE [--trigger timecode:N|datetime:S|userbits|index] [--name FORM] [--preroll S] [--reel NAME] [--out DIR]  "
     "one AVI per recording"},
    {"convert", zorv::cli::cmdConvert,
     "convert --to avi1|avi2|dv FILE [-o OUT] [--overwrite]  AVI Type 1, Type 2 and Raw DV into each other"},
    {"extract-audio", zorv::cli::cmdExtractAudio,
     "extract-audio FILE [-o OUT] [--overwrite]  the sound of a camcorder file as WAV (AC-3 for AVCHD)"},
    {"capture", zorv::cli::cmdCapture,
     "capture --device DEVICE --out BASE [--split ...] [--duration HH:MM:SS] [--stop-after-idle S]  record DV from a "
     "camcorder or deck (sim:FILE simulates one)"},
    {"repair", zorv::cli::cmdRepair,
     "repair FILE [-o OUT] [--in-place --yes]  rebuild the index and sizes of a DV AVI cut short"},
    {"devices", zorv::cli::cmdDevices, "devices                        list the DV capture devices"},
    {"burn", zorv::cli::cmdBurn,
     "burn FILE [-o OUT [--overwrite] | --in-place] [--items LIST] [--layout fixed80|fixed90|user] [--mode "
     "all|scenes:N[s|f]]  metadata drawn into the pictures"},
    {"gpx", zorv::cli::cmdGpx, "gpx FILE [-o OUT|-] [--overwrite]  the GPS track of an AVCHD file as GPX 1.1"},
    {"damage", zorv::cli::cmdDamage,
     "damage FILE [--format text|csv|json] [--all] [-o OUT]  where the tape was read badly, frame by frame"},
    {"merge", zorv::cli::cmdMerge,
     "merge A B [C...] -o OUT [--report R.csv|R.json]  one whole tape from several damaged transfers"},
    {"batch", zorv::cli::cmdBatch,
     "batch --op OPERATION --out DIR [--jobs N] [--yes] FILE...  one operation over many files with Batch-log.txt"},
};

void usage(FILE* out) {
    std::fputs("usage: zorv COMMAND [ARGS]\n\ncommands:\n", out);
    for (const auto& c : kCommands) std::fprintf(out, "  zorv %s\n", c.summary);
    std::fputs(
        "\n`zorv COMMAND --help` describes a command's options. `--` ends the options of any command (for\n"
        "a FILE whose name starts with '-'). Outputs take their name only when a run is complete, are\n"
        "never the input file, and replace an existing file only with --overwrite (or a yes when asked);\n"
        "`-o -` sends export, subtitles and gpx to standard output. Ctrl+C, SIGTERM and SIGHUP cancel a\n"
        "run and leave no partial output.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        usage(stdout);
        return 0;
    }
    zorv::media::quietCodecLog();
    zorv::cli::installInterruptHandlers();
    for (const auto& c : kCommands) {
        if (name == c.name) return c.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "zorv: unknown command '%s'\n\n", argv[1]);
    usage(stderr);
    return 2;
}
