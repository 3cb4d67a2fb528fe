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
// Modify Metadata: the kind of NTSC timecode and the widescreen flag asked for (their lists' order).
enum class DropFrameTarget : int { kDropFrame = 0, kNonDropFrame = 1 };
enum class WidescreenTarget : int { kWide16x9 = 0, kNormal4x3 = 1 };

// Decoders page: the picture size of the DV decoder.
enum class DvDecoderResolution : int { kFull = 0, kHalf = 1 };
// Rendering page: how pictures are drawn (software or OpenGL, in the window or in one of their own).
enum class Renderer : int { kVmr7Windowless = 1, kVmr9Windowless = 2, kVmr7Windowed = 3, kVmr9Windowed = 4 };
// Burn-in page: where the items go, each at its own place or in the band of a title-safe area.
enum class TextPositioning : int { kUser = 0, kFixed80 = 1, kFixed90 = 2 };

// Export Metadata page: which frames get a row.
enum class ExportFrequency : int {
    kAllFrames = 0,     // "For all frames"
    kAnyChange = 1,     // "At any Change or Discontinuity"
    kSceneChanges = 2,  // "At each scene change"
};
// Export Subtitles page: what a cue shows.
enum class SubtitleLayout : int {
    kAllMetadata = 0,    // "All metadata"
    kDateAboveTime = 1,  // "Date above Time (2 lines)"
    kTimeAboveDate = 2,  // "Time above Date (2 lines)"
    kDateThenTime = 3,   // "Date then Time (1 line)"
    kTimeThenDate = 4,   // "Time then Date (1 line)"
};
inline constexpr int kSubtitleLayoutCount = 5;

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
