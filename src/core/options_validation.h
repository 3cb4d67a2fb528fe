// The checks the options pages run before they let the user leave a page or press OK, with the
// message shown and the field that gets the focus. The page turns each edit field into a number
// first; an empty field or one that is not a number is passed as kNotANumber.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/options.h"

namespace zorv::core {

inline constexpr int kNotANumber = -1000000;

enum class OptionField {
    kBurnDuration,
    kTextBrightness,
    kOutlineBrightness,
    kTransparency,
    kTextHeight,
    kBurnPosition,  // index: the item
    kCaptureHours,
    kCaptureMinutes,
    kCaptureSeconds,
    kNoFramesSeconds,
    kTimecodeTrigger,
    kDateTimeTrigger,
    kPreroll,
    kTimecodeHours,
    kTimecodeMinutes,
    kTimecodeSeconds,
    kTimecodeFrames,
    kDateYears,
    kDateMonths,
    kDateDays,
    kTimeHours,
    kTimeMinutes,
    kTimeSeconds,
    kUserBits,  // index: 0..3
};

struct OptionProblem {
    OptionField field;
    int index = 0;
    std::string message;
    friend bool operator==(const OptionProblem&, const OptionProblem&) = default;
};

// Each returns the first failing field in the page's order, or nothing when the page is valid.
std::optional<OptionProblem> validateBurnInPage(const Options& o);
std::optional<OptionProblem> validateBurnUserPage(const Options& o);
std::optional<OptionProblem> validateCapturePage(const Options& o);
// Only the threshold of the chosen trigger is checked (the other field is disabled).
std::optional<OptionProblem> validateSplitterPage(const Options& o);
// Only ticked groups are checked; the message starts with the group's mode in quotes. User bits
// must already have been read with parseUserBitsField (kNotANumber for a bad field).
std::optional<OptionProblem> validateModifyPage(const Options& o);

// An amount Modify Metadata takes: its range in "Adjust by" and in "Start from", and the text shown
// when a value leaves it.
struct ModifyAmount {
    OptionField field;
    int adjustLow, adjustHigh, startLow, startHigh;
    const char* message;  // %d the low bound, and with twoBounds %d the high bound
    bool twoBounds;
};
// In the order they are checked: hours, minutes, seconds, frames; and years, months, days, hours,
// minutes, seconds.
extern const ModifyAmount kTimecodeAmounts[4];
extern const ModifyAmount kDateTimeAmounts[6];
// The text shown for a value outside the amount's range in that mode, with the mode in quotes before
// it ('"Adjust by" ' for kAdjustBy, '"Start from" ' otherwise); nothing when it is inside.
std::optional<std::string> modifyAmountProblem(const ModifyAmount& amount, int value, ModifyMode mode);

// A user-bits field: one or two hexadecimal digits, empty counts as 00. kNotANumber otherwise.
int parseUserBitsField(std::string_view text);

}  // namespace zorv::core
