// zorv fix-premiere FILE: makes the Premiere start timecode of a DV AVI file match its first frame.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "media/recognize.h"
#include "tools/premiere_timecode.h"

namespace zorv::cli {

int cmdFixPremiere(int argc, char** argv) {
    // "--" before the file: its name may start with '-'.
    const bool ended = argc == 2 && std::strcmp(argv[0], "--") == 0;
    if (ended) {
        ++argv;
        --argc;
    }
    if (!ended && argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(
            "usage: zorv fix-premiere FILE\n"
            "Writes the timecode of the first frame into the Premiere timecode list (\"Tdat\") of a\n"
            "DV AVI file, in place; a file without one gets a 172-byte list appended.\n",
            stdout);
        return 0;
    }
    if (argc != 1 || (!ended && argv[0][0] == '-')) {
        std::fputs("usage: zorv fix-premiere FILE\n", stderr);
        return 2;
    }
    const std::string path = argv[0];
    const media::Recognition r = media::recognize(path);
    if (r.ok()) {
        const std::string skip = tools::premiereSkipMessage(r.type);
        if (!skip.empty()) {
            printError(skip);
            return 1;
        }
    }
    const tools::PremiereFixOutcome o = tools::fixPremiereStartTimecode(path);
    const std::string line = tools::premiereFixLogLine(o);
    if (o.result == tools::PremiereFixResult::kFixed) {
        std::printf("%s: %s%s\n", line.c_str(), o.text.c_str(), o.appended ? " (timecode list appended)" : "");
        return 0;
    }
    printError(line);
    return 1;
}

}  // namespace zorv::cli
