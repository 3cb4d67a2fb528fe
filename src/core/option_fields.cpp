#include "core/option_fields.h"

#include <algorithm>

namespace zorv::core {

namespace {

using O = Options;
using R = OutOfRange;

constexpr std::string_view kExportModes[] = {"all", "changes", "scenes"};
constexpr std::string_view kSplitTriggers[] = {"timecode", "datetime", "userbits", "index"};
constexpr std::string_view kSplitNames[] = {"number", "timecode", "datetime", "userbits"};
constexpr std::string_view kAviTypes[] = {"avi1", "avi2"};
constexpr std::string_view kBurnModes[] = {"all", "scenes"};
constexpr std::string_view kPositionings[] = {"user", "fixed80", "fixed90"};

// An integer field.
constexpr OptionFieldSpec num(std::string_view page, std::string_view name, int O::*m, int def, int lo, int hi,
                              R rule = R::kKept, int readsAs = 0, std::string_view cli = {},
                              std::span<const std::string_view> choices = {}) {
    return OptionFieldSpec{page, name, m, -1, def, {}, lo, hi, rule, readsAs, cli, choices};
}
// A check box.
constexpr OptionFieldSpec flag(std::string_view page, std::string_view name, bool O::*m, bool def,
                               std::string_view cli = {}) {
    return OptionFieldSpec{page, name, m, -1, def ? 1 : 0, {}, 0, 1, R::kKept, 0, cli, {}};
}
constexpr OptionFieldSpec userBits(std::string_view name, int element) {
    return OptionFieldSpec{"Modify Metadata", name, &O::userBits, element, 0, {}, 0, 0xFF, R::kNearest, 0, {}, {}};
}

constexpr auto kRows = std::to_array<OptionFieldSpec>({
    num("General", "DateFormat", &O::dateFormat, 1, 1, 3, R::kReadsAs, 1, "--date-format"),
    num("General", "DropFrameDisplay", &O::dropFrameDisplay, 0, 0, 1, R::kReadsAs, 0, "--df-format"),
    flag("General", "ProgressAsFrame", &O::progressAsFrameNumber, false, "--frame-numbers"),
    flag("General", "GpsDecimal", &O::gpsInDecimal, false, "--gps-decimal"),
    flag("General", "ShowGps", &O::showGpsItems, false, "--gps"),
    flag("General", "SaveAsDefault", &O::saveAllSettingsAsDefault, false),
    num("Decoders", "DvResolution", &O::dvDecoderResolution, 0, 0, 1, R::kReadsAs, 0),
    num("Rendering", "Renderer", &O::renderer, stored(Renderer::kVmr9Windowless), 1, 3, R::kReadsAs,
        stored(Renderer::kVmr9Windowed)),
    {"Scenes",
     "SceneMask",
     &O::sceneTriggerMask,
     -1,
     scene_trigger::kRecordingDateTime,
     {},
     0,
     0,
     R::kKept,
     0,
     "--triggers",
     {}},
    num("Burn-in", "BurnMode", &O::burnInMode, 0, 0, 1, R::kNearest, 0, "--mode", kBurnModes),
    num("Burn-in", "BurnDuration", &O::burnInDuration, 5, 1, 999, R::kNearest),
    num("Burn-in", "BurnDurationUnit", &O::burnInDurationUnit, 0, 0, 1, R::kNearest),
    num("Burn-in", "BurnPositioning", &O::textPositioning, 2, 0, 2, R::kReadsAs, 2, "--layout", kPositionings),
    flag("Burn-in", "Burn43Area", &O::always43Area, false),
    num("Burn-in", "BurnTextBright", &O::textBrightness, 90, 0, 100, R::kNearest),
    num("Burn-in", "BurnOutlineBright", &O::outlineBrightness, 10, 0, 100, R::kNearest),
    num("Burn-in", "BurnTransparency", &O::transparency, 0, 0, 99, R::kNearest),
    {"Burn-in", "BurnItems", &O::burnInItemMask, -1, kDefaultBurnItemMask, {}, 0, 0, R::kKept, 0, "--items", {}},
    {"Burn-in", "BurnComp", &O::outputCompressor, -1, 0, kUncompressed, 0, 0, R::kKept, 0, "--compressor", {}},
    flag("Burn-in", "BurnAudio", &O::includeAudio, false, "--audio"),
    {"Burn-in User Positioning", "BurnFont", &O::fontFace, -1, 0, "Courier New", 0, 0, R::kKept, 0, {}, {}},
    num("Burn-in User Positioning", "BurnTextHeight", &O::textHeight, 50, 10, 300, R::kNearest),
    num("Burn-in User Positioning", "BurnStyle", &O::styleFlags, 1, 0, 0x3, R::kBits),
    {"Burn-in User Positioning", "BurnPositions", &O::burnPositions, -1, 0, {}, 0, 99, R::kNearest, 0, {}, {}},
    num("Capture", "CapStopMode", &O::captureStopMode, 0, 0, 2, R::kReadsAs, 0),
    num("Capture", "CapHours", &O::captureDurationHours, 1, 0, 23),
    num("Capture", "CapMins", &O::captureDurationMinutes, 0, 0, 59),
    num("Capture", "CapSecs", &O::captureDurationSeconds, 0, 0, 59),
    num("Capture", "CapNoFrames", &O::noFramesSeconds, 10, 1, 99, R::kNearest, 0, "--stop-after-idle"),
    num("Capture", "CapAviType", &O::captureAviType, 2, 1, 2, R::kReadsAs, 2, "--type", kAviTypes),
    flag("Capture", "CapSplitter", &O::useSplitter, true),
    flag("Capture", "CapSlave", &O::slaveToCamera, false),
    flag("Capture", "CapCurrentTime", &O::useCurrentDateTime, false),
    num("Splitter", "SplitTrigger", &O::splitTrigger, 1, 1, 4, R::kReadsAs, 1, "--split", kSplitTriggers),
    num("Splitter", "SplitNameFormat", &O::splitFileNameFormat, 1, 1, 4, R::kReadsAs, 1, "--name", kSplitNames),
    num("Splitter", "SplitTcFrames", &O::timecodeTriggerFrames, 1, 1, 999, R::kNearest),
    num("Splitter", "SplitDtSecs", &O::dateTimeTriggerSeconds, 1, 1, 999, R::kNearest),
    num("Splitter", "SplitPreroll", &O::prerollDelaySeconds, 0, 0, 10, R::kNearest, 0, "--preroll"),
    // Modify Metadata: the amounts' ranges depend on the mode and are checked by the page.
    flag("Modify Metadata", "ModTc", &O::changeTimecode, false),
    num("Modify Metadata", "ModTcMode", &O::timecodeMode, stored(ModifyMode::kAdjustBy), 0, 2),
    num("Modify Metadata", "ModTcHours", &O::timecodeHours, 0, -23, 23),
    num("Modify Metadata", "ModTcMins", &O::timecodeMinutes, 0, -59, 59),
    num("Modify Metadata", "ModTcSecs", &O::timecodeSeconds, 0, -59, 59),
    num("Modify Metadata", "ModTcFrames", &O::timecodeFrames, 0, -29, 29),
    flag("Modify Metadata", "ModDt", &O::changeDateTime, false),
    num("Modify Metadata", "ModDtMode", &O::dateTimeMode, stored(ModifyMode::kAdjustBy), 0, 3),
    num("Modify Metadata", "ModYears", &O::dateYears, 0, -99, 99),
    num("Modify Metadata", "ModMonths", &O::dateMonths, 0, -11, 12),
    num("Modify Metadata", "ModDays", &O::dateDays, 0, -30, 31),
    num("Modify Metadata", "ModHours", &O::timeHours, 0, -23, 23),
    num("Modify Metadata", "ModMins", &O::timeMinutes, 0, -59, 59),
    num("Modify Metadata", "ModSecs", &O::timeSeconds, 0, -59, 59),
    flag("Modify Metadata", "ModUb", &O::setUserBits, false),
    userBits("ModUb1", 0),
    userBits("ModUb2", 1),
    userBits("ModUb3", 2),
    userBits("ModUb4", 3),
    flag("Modify Metadata", "ModDf", &O::changeDropFrame, false),
    num("Modify Metadata", "ModDfTarget", &O::dropFrameTarget, 0, 0, 1, R::kNearest),
    flag("Modify Metadata", "ModWide", &O::changeWidescreen, false),
    num("Modify Metadata", "ModWideTarget", &O::widescreenTarget, 0, 0, 1, R::kNearest),
    num("Export Metadata", "ExportFreq", &O::exportFrequency, 1, 0, 2, R::kReadsAs, 1, "--mode", kExportModes),
    flag("Export Metadata", "ExportHeader", &O::exportHeader, false, "--header"),
    num("Export Subtitles", "SubtitleLayout", &O::subtitleLayout, 0, 0, 3, R::kReadsAs, 4, "--layout"),
});

template <typename M>
const OptionFieldSpec& rowOf(M member) {
    for (const OptionFieldSpec& row : kRows) {
        if (const M* m = std::get_if<M>(&row.member); m && *m == member) return row;
    }
    return kRows.front();  // every member passed here has a row (checked by the table test)
}

}  // namespace

std::span<const OptionFieldSpec> optionFields() { return kRows; }

const OptionFieldSpec& optionField(int Options::*member) { return rowOf(member); }
const OptionFieldSpec& optionField(std::uint32_t Options::*member) { return rowOf(member); }
const OptionFieldSpec& optionField(bool Options::*member) { return rowOf(member); }
const OptionFieldSpec& optionField(BurnPositionTable Options::*member) { return rowOf(member); }

int readsAs(const OptionFieldSpec& row, int v) {
    switch (row.rule) {
    case R::kKept: return v;
    case R::kNearest: return std::clamp(v, row.low, row.high);
    case R::kReadsAs: return inFieldRange(row, v) ? v : row.readsAs;
    case R::kBits: return v & row.high;
    }
    return v;
}

int& intOf(Options& o, const OptionFieldSpec& row) {
    if (row.element >= 0) return (o.userBits)[static_cast<std::size_t>(row.element)];
    return o.*std::get<int Options::*>(row.member);
}

std::optional<int> choiceValue(const OptionFieldSpec& row, std::string_view text) {
    for (std::size_t i = 0; i < row.choices.size(); ++i)
        if (row.choices[i] == text) return row.low + static_cast<int>(i);
    return std::nullopt;
}

std::string_view choiceName(const OptionFieldSpec& row, int value) {
    const int i = value - row.low;
    if (i < 0 || static_cast<std::size_t>(i) >= row.choices.size()) return {};
    return row.choices[static_cast<std::size_t>(i)];
}

}  // namespace zorv::core
