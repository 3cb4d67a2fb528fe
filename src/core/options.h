// The option record: every user option of the options pages, with its default and the rules by which
// an out-of-range value is read.
//
// The record itself keeps whatever it was given (a page the user never opened hands its values back
// unchanged, even out-of-range ones). Code that acts on a value reads it through normalized(), or
// through the one clamp function of that field, which apply the "reads as" rules.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/burn_items.h"
#include "core/guid.h"
#include "core/option_choices.h"

namespace zorv::core {

// A chosen decoder or compressor: its class identifier and display name. The all-zero identifier
// means that none is configured.
struct DecoderSelection {
    Guid id;
    std::string name;

    bool isSet() const { return !id.isNull(); }
    friend bool operator==(const DecoderSelection&, const DecoderSelection&) = default;
};

inline constexpr std::string_view kNotSelected = "Not selected";
inline constexpr std::string_view kUncompressed = "Uncompressed";

// Scene-trigger mask bits (which metadata changes start a new scene).
namespace scene_trigger {
inline constexpr std::uint32_t kTimecode = 0x1;
inline constexpr std::uint32_t kUserBits = 0x2;
inline constexpr std::uint32_t kRecordingDateTime = 0x10;
inline constexpr std::uint32_t kShutter = 0x40;
inline constexpr std::uint32_t kIris = 0x80;
inline constexpr std::uint32_t kStabilizer = 0x100;
inline constexpr std::uint32_t kGain = 0x200;
inline constexpr std::uint32_t kExposureMode = 0x400;
inline constexpr std::uint32_t kWhiteBalance = 0x1000;
inline constexpr std::uint32_t kFocus = 0x4000;
inline constexpr std::uint32_t kAudioSamplingFrequency = 0x8000;
inline constexpr std::uint32_t kAudioLocked = 0x10000;
inline constexpr std::uint32_t kTapeIndex = 0x20000;
inline constexpr std::uint32_t kDroppedFrame = 0x40000;
inline constexpr std::uint32_t kDamage = 0x80000;
}  // namespace scene_trigger

struct Options {
    // Every field of the option table at its default (core/option_fields.cpp holds the defaults).
    Options();

    // General
    int dateFormat{};        // 1 dd/mm/yyyy, 2 mm/dd/yyyy, 3 yyyy-mm-dd
    int dropFrameDisplay{};  // 0 "hh:mm:ss;ff", 1 "hh;mm;ss;ff"
    bool progressAsFrameNumber{};
    bool gpsInDecimal{};
    bool showGpsItems{};
    bool rememberMainWindowPosition = false;  // persisted as RMWPos
    bool saveAllSettingsAsDefault{};          // store the whole record at OK

    // View menu: outline the damaged blocks of the shown DV picture (persisted at once as DmgBlocks,
    // not with the saved defaults)
    bool showDamagedBlocks = false;

    // Decoders
    int dvDecoderResolution{};  // 0 full, 1 half
    DecoderSelection mpeg2Decoder{Guid{}, std::string(kNotSelected)};
    DecoderSelection avcVideoDecoder{Guid{}, std::string(kNotSelected)};
    DecoderSelection avcAudioDecoder{Guid{}, std::string(kNotSelected)};

    // Rendering
    int renderer{};

    // Scenes
    std::uint32_t sceneTriggerMask{};

    // Burn-in
    int burnInMode{};          // 0 all frames, 1 start of scenes
    int burnInDuration{};      // length of the stretch after each scene start
    int burnInDurationUnit{};  // 0 seconds, 1 frames
    int textPositioning{};     // 0 user, 1 fixed 80 % title safe, 2 fixed 90 % title safe
    bool always43Area{};
    int textBrightness{};
    int outlineBrightness{};
    int transparency{};
    std::uint32_t burnInItemMask{};
    DecoderSelection outputCompressor{};
    bool includeAudio{};

    // Burn-in user positioning
    std::string fontFace{};
    int textHeight{};  // tenths of a percent of the picture height
    int styleFlags{};  // bit 0x1 bold, 0x2 italic
    BurnPositionTable burnPositions{};

    // Capture
    int captureStopMode{};  // 0 manual, 1 duration reaches, 2 no frames delivered
    int captureDurationHours{};
    int captureDurationMinutes{};
    int captureDurationSeconds{};
    int noFramesSeconds{};
    int captureAviType{};
    bool useSplitter{};
    bool slaveToCamera{};
    bool useCurrentDateTime{};

    // Splitter
    int splitTrigger{};         // 1 timecode, 2 date/time, 3 user bits, 4 tape index
    int splitFileNameFormat{};  // 1 number, 2 timecode, 3 date/time, 4 user bits
    int timecodeTriggerFrames{};
    int dateTimeTriggerSeconds{};
    int prerollDelaySeconds{};

    // Modify Metadata
    bool changeTimecode{};
    int timecodeMode{};
    int timecodeHours{};
    int timecodeMinutes{};
    int timecodeSeconds{};
    int timecodeFrames{};
    bool changeDateTime{};
    int dateTimeMode{};
    int dateYears{};
    int dateMonths{};
    int dateDays{};
    int timeHours{};
    int timeMinutes{};
    int timeSeconds{};
    bool setUserBits{};
    std::array<int, 4> userBits{};
    bool changeDropFrame{};
    int dropFrameTarget{};  // list index: DropFrameTarget, 0 "drop frame", 1 "non-drop frame"
    bool changeWidescreen{};
    int widescreenTarget{};  // list index: WidescreenTarget, 0 "16:9", 1 "4:3"

    // Export Metadata
    int exportFrequency{};  // 0 all frames, 1 at any change, 2 at each scene change
    bool exportHeader{};

    // Export Subtitles
    int subtitleLayout{};  // 0 all metadata, 1..4 date/time layouts

    // The defaults; the renderer default depends on which renderers exist.
    static Options defaults(bool vmr9Available = true);

    // A copy with every "reads as" rule applied.
    Options normalized() const;

    friend bool operator==(const Options&, const Options&) = default;
};

// The "reads as" rules, one per field that has one.
int clampDateFormat(int v);                // 1..3, else 1
int clampDropFrameDisplay(int v);          // 0..1, else 0
int clampDvDecoderResolution(int v);       // 0..1, else 0
int clampRenderer(int v);                  // 1..3, else 4
int clampBurnInMode(int v);                // 0..1, larger 1
int clampBurnInDuration(int v);            // 1..999
int clampBurnInDurationUnit(int v);        // 0..1, larger 1
int clampTextPositioning(int v);           // 0..2, else 2
int clampPercent(int v, int maxValue);     // 0..maxValue
int clampTextHeight(int v);                // 10..300
std::uint8_t clampPositionPercent(int v);  // 0..99
int clampCaptureStopMode(int v);           // 0..2, else 0
int clampCaptureAviType(int v);            // 1..2, else 2
int clampNoFramesSeconds(int v);           // 1..99
int clampSplitTrigger(int v);              // 1..4, else 1
int clampSplitFileNameFormat(int v);       // 1..4, else 1
int clampSplitThreshold(int v);            // 1..999
int clampPrerollDelay(int v);              // 0..10
int clampExportFrequency(int v);           // 0..2, else 1
int clampSubtitleLayout(int v);            // 0..3, else 4
int clampListIndex(int v);                 // 0..1, larger 1

// The choices as they read (the clamp functions above, typed).
SplitTrigger splitTriggerOf(const Options& o);
SplitNameFormat splitNameFormatOf(const Options& o);
CaptureStopMode captureStopModeOf(const Options& o);

// The capture duration limit in seconds (0 = none): only stop mode 1 has one.
std::int64_t captureDurationLimitSeconds(const Options& o);

// Every persistent field by a stable name, for stores and command lines. Decoder selections of the
// Decoders page are not visited (they have their own values in the store); the output compressor is.
class OptionFieldVisitor {
public:
    virtual ~OptionFieldVisitor() = default;
    virtual void intField(std::string_view name, int& value) = 0;
    virtual void maskField(std::string_view name, std::uint32_t& value) = 0;
    virtual void flagField(std::string_view name, bool& value) = 0;
    virtual void textField(std::string_view name, std::string& value) = 0;
    virtual void selectionField(std::string_view name, DecoderSelection& value) = 0;
    virtual void positionsField(std::string_view name, BurnPositionTable& value) = 0;
};
void visitOptionFields(Options& options, OptionFieldVisitor& visitor);

}  // namespace zorv::core
