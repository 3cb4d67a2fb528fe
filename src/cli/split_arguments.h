// The splitter's command-line values, shared by `zorv split` and `zorv capture`: the trigger
// ("timecode:N", "datetime:S", "userbits", "index"), the output-name form and the pre-roll delay.
// Each returns 0 when the text was taken, or 2 after printing what is wrong.
#pragma once

#include <string_view>

#include "core/options.h"

namespace zorv::cli {

// A trigger with an optional threshold: "timecode" and "datetime" leave their threshold as it is.
int parseSplitTrigger(std::string_view text, core::SplitTrigger& trigger, int& timecodeFrames, int& dateTimeSeconds);
int parseSplitNameFormat(std::string_view text, core::SplitNameFormat& nameFormat);
int parsePrerollSeconds(std::string_view text, int& seconds);

}  // namespace zorv::cli
