// The record of one frame that `zorv frame` prints for every kind of file: its metadata items as
// aligned "label text" lines, or one JSON object {"file", "frame", fields of the kind, "items",
// the raw packs or tags, more fields of the kind}.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "core/metadata_record.h"
#include "core/metadata_text.h"

namespace zorv::cli {

// Every item `zorv frame` can show, in the order it shows them; each kind of file fills those it has.
enum class FrameField {
    kPosition,
    kFrameType,
    kTimecode,
    kUserBits,
    kRecDate,
    kRecTime,
    kShutter,
    kIris,
    kGain,
    kExposure,
    kWhiteBalance,
    kLighting,
    kFocusDistance,
    kFocusMode,
    kStabilizer,
    kAudio,
    kLatitude,
    kLongitude,
    kAltitude,
    kSpeed,
    kTrack,
    kCount
};

// The items of one frame: the fields a kind of file adds, each with its text.
class FrameItems {
public:
    // The text of the field, which is shown from now on.
    core::TextBuf& add(FrameField f) {
        const auto i = static_cast<size_t>(f);
        shown_[i] = true;
        return text_[i];
    }

    // "  label      text" lines on standard output.
    void print() const;
    // ,"items":{"key":"text",...}
    void appendJson(std::string& out) const;

private:
    static constexpr size_t kCount = static_cast<size_t>(FrameField::kCount);
    std::array<core::TextBuf, kCount> text_{};
    std::array<bool, kCount> shown_{};
};

// The camera items every kind of file takes from its pack table: user bits, recording date and time,
// shutter, iris, gain, exposure, white balance, focus and stabilizer.
void addCameraItems(FrameItems& items, const core::MetadataRecord& packs, int timecodeStyle, double linePeriod,
                    const core::DisplaySettings& settings, core::TextVariant variant);

// {"file":PATH,"frame":N — the caller goes on with its fields and the blocks below, and closes it.
std::string frameJsonStart(const std::string& path, int64_t n);
// ,"name":{"ID":"PC1 PC2 PC3 PC4",...} over the packs (or tags) in the given order, skipping those whose
// ID is 0xFF; a metadata record's packs come in ID order.
void appendFramePacks(std::string& out, const char* name, std::span<const std::array<uint8_t, 5>> packs);

}  // namespace zorv::cli
