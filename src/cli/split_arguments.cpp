#include "cli/split_arguments.h"

#include <string>

#include "cli/cli_common.h"
#include "core/option_fields.h"

namespace zorv::cli {

namespace {

using core::Options;

bool parseInRange(std::string_view text, const core::OptionFieldSpec& row, int& value) {
    auto v = parseInt(text);
    if (!v || *v < row.low || *v > row.high) return false;
    value = static_cast<int>(*v);
    return true;
}

}  // namespace

int parseSplitTrigger(std::string_view t, core::SplitTrigger& trigger, int& timecodeFrames, int& dateTimeSeconds) {
    const core::OptionFieldSpec& row = core::optionField(&Options::splitTrigger);
    const std::string_view name = t.substr(0, t.find(':'));
    const std::optional<int> value = core::choiceValue(row, name);
    // Only the two jump triggers take a threshold; their names are also taken as a prefix, as before.
    struct Threshold {
        int Options::*field;
        int& target;
        const char* message;
    };
    const Threshold thresholds[] = {
        {&Options::timecodeTriggerFrames, timecodeFrames, "Timecode trigger must be in the range 1 to 999 frames"},
        {&Options::dateTimeTriggerSeconds, dateTimeSeconds, "Date/Time trigger must be in the range 1 to 999 seconds"},
    };
    for (int i = 0; i < 2; ++i) {
        const std::string_view prefix = row.choices[static_cast<std::size_t>(i)];
        if (!t.starts_with(prefix)) continue;
        trigger = static_cast<core::SplitTrigger>(row.low + i);
        const Threshold& th = thresholds[i];
        if (t.size() > prefix.size() && (t[prefix.size()] != ':' || !parseInRange(t.substr(prefix.size() + 1),
                                                                                  core::optionField(th.field), th.target))) {
            printError(th.message);
            return 2;
        }
        return 0;
    }
    if (value && name == t) {
        trigger = static_cast<core::SplitTrigger>(*value);
        return 0;
    }
    printError("unknown trigger '" + std::string(t) + "'");
    return 2;
}

int parseSplitNameFormat(std::string_view n, core::SplitNameFormat& nameFormat) {
    if (auto v = core::choiceValue(core::optionField(&Options::splitFileNameFormat), n)) {
        nameFormat = static_cast<core::SplitNameFormat>(*v);
        return 0;
    }
    printError("unknown name format '" + std::string(n) + "'");
    return 2;
}

int parsePrerollSeconds(std::string_view text, int& seconds) {
    if (parseInRange(text, core::optionField(&Options::prerollDelaySeconds), seconds)) return 0;
    printError("Preroll delay must be in the range 0 to 10 seconds");
    return 2;
}

}  // namespace zorv::cli
