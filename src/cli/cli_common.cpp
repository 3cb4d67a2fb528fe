#include "media/formats/format_table.h"
#include "cli/cli_common.h"

#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "core/dv_layout.h"
#include "core/json_text.h"
#include "core/scene_sets.h"

namespace zorv::cli {

namespace {

struct TriggerName {
    const char* name;
    uint32_t bit;
};

const TriggerName kTriggerNames[] = {
    {"timecode", core::kTriggerTimecode},
    {"userbits", core::kTriggerUserBits},
    {"datetime", core::kTriggerDateTime},
    {"shutter", core::kTriggerShutter},
    {"iris", core::kTriggerIris},
    {"stabilizer", core::kTriggerStabilizer},
    {"gain", core::kTriggerGain},
    {"exposure", core::kTriggerExposureMode},
    {"whitebalance", core::kTriggerWhiteBalance},
    {"focus", core::kTriggerFocus},
    {"audiosampling", core::kTriggerAudioSampling},
    {"audiolock", core::kTriggerAudioLock},
    {"index", core::kTriggerTapeIndex},
    {"dropped", core::kTriggerDroppedFrame},
    {"damage", core::kTriggerDamage},
};

std::string formatMessage(const char* form, const std::string& path) {
    char buf[4096];
    std::snprintf(buf, sizeof buf, form, path.c_str());
    return buf;
}

}  // namespace

void printWarning(std::string_view text) {
    std::fprintf(stderr, "zorv: warning: %.*s\n", static_cast<int>(text.size()), text.data());
}

void printWarnings(const core::Status& result) {
    for (const core::Warning& w : result.warnings) printWarning(w.text);
}

void printError(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    std::fprintf(stderr, "zorv: %s\n", out.c_str());
}

bool openMedia(media::DvMediaFile& file, const std::string& path, bool dvOnly) {
    media::Recognition r = file.recognise(path);
    if (r.status.code == core::ErrorCode::kOpenFailed) {
        printError(formatMessage("Unable to open the requested file:\r\n\r\n%s", path));
        return false;
    }
    if (r.status.code == core::ErrorCode::kNotRecognised) {
        printError(
            formatMessage("File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format:\r\n\r\n%s", path));
        return false;
    }
    if (!r.ok()) {
        printError(formatMessage("Unable to read the requested file:\r\n\r\n%s", path));
        return false;
    }
    const bool dv = media::formatOf(r.type).isDv();
    if (dvOnly && !dv) {
        std::string text = "File is ";
        text += media::typeName(r.type);
        text += ", not DV AVI or Raw DV:\r\n\r\n" + path;
        printError(text);
        return false;
    }
    if (!file.open(path)) {
        if (dv) {
            const std::string& why = file.lastMessage();
            printError(why.empty() ? "Unable to index the AVI file" : "Unable to index the AVI file\r\n\r\n" + why);
        } else {
            printError(formatMessage("Unable to read the requested file:\r\n\r\n%s", path));
        }
        return false;
    }
    return true;
}

std::optional<uint32_t> parseTriggers(std::string_view list) {
    if (list.empty()) return std::nullopt;
    if (list[0] >= '0' && list[0] <= '9') {
        int base = 10;
        if (list.size() > 2 && list[0] == '0' && (list[1] == 'x' || list[1] == 'X')) {
            list.remove_prefix(2);
            base = 16;
        }
        uint32_t v = 0;
        auto [p, ec] = std::from_chars(list.data(), list.data() + list.size(), v, base);
        if (ec != std::errc() || p != list.data() + list.size()) return std::nullopt;
        return v;
    }
    uint32_t mask = 0;
    while (!list.empty()) {
        size_t comma = list.find(',');
        std::string_view word = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (word == "all") {
            for (const auto& t : kTriggerNames) mask |= t.bit;
            continue;
        }
        bool found = false;
        for (const auto& t : kTriggerNames) {
            if (word == t.name) {
                mask |= t.bit;
                found = true;
            }
        }
        if (!found) return std::nullopt;
    }
    return mask;
}

std::string triggerNames(uint32_t mask) {
    std::string out;
    for (const auto& t : kTriggerNames) {
        if (mask & t.bit) {
            if (!out.empty()) out += ',';
            out += t.name;
        }
    }
    return out;
}

std::optional<int64_t> parseInt(std::string_view text) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
    return v;
}

void jsonString(std::string& out, std::string_view s) { core::appendJsonString(out, s); }

std::string failureText(const core::Status& status, const char* separator) {
    std::string text = status.message;
    if (status.sysError == 0) return text;
    const std::string sys = std::strerror(status.sysError);
    if (text.find(sys) != std::string::npos) return text;
    return text.empty() ? sys : text + separator + sys;
}

bool interactive() { return ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO); }

bool askYes(const char* question) {
    std::fprintf(stderr, "%s [y/N] ", question);
    std::fflush(stderr);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return false;
    std::string_view a(line);
    while (!a.empty() && std::isspace(static_cast<unsigned char>(a.back()))) a.remove_suffix(1);
    return a == "y" || a == "Y" || a == "yes" || a == "YES" || a == "Yes";
}

bool confirmInPlace(const char* warning) {
    std::fputs(warning, stderr);
    if (interactive() && askYes("Are you SURE you wish to make changes to the INPUT file?")) return true;
    printError("Operation Cancelled");
    return false;
}

double dvFrameRate(size_t frameSize) {
    const core::dv::System& sys = core::dv::systemOfFrame(frameSize);
    return static_cast<double>(sys.rateNum) / sys.rateDen;
}

}  // namespace zorv::cli
