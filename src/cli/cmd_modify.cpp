// zorv modify FILE: rewrites timecode, recording date/time, user bits, widescreen flag and NTSC
// timecode kind in every frame of a DV AVI file, into FILE-mod.avi (or -o OUT) or in the file itself.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/convert_common.h"
#include "cli/run_with_progress.h"
#include "tools/dv_metadata_modifier.h"
#include "tools/modify_settings.h"
#include "tools/system_text.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv modify [-o OUT | --in-place] [--overwrite] [--yes] CHANGES... [--] FILE\n"
        "Rewrites the camcorder metadata in every frame of a DV AVI file (Type 1 or 2). Without -o the\n"
        "output is FILE-mod.avi; it takes its name only when the run is complete and can never be FILE.\n"
        "--in-place changes FILE itself (asks first unless --yes).\n"
        "  --timecode-start HH:MM:SS:FF     timecode of the first frame, counting on from there\n"
        "  --timecode-adjust [-]HH:MM:SS:FF add (or with '-' subtract) to every timecode\n"
        "  --datetime-start \"YY-MM-DD HH:MM:SS\"  recording date/time of the first frame, running on\n"
        "  --datetime-adjust [-]Y,M,D,h,m,s add to every recording date/time ('-' in front negates\n"
        "                                   all fields; single fields may carry their own '-')\n"
        "  --datetime-from-name             start from the \"yy-mm-dd hh.mm.ss\" or \"yy-mm-dd\" ending\n"
        "                                   of the file name\n"
        "  --user-bits XX:XX:XX:XX          four hexadecimal bytes\n"
        "  --widescreen 16:9|4:3            set the widescreen flag\n"
        "  --timecode-kind drop|non-drop    relabel 30 fps timecode as drop or non-drop frame\n"
        "  --overwrite                      replace an existing OUT (when the run is complete)\n"
        "  --yes                            answer yes to confirmations (overwrite, in place)\n"
        "  --                               ends the options (for a FILE whose name starts with '-')\n",
        out);
}

// Fields separated by `sep`, each a signed decimal number; a leading '-' negates all of them.
std::optional<std::vector<int>> parseFields(std::string_view text, char sep, size_t count, bool allowSign) {
    bool negate = false;
    if (allowSign && !text.empty() && text[0] == '-') {
        negate = true;
        text.remove_prefix(1);
    }
    std::vector<int> out;
    while (true) {
        const size_t at = text.find(sep);
        const std::string_view f = text.substr(0, at);
        if (f.empty() || (!allowSign && f[0] == '-')) return std::nullopt;
        auto v = parseInt(f);
        if (!v || *v < -1000 || *v > 1000) return std::nullopt;
        out.push_back(static_cast<int>(negate ? -*v : *v));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    if (out.size() != count) return std::nullopt;
    return out;
}

// "YY-MM-DD HH:MM:SS"
std::optional<std::vector<int>> parseDateTimeStart(std::string_view text) {
    const size_t space = text.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    auto d = parseFields(text.substr(0, space), '-', 3, false);
    auto t = parseFields(text.substr(space + 1), ':', 3, false);
    if (!d || !t) return std::nullopt;
    d->insert(d->end(), t->begin(), t->end());
    return d;
}

const char* kDirectWarning =
    "WARNING!\n"
    "You are about to make changes to the media file that you have open in ZORV. No output file will be "
    "created because the changes are made directly to the input file. This can be useful if you are short "
    "of disk space, but it is more risky!\n"
    "If you proceed then the operation can NOT be undone. Also there is a risk that a power/hardware glitch "
    "may leave the file in a corrupt state.\n"
    "It is safer instead to use the menu Tools > Modify Metadata which will create a separate output file "
    "and leave the input file unchanged.\n";

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string defaultOutput(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExt ? path.substr(0, dot) : path) + "-mod.avi";
}

void reportFailure(const core::Status& st) {
    switch (st.code) {
    case core::ErrorCode::kCancelled: printError("Operation Cancelled"); return;
    case core::ErrorCode::kOutOfMemory: printError("Out of memory."); return;
    case core::ErrorCode::kOpenFailed:
    case core::ErrorCode::kReadFailed:
    case core::ErrorCode::kWriteFailed: printError(failureText(st, "\r\n\r\n")); return;
    default: printError(st.message);
    }
}

}  // namespace

int cmdModify(int argc, char** argv) {
    std::string path, output;
    bool inPlace = false, yes = false, overwrite = false;
    tools::ModifySettings s;
    auto bad = [](const char* what, const char* value) {
        printError(std::string("invalid ") + what + " '" + value + "'");
        return 2;
    };
    auto timecode = [&](bool adjust) {
        return [&s, adjust, bad](const char* v) {
            auto f = parseFields(v, ':', 4, adjust);
            if (!f) return bad("timecode", v);
            s.timecodeEnabled = true;
            s.timecodeMode = adjust ? core::ModifyMode::kAdjustBy : core::ModifyMode::kStartFrom;
            s.tcHours = (*f)[0], s.tcMinutes = (*f)[1], s.tcSeconds = (*f)[2], s.tcFrames = (*f)[3];
            return 0;
        };
    };
    auto dateTime = [&](bool adjust) {
        return [&s, adjust, bad](const char* v) {
            auto f = adjust ? parseFields(v, ',', 6, true) : parseDateTimeStart(v);
            if (!f) return bad("date/time", v);
            s.dateTimeEnabled = true;
            s.dateTimeMode = adjust ? core::ModifyMode::kAdjustBy : core::ModifyMode::kStartFrom;
            s.years = (*f)[0], s.months = (*f)[1], s.days = (*f)[2];
            s.hours = (*f)[3], s.minutes = (*f)[4], s.seconds = (*f)[5];
            return 0;
        };
    };
    const CliOption options[] = {
        {"-o", {}, true, storeIn(output)},
        {"--overwrite", {}, false, setFlag(overwrite)},
        {"--in-place", {}, false, setFlag(inPlace)},
        {"--yes", "-y", false, setFlag(yes)},
        {"--timecode-start", {}, true, timecode(false)},
        {"--timecode-adjust", {}, true, timecode(true)},
        {"--datetime-start", {}, true, dateTime(false)},
        {"--datetime-adjust", {}, true, dateTime(true)},
        {"--datetime-from-name",
         {},
         false,
         [&](const char*) {
             s.dateTimeEnabled = true;
             s.dateTimeMode = core::ModifyMode::kFromFileName;
             return 0;
         }},
        {"--user-bits",
         {},
         true,
         [&](const char* text) {
             std::string_view v = text;
             s.userBitsEnabled = true;
             for (int k = 0; k < 4; ++k) {
                 const size_t colon = v.find(':');
                 auto b = (k < 3) == (colon == std::string_view::npos) ? std::nullopt
                                                                       : tools::parseUserBitsField(v.substr(0, colon));
                 if (!b) {
                     printError("User bit values must be hexadecimal values in the range 00 to FF");
                     return 2;
                 }
                 s.userBits[k] = *b;
                 if (colon != std::string_view::npos) v.remove_prefix(colon + 1);
             }
             return 0;
         }},
        {"--widescreen",
         {},
         true,
         [&](const char* text) {
             const std::string_view v = text;
             if (v != "16:9" && v != "4:3") return bad("widescreen value", text);
             s.widescreenEnabled = true;
             s.widescreenValue = v == "16:9" ? core::WidescreenTarget::kWide16x9 : core::WidescreenTarget::kNormal4x3;
             return 0;
         }},
        {"--timecode-kind",
         {},
         true,
         [&](const char* text) {
             const std::string_view v = text;
             if (v != "drop" && v != "non-drop") return bad("timecode kind", text);
             s.timecodeKindEnabled = true;
             s.dropFrameWanted = v == "drop";
             return 0;
         }},
    };
    CommandLine line{usage, options, OperandForm::kNoLeadingDash};
    line.operand = oneOperand(path);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (path.empty() || (inPlace && !output.empty())) {
        usage(stderr);
        return 2;
    }
    if (!s.anyEnabled()) {
        printError(tools::kNothingSelectedMessage);
        return 2;
    }
    if (auto e = tools::validateModifySettings(s)) {
        printError(e->message);
        return 2;
    }
    if (s.dateTimeEnabled && s.dateTimeMode == core::ModifyMode::kFromFileName && !tools::dateTimeFromFileName(path)) {
        printError(tools::kNoNameDateTimeMessage + path);
        return 1;
    }

    if (inPlace) {
        if (!yes && !confirmInPlace(kDirectWarning)) return 1;
    } else {
        if (output.empty()) output = defaultOutput(path);
        const std::optional<bool> replace = confirmOutput(output, path, overwrite || yes);
        if (!replace) return 1;
        overwrite = *replace;
    }

    tools::DvMetadataModifier mod;
    mod.setSettings(s);
    mod.setInputPath(path);
    mod.setOutputPath(inPlace ? std::string() : output);
    mod.setOverwrite(overwrite);
    if (!mod.open()) {
        reportFailure(mod.status());
        return 1;
    }
    if (mod.totalFrames() == 0) {
        printError("Failed to get duration of file");
        return 1;
    }
    const std::string label =
        std::string(inPlace ? "Modifying metadata in the input file... " : "Modifying metadata to output file... ") +
        baseName(path);
    auto work = [&] {
        if (!mod.start()) return false;
        return mod.wait().ok();
    };
    // The progress bar is drawn on terminals only; Ctrl+C, SIGTERM and SIGHUP cancel the run either way.
    const bool ok = runWithProgress(label, mod.progress(), work);
    if (!ok) {
        reportFailure(mod.status());
        // The input itself was being changed: say which part of it now carries the new metadata.
        if (inPlace && !mod.inputChanged()) printError("Nothing was written: the input file is as it was");
        else if (inPlace && mod.status().code != core::ErrorCode::kIncomplete)
            printError("Stopped after " + std::to_string(mod.framesDone()) + " of " + std::to_string(mod.totalFrames()) +
                       " frames to change: those carry the new metadata, the next one may be partly changed and the rest "
                       "are as they were");
        return 1;
    }
    std::printf("Metadata modification complete.\n");
    if (!inPlace) std::printf("Output: %s\n", output.c_str());
    return 0;
}

}  // namespace zorv::cli
