// What a metadata modification changes: the timecode, recording date and time, user bits,
// widescreen flag and NTSC timecode kind, with the range checks of the settings and the reading of a
// date and time from the end of a file name.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/options.h"

namespace zorv::tools {

struct ModifySettings {
    bool timecodeEnabled = false;
    core::ModifyMode timecodeMode = core::ModifyMode::kNone;
    int tcHours = 0, tcMinutes = 0, tcSeconds = 0, tcFrames = 0;

    bool dateTimeEnabled = false;
    core::ModifyMode dateTimeMode = core::ModifyMode::kNone;  // any of the four
    // Start date/time (two-digit year, month 1-12, day 1-31) or signed offsets.
    int years = 0, months = 0, days = 0, hours = 0, minutes = 0, seconds = 0;

    bool userBitsEnabled = false;
    std::array<int, 4> userBits{0, 0, 0, 0};  // in entry order, each 0..0xFF

    bool widescreenEnabled = false;
    core::WidescreenTarget widescreenValue = core::WidescreenTarget::kWide16x9;  // any other value: "4:3"

    bool timecodeKindEnabled = false;
    bool dropFrameWanted = true;  // "drop frame" / "non-drop frame"

    bool anyEnabled() const {
        return (timecodeEnabled && timecodeMode != core::ModifyMode::kNone) ||
               (dateTimeEnabled && dateTimeMode != core::ModifyMode::kNone) || userBitsEnabled || widescreenEnabled ||
               timecodeKindEnabled;
    }
};

// The Modify Metadata page of the option record as settings.
ModifySettings modifySettingsFromOptions(const core::Options& options);

// A settings field that failed its range check.
enum class ModifyField {
    kTimecodeHours,
    kTimecodeMinutes,
    kTimecodeSeconds,
    kTimecodeFrames,
    kYears,
    kMonths,
    kDays,
    kHours,
    kMinutes,
    kSeconds,
    kUserBits,
};
struct ModifyValidationError {
    ModifyField field;
    std::string message;  // the full text shown, with its '"Adjust by" ' or '"Start from" ' prefix
};

// Checks the enabled groups in field order and returns the first failure.
std::optional<ModifyValidationError> validateModifySettings(const ModifySettings& s);

// A user-bits field as typed: one or two hexadecimal digits, empty meaning 00.
std::optional<int> parseUserBitsField(std::string_view text);

// Date and time at the end of a path without its extension: "yy-mm-dd hh.mm.ss" or "yy-mm-dd"
// (time 00:00:00). Two-digit year as written.
struct NameDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::optional<NameDateTime> dateTimeFromFileName(std::string_view path);

// The message shown when the name carries no date and time (followed by the path).
inline constexpr const char* kNoNameDateTimeMessage =
    "File name does not end with a recognised date/time format of\r\n\"yy-mm-dd hh.mm.ss\" or \"yy-mm-dd\"\r\n\r\n";
inline constexpr const char* kNothingSelectedMessage =
    "No Metadata items are currently selected for modification.\r\n\r\nCheck the settings in  Tools > Options > Modify";

}  // namespace zorv::tools
