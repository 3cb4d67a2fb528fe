// The choices of option fields that code acts on, as enum classes whose values are the numbers the
// option record and the settings store keep. Settings handed to the tools carry these types; the
// option record keeps the stored numbers (core/option_fields.* reads and writes them).
#pragma once

namespace zorv::core {

// General page: how a recording date reads.
enum class DateFormat : int { kDayMonthYear = 1, kMonthDayYear = 2, kYearMonthDay = 3 };
// General page: the separators of a drop-frame timecode, "hh:mm:ss;ff" or "hh;mm;ss;ff".
enum class DropFrameDisplay : int { kBeforeFrames = 0, kEverywhere = 1 };

// Modify Metadata: the mode of the timecode and of the date/time group.
enum class ModifyMode : int { kNone = 0, kStartFrom = 1, kAdjustBy = 2, kFromFileName = 3 /* date/time only */ };

enum class SplitTrigger : int { kTimecode = 1, kDateTime = 2, kUserBits = 3, kTapeIndex = 4 };
enum class SplitNameFormat : int { kNumber = 1, kTimecode = 2, kDateTime = 3, kUserBits = 4 };
enum class CaptureStopMode : int { kManual = 0, kDuration = 1, kNoFrames = 2 };
enum class BurnMode : int { kAllFrames = 0, kSceneStarts = 1 };
enum class DurationUnit : int { kSeconds = 0, kFrames = 1 };

// The number a choice is stored as.
template <typename Choice>
constexpr int stored(Choice c) {
    return static_cast<int>(c);
}

// The choice a stored number stands for, as it is (a number outside the choices stays such a value;
// the clamp functions of core/options.h apply the "reads as" rules).
template <typename Choice>
constexpr Choice choiceOf(int v) {
    return static_cast<Choice>(v);
}

}  // namespace zorv::core
