// zorv rename FILE: appends the recording start date and time to the file's name.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "tools/rename_by_date.h"
#include "tools/system_text.h"

namespace zorv::cli {

int cmdRename(int argc, char** argv) {
    // "--" before the file: its name may start with '-'.
    const bool ended = argc == 2 && std::strcmp(argv[0], "--") == 0;
    if (ended) {
        ++argv;
        --argc;
    }
    if (!ended && argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(
            "usage: zorv rename FILE\n"
            "Appends the recording start of a DV file to its name: \"name.avi\" becomes\n"
            "\"name yy-mm-dd hh.mm.ss.avi\" (the form `zorv modify --datetime-from-name` reads).\n"
            "An existing file is never overwritten.\n",
            stdout);
        return 0;
    }
    if (argc != 1 || (!ended && argv[0][0] == '-')) {
        std::fputs("usage: zorv rename FILE\n", stderr);
        return 2;
    }
    std::string renamed;
    const core::Status st = tools::renameWithStartDateTime(argv[0], renamed);
    if (!st) {
        const std::string text = st.code == core::ErrorCode::kOutputExists ? std::string() : tools::systemText(st.sysError);
        printError(text.empty() ? st.message : st.message + " - " + text);
        return 1;
    }
    std::printf("%s\n", renamed.c_str());
    return 0;
}

}  // namespace zorv::cli
