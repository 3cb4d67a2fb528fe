// zorv frame FILE N: every metadata item of one DV frame in its display text (and, with --json, the
// raw packs and decoded codes too).
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/option_parser.h"
#include "cli/frame_record.h"
#include "cli/stream_info.h"
#include "core/metadata_text.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv frame FILE N|--time S [--json] [--date-format 1|2|3] [--df-format 0|1] [--frame-numbers]\n"
        "Shows every metadata item of frame N (counted from 0) of a DV file, or of picture N of an HDV or\n"
        "AVCHD stream.\n"
        "  --time S          the picture S seconds after the first one (HDV and AVCHD)\n"
        "  --json            machine-readable output with the raw packs and decoded codes\n"
        "  --date-format N   1 dd/mm/yy (default), 2 mm/dd/yy, 3 yy-mm-dd\n"
        "  --df-format N     drop-frame timecode as 0 hh:mm:ss;ff (default) or 1 hh;mm;ss;ff\n"
        "  --frame-numbers   show the position as a frame number instead of a timecode\n",
        out);
}

// Frames read past the one asked for to settle the file's timecode style.
constexpr int64_t kStyleLookAhead = 300;
// The largest --time: about 31 years, far beyond any recording yet well inside 64-bit 100-ns counts.
constexpr double kMaxSeconds = 1e9;

}  // namespace

int cmdFrame(int argc, char** argv) {
    std::string path;
    std::optional<int64_t> frame;
    bool json = false;
    core::DisplaySettings settings;
    std::optional<double> seconds;
    auto frameNumber = [&](const char* v) {
        frame = parseInt(v);
        if (!frame || *frame < 0) {
            printError("the frame number must be a whole number from 0");
            return 2;
        }
        return 0;
    };
    auto number = [](auto& target) {
        return [&target](const char* text) {
            auto v = parseInt(text);
            if (!v) return kWrongArgument;
            target = core::choiceOf<std::remove_reference_t<decltype(target)>>(static_cast<int>(*v));
            return 0;
        };
    };
    const CliOption options[] = {
        {"--json", {}, false, setFlag(json)},
        {"--time",
         {},
         true,
         [&](const char* text) {
             char* end = nullptr;
             const double v = std::strtod(text, &end);
             if (!end || *end || end == text) return kWrongArgument;
             // Times become picture numbers and 100-ns counts: nan, infinities and times no
             // recording reaches are refused before any conversion.
             if (!std::isfinite(v) || v < 0 || v > kMaxSeconds) {
                 printError("the time must be a number of seconds from 0 to " + std::to_string(int64_t(kMaxSeconds)));
                 return 2;
             }
             seconds = v;
             return 0;
         }},
        {"--frame-numbers", {}, false, setFlag(settings.progressAsFrameNumber)},
        {"--date-format", {}, true, number(settings.dateFormat)},
        {"--df-format", {}, true, number(settings.dropFrameFormat)},
    };
    // Before "--" a second operand is the frame number and a third is wrong; after it each one after the
    // file is the frame number.
    CommandLine line{usage, options, OperandForm::kAnyNotTaken};
    line.operand = [&](const char* a) {
        if (path.empty()) {
            path = a;
            return 0;
        }
        return frame ? kWrongArgument : frameNumber(a);
    };
    line.operandAfterEnd = [&](const char* a) {
        if (path.empty()) {
            path = a;
            return 0;
        }
        return frameNumber(a);
    };
    if (int r = parseCommandLine(argc, argv, line); r >= 0) return r;
    if (path.empty() || (!frame && !seconds)) {
        usage(stderr);
        return 2;
    }
    // HDV and AVCHD streams.
    if (const int rc = streamFrame(path, FrameRequest{frame, seconds, json, settings}); rc >= 0) return rc;
    if (!frame) {
        usage(stderr);
        return 2;
    }

    media::DvMediaFile file;
    if (!openMedia(file, path, true)) return 1;
    int64_t n = *frame;
    if (n >= file.frameCount()) {
        char msg[128];
        std::snprintf(msg, sizeof msg, "frame %" PRId64 " is past the end: the file has %" PRId64 " frames", n,
                      file.frameCount());
        printError(msg);
        return 1;
    }
    // The file's timecode style is settled as in a scan: by the first frame that carries the system
    // and timecode packs (looking a little past the frame asked for when those before it lack them).
    const int64_t lookTo = std::min(file.frameCount() - 1, n + kStyleLookAhead);
    for (int64_t k = 0; k <= lookTo && !file.decoded().timecodeStyleSettled; ++k) {
        bool empty = false;
        if (file.seekToFrame(k, empty)) file.frameMetadata(k);
    }
    bool empty = false;
    if (!file.seekToFrame(n, empty)) {
        if (!empty) {
            printError("Failed to read file - frame " + std::to_string(n));
            return 1;
        }
        if (json) {
            std::printf("%s,\"dropped\":true}\n", frameJsonStart(path, n).c_str());
        } else {
            std::printf("Frame %" PRId64 ": dropped frame (empty index entry)\n", n);
        }
        return 0;
    }
    if (!file.frameMetadata(n)) {
        printError("Failed to read file - frame " + std::to_string(n));
        return 1;
    }
    const core::MetadataRecord& rec = file.record();
    const core::DecodedValues& v = file.decoded();
    const auto variant = core::TextVariant::MetadataWindow;
    int style = v.timecodeStyle;

    FrameItems items;
    core::formatFramePosition(items.add(FrameField::kPosition), n, style, settings, variant);
    core::formatTimecode(items.add(FrameField::kTimecode), rec, style, settings, variant);
    addCameraItems(items, rec, style, file.linePeriod(), settings, variant);
    core::formatAudioMode(items.add(FrameField::kAudio), rec, variant);

    if (!json) {
        std::printf("Frame %" PRId64 " of %s\n", n, path.c_str());
        items.print();
        return 0;
    }
    std::string out = frameJsonStart(path, n) + ",\"dropped\":false";
    items.appendJson(out);
    appendFramePacks(out, "packs", rec.packs);
    char dec[768];
    std::snprintf(dec, sizeof dec,
                  ",\"decoded\":{\"fieldRate\":%d,\"frameRate\":%d,\"timecodeStyle\":%d,"
                  "\"timecode\":[%d,%d,%d,%d],\"userBits\":%u,\"recValid\":%s,\"recSeconds\":%" PRId64
                  ","
                  "\"iris\":%d,\"shutter\":%d,\"gain\":%d,\"exposureMode\":%d,\"stabilizer\":%d,"
                  "\"whiteBalance\":%d,\"focus\":%d,\"audioUnlocked\":%d,\"audioSampling\":%d,"
                  "\"recordingStart\":%d}}",
                  v.fieldRate, v.frameRate, v.timecodeStyle, v.tcHours, v.tcMinutes, v.tcSeconds, v.tcFrames, v.userBits,
                  v.recValid ? "true" : "false", v.recSeconds, v.iris, v.shutter, v.gain, v.exposureMode, v.stabilizer,
                  v.whiteBalance, v.focus, v.audioUnlocked, v.audioSampling, v.recordingStart);
    out += dec;
    std::puts(out.c_str());
    return 0;
}

}  // namespace zorv::cli
