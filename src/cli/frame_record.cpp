#include "cli/frame_record.h"

#include <cstdio>
#include <iterator>

#include "cli/cli_common.h"

namespace zorv::cli {

namespace {

struct FieldName {
    const char* key;    // JSON name
    const char* label;  // text label
};

// By FrameField.
const FieldName kFieldNames[] = {
    {"position", "Position"},
    {"frameType", "Frame type"},
    {"timecode", "Timecode"},
    {"userBits", "User bits"},
    {"recDate", "Rec date"},
    {"recTime", "Rec time"},
    {"shutter", "Shutter"},
    {"iris", "Iris"},
    {"gain", "Gain"},
    {"exposure", "Exposure"},
    {"whiteBalance", "White bal"},
    {"lighting", "Lighting"},
    {"focusDistance", "Focus dist"},
    {"focusMode", "Focus mode"},
    {"stabilizer", "Stabilizer"},
    {"audio", "Audio"},
    {"latitude", "Latitude"},
    {"longitude", "Longitude"},
    {"altitude", "Altitude"},
    {"speed", "Speed"},
    {"track", "Track"},
};
static_assert(std::size(kFieldNames) == static_cast<size_t>(FrameField::kCount));

void appendPack(std::string& out, bool& first, const std::array<uint8_t, 5>& p) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s\"%02X\":\"%02X %02X %02X %02X\"", first ? "" : ",", p[0], p[1], p[2], p[3], p[4]);
    out += buf;
    first = false;
}

void openBlock(std::string& out, const char* name) {
    out += ",\"";
    out += name;
    out += "\":{";
}

}  // namespace

void FrameItems::print() const {
    for (size_t i = 0; i < kCount; ++i)
        if (shown_[i]) std::printf("  %-11s %s\n", kFieldNames[i].label, text_[i].c_str());
}

void addCameraItems(FrameItems& items, const core::MetadataRecord& packs, int timecodeStyle, double linePeriod,
                    const core::DisplaySettings& settings, core::TextVariant variant) {
    core::formatUserBits(items.add(FrameField::kUserBits), packs, variant);
    core::formatRecDate(items.add(FrameField::kRecDate), packs, settings, variant);
    core::formatRecTime(items.add(FrameField::kRecTime), packs, variant);
    core::ShutterFormatter shutter;
    shutter.format(items.add(FrameField::kShutter), packs, timecodeStyle, linePeriod, variant);
    core::formatIris(items.add(FrameField::kIris), packs, variant);
    core::formatGain(items.add(FrameField::kGain), packs, variant);
    core::formatExposureMode(items.add(FrameField::kExposure), packs, variant);
    core::formatWhiteBalance(items.add(FrameField::kWhiteBalance), packs, variant);
    core::formatFocusDistance(items.add(FrameField::kFocusDistance), packs, variant);
    core::formatFocusMode(items.add(FrameField::kFocusMode), packs, variant);
    core::formatStabilizer(items.add(FrameField::kStabilizer), packs, variant);
}

std::string frameJsonStart(const std::string& path, int64_t n) {
    std::string out = "{\"file\":";
    jsonString(out, path);
    out += ",\"frame\":" + std::to_string(n);
    return out;
}

void FrameItems::appendJson(std::string& out) const {
    openBlock(out, "items");
    bool first = true;
    for (size_t i = 0; i < kCount; ++i) {
        if (!shown_[i]) continue;
        if (!first) out += ',';
        first = false;
        jsonString(out, kFieldNames[i].key);
        out += ':';
        jsonString(out, text_[i].view());
    }
    out += '}';
}

void appendFramePacks(std::string& out, const char* name, std::span<const std::array<uint8_t, 5>> packs) {
    openBlock(out, name);
    bool first = true;
    for (const auto& p : packs)
        if (p[0] != core::kNoPack) appendPack(out, first, p);
    out += '}';
}

}  // namespace zorv::cli
