#include "tools/modify_settings.h"

#include <span>

#include "core/options_validation.h"

namespace zorv::tools {

namespace {

// The first value outside its amount's range; fields counts from the group's first field.
std::optional<ModifyValidationError> checkGroup(std::span<const core::ModifyAmount> amounts, const int* values,
                                                core::ModifyMode mode, int firstField) {
    for (size_t i = 0; i < amounts.size(); ++i)
        if (auto text = core::modifyAmountProblem(amounts[i], values[i], mode))
            return ModifyValidationError{static_cast<ModifyField>(firstField + static_cast<int>(i)), std::move(*text)};
    return std::nullopt;
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
        const int values[] = {s.tcHours, s.tcMinutes, s.tcSeconds, s.tcFrames};
        if (auto e = checkGroup(core::kTimecodeAmounts, values, s.timecodeMode, int(ModifyField::kTimecodeHours))) return e;
    }
    // The file-name mode takes its values from the name, not from the fields.
    if (s.dateTimeEnabled &&
        (s.dateTimeMode == core::ModifyMode::kStartFrom || s.dateTimeMode == core::ModifyMode::kAdjustBy)) {
        const int values[] = {s.years, s.months, s.days, s.hours, s.minutes, s.seconds};
        if (auto e = checkGroup(core::kDateTimeAmounts, values, s.dateTimeMode, int(ModifyField::kYears))) return e;
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
    const int v = core::parseUserBitsField(text);
    return v == core::kNotANumber ? std::nullopt : std::optional<int>(v);
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
