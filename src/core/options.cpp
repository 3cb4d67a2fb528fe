#include "core/options.h"

#include <algorithm>
#include <type_traits>
#include <variant>

#include "core/option_fields.h"

namespace zorv::core {

namespace {

const OptionFieldSpec& row(int Options::*member) { return optionField(member); }

}  // namespace

int clampDateFormat(int v) { return readsAs(row(&Options::dateFormat), v); }
int clampDropFrameDisplay(int v) { return readsAs(row(&Options::dropFrameDisplay), v); }
int clampDvDecoderResolution(int v) { return readsAs(row(&Options::dvDecoderResolution), v); }
int clampRenderer(int v) { return readsAs(row(&Options::renderer), v); }
int clampBurnInMode(int v) { return readsAs(row(&Options::burnInMode), v); }
int clampBurnInDuration(int v) { return readsAs(row(&Options::burnInDuration), v); }
int clampBurnInDurationUnit(int v) { return readsAs(row(&Options::burnInDurationUnit), v); }
int clampTextPositioning(int v) { return readsAs(row(&Options::textPositioning), v); }
int clampPercent(int v, int maxValue) { return std::clamp(v, 0, maxValue); }
int clampTextHeight(int v) { return readsAs(row(&Options::textHeight), v); }
std::uint8_t clampPositionPercent(int v) {
    static const OptionFieldSpec& positions = optionField(&Options::burnPositions);
    return static_cast<std::uint8_t>(std::clamp(v, positions.low, positions.high));
}
int clampCaptureStopMode(int v) { return readsAs(row(&Options::captureStopMode), v); }
int clampCaptureAviType(int v) { return readsAs(row(&Options::captureAviType), v); }
int clampNoFramesSeconds(int v) { return readsAs(row(&Options::noFramesSeconds), v); }
int clampSplitTrigger(int v) { return readsAs(row(&Options::splitTrigger), v); }
int clampSplitFileNameFormat(int v) { return readsAs(row(&Options::splitFileNameFormat), v); }
int clampSplitThreshold(int v) { return readsAs(row(&Options::timecodeTriggerFrames), v); }
int clampPrerollDelay(int v) { return readsAs(row(&Options::prerollDelaySeconds), v); }
int clampExportFrequency(int v) { return readsAs(row(&Options::exportFrequency), v); }
int clampSubtitleLayout(int v) { return readsAs(row(&Options::subtitleLayout), v); }
int clampListIndex(int v) { return readsAs(row(&Options::dropFrameTarget), v); }

Options::Options() {
    for (const OptionFieldSpec& f : optionFields()) {
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, bool>) this->*member = f.defaultValue != 0;
                else if constexpr (std::is_same_v<T, std::uint32_t>)
                    this->*member = static_cast<std::uint32_t>(f.defaultValue);
                else if constexpr (std::is_same_v<T, std::string>) this->*member = std::string(f.defaultText);
                else if constexpr (std::is_same_v<T, DecoderSelection>)
                    this->*member = DecoderSelection{Guid{}, std::string(f.defaultText)};
                else if constexpr (std::is_same_v<T, BurnPositionTable>) this->*member = defaultBurnPositions();
                else intOf(*this, f) = static_cast<int>(f.defaultValue);
            },
            f.member);
    }
}

Options Options::defaults(bool vmr9Available) {
    Options o;
    o.renderer = stored(vmr9Available ? Renderer::kVmr9Windowless : Renderer::kVmr7Windowless);
    return o;
}

Options Options::normalized() const {
    Options o = *this;
    for (const OptionFieldSpec& f : optionFields()) {
        if (f.rule == OutOfRange::kKept) continue;
        if (std::holds_alternative<BurnPositionTable Options::*>(f.member)) {
            for (auto& p : o.burnPositions) {
                p.x = clampPositionPercent(p.x);
                p.y = clampPositionPercent(p.y);
            }
        } else {
            int& v = intOf(o, f);
            v = readsAs(f, v);
        }
    }
    return o;
}

SplitTrigger splitTriggerOf(const Options& o) { return static_cast<SplitTrigger>(clampSplitTrigger(o.splitTrigger)); }
SplitNameFormat splitNameFormatOf(const Options& o) {
    return static_cast<SplitNameFormat>(clampSplitFileNameFormat(o.splitFileNameFormat));
}
CaptureStopMode captureStopModeOf(const Options& o) {
    return static_cast<CaptureStopMode>(clampCaptureStopMode(o.captureStopMode));
}

std::int64_t captureDurationLimitSeconds(const Options& o) {
    if (captureStopModeOf(o) != CaptureStopMode::kDuration) return 0;
    return 3600 * static_cast<std::int64_t>(o.captureDurationHours) +
           60 * static_cast<std::int64_t>(o.captureDurationMinutes) + o.captureDurationSeconds;
}

void visitOptionFields(Options& o, OptionFieldVisitor& v) {
    for (const OptionFieldSpec& f : optionFields()) {
        std::visit(
            [&](auto member) {
                auto& value = o.*member;
                using T = std::remove_reference_t<decltype(value)>;
                if constexpr (std::is_same_v<T, bool>) v.flagField(f.name, value);
                else if constexpr (std::is_same_v<T, std::uint32_t>) v.maskField(f.name, value);
                else if constexpr (std::is_same_v<T, std::string>) v.textField(f.name, value);
                else if constexpr (std::is_same_v<T, DecoderSelection>) v.selectionField(f.name, value);
                else if constexpr (std::is_same_v<T, BurnPositionTable>) v.positionsField(f.name, value);
                else v.intField(f.name, intOf(o, f));
            },
            f.member);
    }
}

}  // namespace zorv::core
