// zorv scenes FILE: scans a DV file for scene changes and lists the scene starts.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/run_with_progress.h"
#include "core/metadata_text.h"
#include "core/scene_sets.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv scenes FILE [--triggers LIST]\n"
        "Scans every frame of a DV file and lists the frames where a scene starts.\n"
        "  --triggers LIST  comma-separated: timecode, userbits, datetime, shutter, iris, stabilizer,\n"
        "                   gain, exposure, whitebalance, focus, audiosampling, audiolock, index,\n"
        "                   dropped, damage (where damaged frames begin), all; or a mask number\n"
        "                   (default: datetime)\n"
        "Each line: frame number, file position, the frame's timecode, what changed there.\n",
        out);
}

}  // namespace

int cmdScenes(int argc, char** argv) {
    std::string path;
    uint32_t mask = core::kDefaultSceneMask;
    const CliOption options[] = {
        {"--triggers",
         {},
         true,
         [&](const char* v) {
             auto m = parseTriggers(v);
             if (!m) {
                 printError(std::string("unknown trigger list '") + v + "'");
                 return 2;
             }
             mask = *m;
             return 0;
         }},
    };
    CommandLine line{usage, options, OperandForm::kNoDoubleDash};
    line.operand = oneOperand(path);
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (path.empty()) {
        usage(stderr);
        return 2;
    }
    media::DvMediaFile file;
    if (!openMedia(file, path, true)) return 1;
    file.setOptionMask(mask);

    core::Progress progress;
    bool ok = runWithProgress("Scanning for scene changes ...", progress, [&] { return file.scan(&progress); });
    if (!ok) {
        if (file.lastError() == core::ErrorCode::kCancelled) {
            printError("Operation Cancelled");
            return 130;
        }
        printError(file.lastMessage().empty() ? "Failed to read file - " + path : file.lastMessage());
        return 1;
    }

    const core::SceneSets& sets = file.sceneSets();
    const core::DisplaySettings settings;
    std::printf("%" PRId64 " frames, %zu scene starts (triggers: %s)\n", file.frameCount(), sets.sceneList().size(),
                triggerNames(mask).c_str());
    static const uint32_t kBits[] = {core::kTriggerTimecode,  core::kTriggerUserBits,      core::kTriggerDateTime,
                                     core::kTriggerShutter,   core::kTriggerIris,          core::kTriggerStabilizer,
                                     core::kTriggerGain,      core::kTriggerExposureMode,  core::kTriggerWhiteBalance,
                                     core::kTriggerFocus,     core::kTriggerAudioSampling, core::kTriggerAudioLock,
                                     core::kTriggerTapeIndex, core::kTriggerDroppedFrame,  core::kTriggerDamage};
    int style = file.decoded().timecodeStyle;
    for (int64_t n : sets.sceneList()) {
        core::TextBuf pos, tc;
        core::formatFramePosition(pos, n, style, settings, core::TextVariant::MetadataWindow);
        media::DvMediaFile::Timecode t;
        if (file.readTimecode(n, t)) {
            std::snprintf(tc.s, sizeof tc.s, "%02d:%02d:%02d%c%02d", t.hours, t.minutes, t.seconds, t.dropFrame ? ';' : ':',
                          t.frames);
        } else {
            std::snprintf(tc.s, sizeof tc.s, "--:--:--:--");
        }
        uint32_t why = 0;
        for (uint32_t bit : kBits) {
            if ((mask & bit) && sets.changes(static_cast<core::SceneTrigger>(bit)).count(n)) why |= bit;
        }
        std::printf("%10" PRId64 "  %s  %s  %s\n", n, pos.c_str(), tc.c_str(), triggerNames(why).c_str());
    }
    return 0;
}

}  // namespace zorv::cli
