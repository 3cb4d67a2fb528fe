#include "core/options_validation.h"

#include <cstdio>

namespace zorv::core {

namespace {

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

std::optional<OptionProblem> problem(OptionField f, std::string message, int index = 0) {
    return OptionProblem{f, index, std::move(message)};
}

std::string format(const char* fmt, int a, int b = 0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

const ModifyAmount kTimecodeAmounts[4] = {
    {OptionField::kTimecodeHours, -23, 23, 0, 23, "Timecode Hours must be in the range %d to 23", false},
    {OptionField::kTimecodeMinutes, -59, 59, 0, 59, "Timecode Minutes must be in the range %d to 59", false},
    {OptionField::kTimecodeSeconds, -59, 59, 0, 59, "Timecode Secs must be in the range %d to 59", false},
    {OptionField::kTimecodeFrames, -29, 29, 0, 29, "Timecode Frames must be in the range %d to 29", false},
};

const ModifyAmount kDateTimeAmounts[6] = {
    {OptionField::kDateYears, -99, 99, 0, 99, "Years must be in the range %d to 99", false},
    {OptionField::kDateMonths, -11, 11, 1, 12, "Months must be in the range %d to %d", true},
    {OptionField::kDateDays, -30, 30, 1, 31, "Days must be in the range %d to %d", true},
    {OptionField::kTimeHours, -23, 23, 0, 23, "Hours must be in the range %d to 23", false},
    {OptionField::kTimeMinutes, -59, 59, 0, 59, "Mins must be in the range %d to 59", false},
    {OptionField::kTimeSeconds, -59, 59, 0, 59, "Secs must be in the range %d to 59", false},
};

std::optional<std::string> modifyAmountProblem(const ModifyAmount& amount, int value, ModifyMode mode) {
    const bool adjust = mode == ModifyMode::kAdjustBy;
    const int lo = adjust ? amount.adjustLow : amount.startLow;
    const int hi = adjust ? amount.adjustHigh : amount.startHigh;
    if (inRange(value, lo, hi)) return std::nullopt;
    const std::string prefix = adjust ? "\"Adjust by\" " : "\"Start from\" ";
    return prefix + (amount.twoBounds ? format(amount.message, lo, hi) : format(amount.message, lo));
}

std::optional<OptionProblem> validateBurnInPage(const Options& o) {
    if (!inRange(o.burnInDuration, 1, 999))
        return problem(OptionField::kBurnDuration, "Duration must be in the range 1 to 999");
    if (!inRange(o.textBrightness, 0, 100))
        return problem(OptionField::kTextBrightness, "Text Brightness must be a percentage in the range 0 to 100");
    if (!inRange(o.outlineBrightness, 0, 100))
        return problem(OptionField::kOutlineBrightness,
                       "Text Outline Brightness must be a percentage in the range 0 to 100");
    if (!inRange(o.transparency, 0, 99))
        return problem(OptionField::kTransparency, "Text Transparency must be a percentage in the range 0 to 99");
    return std::nullopt;
}

std::optional<OptionProblem> validateBurnUserPage(const Options& o) {
    if (!inRange(o.textHeight, 10, 300))
        return problem(OptionField::kTextHeight, "Text height must be a percentage in the range 1.0 to 30.0");
    for (int i = 0; i < kBurnItemCount; ++i) {
        const auto& p = o.burnPositions[static_cast<std::size_t>(i)];
        if (p.x > 99 || p.y > 99)
            return problem(OptionField::kBurnPosition, "Text positions must be a percentage in the range 0 to 99", i);
    }
    return std::nullopt;
}

std::optional<OptionProblem> validateCapturePage(const Options& o) {
    if (!inRange(o.captureDurationHours, 0, 23))
        return problem(OptionField::kCaptureHours, "Hours must be in the range 0 to 23");
    if (!inRange(o.captureDurationMinutes, 0, 59))
        return problem(OptionField::kCaptureMinutes, "Minutes must be in the range 0 to 59");
    if (!inRange(o.captureDurationSeconds, 0, 59))
        return problem(OptionField::kCaptureSeconds, "Secs must be in the range 0 to 59");
    if (o.captureDurationHours == 0 && o.captureDurationMinutes == 0 && o.captureDurationSeconds == 0)
        return problem(OptionField::kCaptureHours, "Duration must be greater than 00:00:00");
    if (!inRange(o.noFramesSeconds, 1, 99))
        return problem(OptionField::kNoFramesSeconds, "No frames delivered must be in the range 1 to 99 secs");
    return std::nullopt;
}

std::optional<OptionProblem> validateSplitterPage(const Options& o) {
    const SplitTrigger trigger = splitTriggerOf(o);
    if (trigger == SplitTrigger::kTimecode && !inRange(o.timecodeTriggerFrames, 1, 999))
        return problem(OptionField::kTimecodeTrigger, "Timecode trigger must be in the range 1 to 999 frames");
    if (trigger == SplitTrigger::kDateTime && !inRange(o.dateTimeTriggerSeconds, 1, 999))
        return problem(OptionField::kDateTimeTrigger, "Date/Time trigger must be in the range 1 to 999 seconds");
    if (!inRange(o.prerollDelaySeconds, 0, 10))
        return problem(OptionField::kPreroll, "Preroll delay must be in the range 0 to 10 seconds");
    return std::nullopt;
}

std::optional<OptionProblem> validateModifyPage(const Options& o) {
    auto runGroup = [](int mode, const ModifyAmount* amounts, const int* values, std::size_t n) {
        std::optional<OptionProblem> p;
        for (std::size_t i = 0; i < n && !p; ++i)
            if (auto text = modifyAmountProblem(amounts[i], values[i], choiceOf<ModifyMode>(mode)))
                p = problem(amounts[i].field, std::move(*text));
        return p;
    };
    if (o.changeTimecode) {
        const int values[] = {o.timecodeHours, o.timecodeMinutes, o.timecodeSeconds, o.timecodeFrames};
        if (auto p = runGroup(o.timecodeMode, kTimecodeAmounts, values, std::size(values))) return p;
    }
    // Taking the date and time from the file name needs no amounts.
    if (o.changeDateTime && choiceOf<ModifyMode>(o.dateTimeMode) != ModifyMode::kFromFileName) {
        const int values[] = {o.dateYears, o.dateMonths, o.dateDays, o.timeHours, o.timeMinutes, o.timeSeconds};
        if (auto p = runGroup(o.dateTimeMode, kDateTimeAmounts, values, std::size(values))) return p;
    }
    if (o.setUserBits) {
        for (int i = 0; i < 4; ++i)
            if (!inRange(o.userBits[static_cast<std::size_t>(i)], 0, 0xFF))
                return problem(OptionField::kUserBits, "User bit values must be hexadecimal values in the range 00 to FF",
                               i);
    }
    return std::nullopt;
}

int parseUserBitsField(std::string_view text) {
    if (text.empty()) return 0;
    if (text.size() > 2) return kNotANumber;
    int v = 0;
    for (char c : text) {
        const int d = hexDigit(c);
        if (d < 0) return kNotANumber;
        v = v * 16 + d;
    }
    return v;
}

}  // namespace zorv::core
