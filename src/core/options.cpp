#include "core/options.h"

#include <algorithm>

namespace zorv::core {

namespace {

int inRangeOr(int v, int lo, int hi, int otherwise) { return (v >= lo && v <= hi) ? v : otherwise; }

}  // namespace

int clampDateFormat(int v) { return inRangeOr(v, 1, 3, 1); }
int clampDropFrameDisplay(int v) { return inRangeOr(v, 0, 1, 0); }
int clampDvDecoderResolution(int v) { return inRangeOr(v, 0, 1, 0); }
int clampRenderer(int v) { return inRangeOr(v, 1, 3, renderer::kVmr9Windowed); }
int clampBurnInMode(int v) { return std::clamp(v, 0, 1); }
int clampBurnInDuration(int v) { return std::clamp(v, 1, 999); }
int clampBurnInDurationUnit(int v) { return std::clamp(v, 0, 1); }
int clampTextPositioning(int v) { return inRangeOr(v, 0, 2, 2); }
int clampPercent(int v, int maxValue) { return std::clamp(v, 0, maxValue); }
int clampTextHeight(int v) { return std::clamp(v, 10, 300); }
std::uint8_t clampPositionPercent(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 99)); }
int clampCaptureStopMode(int v) { return inRangeOr(v, 0, 2, 0); }
int clampCaptureAviType(int v) { return inRangeOr(v, 1, 2, 2); }
int clampNoFramesSeconds(int v) { return std::clamp(v, 1, 99); }
int clampSplitTrigger(int v) { return inRangeOr(v, 1, 4, 1); }
int clampSplitFileNameFormat(int v) { return inRangeOr(v, 1, 4, 1); }
int clampSplitThreshold(int v) { return std::clamp(v, 1, 999); }
int clampPrerollDelay(int v) { return std::clamp(v, 0, 10); }
int clampExportFrequency(int v) { return inRangeOr(v, 0, 2, 1); }
int clampSubtitleLayout(int v) { return inRangeOr(v, 0, 3, 4); }
int clampListIndex(int v) { return std::clamp(v, 0, 1); }

Options Options::defaults(bool vmr9Available) {
    Options o;
    o.renderer = vmr9Available ? renderer::kVmr9Windowless : renderer::kVmr7Windowless;
    return o;
}

Options Options::normalized() const {
    Options o = *this;
    o.dateFormat = clampDateFormat(dateFormat);
    o.dropFrameDisplay = clampDropFrameDisplay(dropFrameDisplay);
    o.dvDecoderResolution = clampDvDecoderResolution(dvDecoderResolution);
    o.renderer = clampRenderer(renderer);
    o.burnInMode = clampBurnInMode(burnInMode);
    o.burnInDuration = clampBurnInDuration(burnInDuration);
    o.burnInDurationUnit = clampBurnInDurationUnit(burnInDurationUnit);
    o.textPositioning = clampTextPositioning(textPositioning);
    o.textBrightness = clampPercent(textBrightness, 100);
    o.outlineBrightness = clampPercent(outlineBrightness, 100);
    o.transparency = clampPercent(transparency, 99);
    o.textHeight = clampTextHeight(textHeight);
    o.styleFlags = styleFlags & 0x3;
    for (auto& p : o.burnPositions) {
        p.x = clampPositionPercent(p.x);
        p.y = clampPositionPercent(p.y);
    }
    o.captureStopMode = clampCaptureStopMode(captureStopMode);
    o.noFramesSeconds = clampNoFramesSeconds(noFramesSeconds);
    o.captureAviType = clampCaptureAviType(captureAviType);
    o.splitTrigger = clampSplitTrigger(splitTrigger);
    o.splitFileNameFormat = clampSplitFileNameFormat(splitFileNameFormat);
    o.timecodeTriggerFrames = clampSplitThreshold(timecodeTriggerFrames);
    o.dateTimeTriggerSeconds = clampSplitThreshold(dateTimeTriggerSeconds);
    o.prerollDelaySeconds = clampPrerollDelay(prerollDelaySeconds);
    for (auto& b : o.userBits) b = std::clamp(b, 0, 0xFF);
    o.dropFrameTarget = clampListIndex(dropFrameTarget);
    o.widescreenTarget = clampListIndex(widescreenTarget);
    o.exportFrequency = clampExportFrequency(exportFrequency);
    o.subtitleLayout = clampSubtitleLayout(subtitleLayout);
    return o;
}

std::int64_t captureDurationLimitSeconds(const Options& o) {
    if (clampCaptureStopMode(o.captureStopMode) != 1) return 0;
    return 3600 * static_cast<std::int64_t>(o.captureDurationHours) +
           60 * static_cast<std::int64_t>(o.captureDurationMinutes) + o.captureDurationSeconds;
}

void visitOptionFields(Options& o, OptionFieldVisitor& v) {
    // General
    v.intField("DateFormat", o.dateFormat);
    v.intField("DropFrameDisplay", o.dropFrameDisplay);
    v.flagField("ProgressAsFrame", o.progressAsFrameNumber);
    v.flagField("GpsDecimal", o.gpsInDecimal);
    v.flagField("ShowGps", o.showGpsItems);
    v.flagField("SaveAsDefault", o.saveAllSettingsAsDefault);
    // Decoders
    v.intField("DvResolution", o.dvDecoderResolution);
    // Rendering
    v.intField("Renderer", o.renderer);
    // Scenes
    v.maskField("SceneMask", o.sceneTriggerMask);
    // Burn-in
    v.intField("BurnMode", o.burnInMode);
    v.intField("BurnDuration", o.burnInDuration);
    v.intField("BurnDurationUnit", o.burnInDurationUnit);
    v.intField("BurnPositioning", o.textPositioning);
    v.flagField("Burn43Area", o.always43Area);
    v.intField("BurnTextBright", o.textBrightness);
    v.intField("BurnOutlineBright", o.outlineBrightness);
    v.intField("BurnTransparency", o.transparency);
    v.maskField("BurnItems", o.burnInItemMask);
    v.selectionField("BurnComp", o.outputCompressor);
    v.flagField("BurnAudio", o.includeAudio);
    // Burn-in user positioning
    v.textField("BurnFont", o.fontFace);
    v.intField("BurnTextHeight", o.textHeight);
    v.intField("BurnStyle", o.styleFlags);
    v.positionsField("BurnPositions", o.burnPositions);
    // Capture
    v.intField("CapStopMode", o.captureStopMode);
    v.intField("CapHours", o.captureDurationHours);
    v.intField("CapMins", o.captureDurationMinutes);
    v.intField("CapSecs", o.captureDurationSeconds);
    v.intField("CapNoFrames", o.noFramesSeconds);
    v.intField("CapAviType", o.captureAviType);
    v.flagField("CapSplitter", o.useSplitter);
    v.flagField("CapSlave", o.slaveToCamera);
    v.flagField("CapCurrentTime", o.useCurrentDateTime);
    // Splitter
    v.intField("SplitTrigger", o.splitTrigger);
    v.intField("SplitNameFormat", o.splitFileNameFormat);
    v.intField("SplitTcFrames", o.timecodeTriggerFrames);
    v.intField("SplitDtSecs", o.dateTimeTriggerSeconds);
    v.intField("SplitPreroll", o.prerollDelaySeconds);
    // Modify Metadata
    v.flagField("ModTc", o.changeTimecode);
    v.intField("ModTcMode", o.timecodeMode);
    v.intField("ModTcHours", o.timecodeHours);
    v.intField("ModTcMins", o.timecodeMinutes);
    v.intField("ModTcSecs", o.timecodeSeconds);
    v.intField("ModTcFrames", o.timecodeFrames);
    v.flagField("ModDt", o.changeDateTime);
    v.intField("ModDtMode", o.dateTimeMode);
    v.intField("ModYears", o.dateYears);
    v.intField("ModMonths", o.dateMonths);
    v.intField("ModDays", o.dateDays);
    v.intField("ModHours", o.timeHours);
    v.intField("ModMins", o.timeMinutes);
    v.intField("ModSecs", o.timeSeconds);
    v.flagField("ModUb", o.setUserBits);
    v.intField("ModUb1", o.userBits[0]);
    v.intField("ModUb2", o.userBits[1]);
    v.intField("ModUb3", o.userBits[2]);
    v.intField("ModUb4", o.userBits[3]);
    v.flagField("ModDf", o.changeDropFrame);
    v.intField("ModDfTarget", o.dropFrameTarget);
    v.flagField("ModWide", o.changeWidescreen);
    v.intField("ModWideTarget", o.widescreenTarget);
    // Export Metadata
    v.intField("ExportFreq", o.exportFrequency);
    v.flagField("ExportHeader", o.exportHeader);
    // Export Subtitles
    v.intField("SubtitleLayout", o.subtitleLayout);
}

}  // namespace zorv::core
