// zorv set-mtime FILE: sets the file's Date Modified to its recording start (local time).
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "tools/file_dates.h"
#include "tools/recording_start.h"
#include "tools/system_text.h"

namespace zorv::cli {

int cmdSetMtime(int argc, char** argv) {
    // "--" before the file: its name may start with '-'.
    const bool ended = argc == 2 && std::strcmp(argv[0], "--") == 0;
    if (ended) {
        ++argv;
        --argc;
    }
    if (!ended && argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(
            "usage: zorv set-mtime FILE\n"
            "Sets the Date Modified of a DV file (AVI Type 1, Type 2, Raw DV) to the recording date and\n"
            "time of its first frame, taken as local time. Only the modification time changes.\n",
            stdout);
        return 0;
    }
    if (argc != 1 || (!ended && argv[0][0] == '-')) {
        std::fputs("usage: zorv set-mtime FILE\n", stderr);
        return 2;
    }
    const std::string path = argv[0];
    tools::StartDateTime start;
    core::Status st = tools::readRecordingStart(path, start);
    int sys = 0;
    if (st &&
        !tools::setFileLastWriteTime(path, start.year, start.month, start.day, start.hour, start.minute, start.second, &sys))
        st = core::Status::failure(core::ErrorCode::kWriteFailed, tools::kSetDateFailed, sys);
    if (!st) {
        const std::string text = tools::systemText(st.sysError);
        printError(text.empty() ? st.message : st.message + " - " + text);
        return 1;
    }
    std::printf("Date Modified set to %04d-%02d-%02d %02d:%02d:%02d\n", start.year, start.month, start.day, start.hour,
                start.minute, start.second);
    return 0;
}

}  // namespace zorv::cli
