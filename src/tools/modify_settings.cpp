#include "tools/modify_settings.h"

#include <cctype>
#include <cstdio>

namespace zorv::tools {

namespace {

struct RangeCheck {
    ModifyField field;
    int value;
    int adjustMin, adjustMax, startMin, startMax;
    const char* form;  // "%d to 23" style: one or two bounds
    bool twoBounds;
};

std::string prefixFor(core::ModifyMode mode) {
    return mode == core::ModifyMode::kAdjustBy ? "\"Adjust by\" " : "\"Start from\" ";
}

std::optional<ModifyValidationError> check(const RangeCheck& c, core::ModifyMode mode) {
    const bool adjust = mode == core::ModifyMode::kAdjustBy;
    const int lo = adjust ? c.adjustMin : c.startMin;
    const int hi = adjust ? c.adjustMax : c.startMax;
    if (c.value >= lo && c.value <= hi) return std::nullopt;
    char text[128];
    if (c.twoBounds) std::snprintf(text, sizeof text, c.form, lo, hi);
    else std::snprintf(text, sizeof text, c.form, lo);
    return ModifyValidationError{c.field, prefixFor(mode) + text};
}

}  // namespace

ModifySettings modifySettingsFromOptions(const core::Options& o) {
    ModifySettings s;
    s.timecodeEnabled = o.changeTimecode;
    s.timecodeMode = core::choiceOf<core::ModifyMode>(o.timecodeMode);
    s.tcHours = o.timecodeHours;
    s.tcMinutes = o.timecodeMinutes;
    s.tcSeconds = o.timecodeSeconds;
    s.tcFrames = o.timecodeFrames;
    s.dateTimeEnabled = o.changeDateTime;
    s.dateTimeMode = core::choiceOf<core::ModifyMode>(o.dateTimeMode);
    s.years = o.dateYears;
    s.months = o.dateMonths;
    s.days = o.dateDays;
    s.hours = o.timeHours;
    s.minutes = o.timeMinutes;
    s.seconds = o.timeSeconds;
    s.userBitsEnabled = o.setUserBits;
    for (size_t i = 0; i < 4; ++i) s.userBits[i] = o.userBits[i] > 0xFF ? 0xFF : o.userBits[i];
    s.widescreenEnabled = o.changeWidescreen;
    s.widescreenValue = core::choiceOf<core::WidescreenTarget>(o.widescreenTarget);
    s.timecodeKindEnabled = o.changeDropFrame;
    s.dropFrameWanted = core::choiceOf<core::DropFrameTarget>(o.dropFrameTarget) == core::DropFrameTarget::kDropFrame;
    return s;
}

std::optional<ModifyValidationError> validateModifySettings(const ModifySettings& s) {
    if (s.timecodeEnabled && s.timecodeMode != core::ModifyMode::kNone) {
        const RangeCheck checks[] = {
            {ModifyField::kTimecodeHours, s.tcHours, -23, 23, 0, 23, "Timecode Hours must be in the range %d to 23", false},
            {ModifyField::kTimecodeMinutes, s.tcMinutes, -59, 59, 0, 59, "Timecode Minutes must be in the range %d to 59",
             false},
            {ModifyField::kTimecodeSeconds, s.tcSeconds, -59, 59, 0, 59, "Timecode Secs must be in the range %d to 59",
             false},
            {ModifyField::kTimecodeFrames, s.tcFrames, -29, 29, 0, 29, "Timecode Frames must be in the range %d to 29",
             false},
        };
        for (const auto& c : checks)
            if (auto e = check(c, s.timecodeMode)) return e;
    }
    // The file-name mode takes its values from the name, not from the fields.
    if (s.dateTimeEnabled &&
        (s.dateTimeMode == core::ModifyMode::kStartFrom || s.dateTimeMode == core::ModifyMode::kAdjustBy)) {
        const RangeCheck checks[] = {
            {ModifyField::kYears, s.years, -99, 99, 0, 99, "Years must be in the range %d to 99", false},
            {ModifyField::kMonths, s.months, -11, 11, 1, 12, "Months must be in the range %d to %d", true},
            {ModifyField::kDays, s.days, -30, 30, 1, 31, "Days must be in the range %d to %d", true},
            {ModifyField::kHours, s.hours, -23, 23, 0, 23, "Hours must be in the range %d to 23", false},
            {ModifyField::kMinutes, s.minutes, -59, 59, 0, 59, "Mins must be in the range %d to 59", false},
            {ModifyField::kSeconds, s.seconds, -59, 59, 0, 59, "Secs must be in the range %d to 59", false},
        };
        for (const auto& c : checks)
            if (auto e = check(c, s.dateTimeMode)) return e;
    }
    if (s.userBitsEnabled) {
        for (int v : s.userBits)
            if (v < 0 || v > 0xFF)
                return ModifyValidationError{ModifyField::kUserBits,
                                             "User bit values must be hexadecimal values in the range 00 to FF"};
    }
    return std::nullopt;
}

std::optional<int> parseUserBitsField(std::string_view text) {
    if (text.empty()) return 0;
    if (text.size() > 2) return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    return v;
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
int two(std::string_view s, size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

// "yy-mm-dd" starting at s[0].
bool readDate(std::string_view s, NameDateTime& out) {
    for (size_t i = 0; i < 8; ++i) {
        const bool sep = i == 2 || i == 5;
        if (sep ? s[i] != '-' : !isDigit(s[i])) return false;
    }
    out.year = two(s, 0);
    out.month = two(s, 3);
    out.day = two(s, 6);
    return true;
}

bool inRange(const NameDateTime& d) {
    return d.year <= 99 && d.month <= 12 && d.day <= 31 && d.hour <= 23 && d.minute <= 59 && d.second <= 59;
}

}  // namespace

std::optional<NameDateTime> dateTimeFromFileName(std::string_view path) {
    // The path without its extension: the extension is what follows the last '.' of the last
    // path component.
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) path = path.substr(0, dot);

    if (path.size() >= 17) {
        const std::string_view s = path.substr(path.size() - 17);
        NameDateTime d;
        bool ok = readDate(s, d) && s[8] == ' ' && s[11] == '.' && s[14] == '.';
        for (size_t i : {9u, 10u, 12u, 13u, 15u, 16u}) ok = ok && isDigit(s[i]);
        if (ok) {
            d.hour = two(s, 9);
            d.minute = two(s, 12);
            d.second = two(s, 15);
            if (inRange(d)) return d;
        }
    }
    if (path.size() >= 8) {
        NameDateTime d;
        if (readDate(path.substr(path.size() - 8), d) && inRange(d)) return d;
    }
    return std::nullopt;
}

}  // namespace zorv::tools
