// Burn-in: a copy of a recording with the camcorder metadata drawn permanently into its pictures.
//
// DV AVI files (Type 1 and Type 2) are decoded with libavcodec's DV decoder, drawn on and re-encoded
// as DV. Only the video segments that the text reaches are touched: the segments with a macroblock in
// the band of rows the drawing may change are decoded, and the segments with a macroblock whose pixels
// the drawing did change are re-encoded and put back. Every other DIF block (header, subcode, VAUX,
// audio, and the picture away from the text) keeps its bytes. Frames are worked on by a small pool of
// threads (one per core, at most 2) in a ring of a few frames, written back in order. The output is
// either a new AVI file with the input's layout (every byte outside the frames' data copied) or the
// input file itself. Frames outside the range, frames that carry no metadata in scene mode and empty
// index entries keep their original bytes.
//
// The drawing is the overlay layer's, one drawer per worker (overlay/picture_drawer.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/metadata_record.h"
#include "media/output_file.h"
#include "core/options.h"
#include "core/rgb_picture.h"
#include "overlay/overlay_layer.h"
#include "overlay/picture_drawer.h"
#include "tools/burn_job.h"

namespace zorv::tools {

// The system's texts of burn-in.
inline constexpr const char* kBurnInComplete = "Burn-in complete.";
inline constexpr const char* kBurnInLostFrames =
    "Burn-in complete.\r\n\r\nWarning: %lld frames lost due to 3rd party decoder delivering out-of-sequence timestamps.";
inline constexpr const char* kBurnInHalted = "Burn-in operation halted";
inline constexpr const char* kBurnInHaltedTitle = "Halted";
inline constexpr const char* kBurnInTimedOutTitle = "Burn-in operation timed out";
inline constexpr const char* kBurnInTimedOutHdv =
    "Burn-in operation timed out.\r\n\r\nThis is probably due to the selected 3rd party MPEG-2 video decoder filter being "
    "unable to provide the features necessary for burning-in.\r\n\r\nPlease try selecting another \"HDV MPEG-2 Video "
    "Decoder\" in the Tools>Options menu.";
inline constexpr const char* kBurnInTimedOutAvchd =
    "Burn-in operation timed out.\r\n\r\nThis is probably due to the selected 3rd party AVC video decoder filter being "
    "unable to provide the features necessary for burning-in.\r\n\r\nPlease try selecting another \"AVCHD Video "
    "Decoder\" in the Tools>Options menu.";
inline constexpr const char* kBurnInIncompatibleHdv =
    "3rd party MPEG-2 Decoder filter is not compatible with the burn-in tool:\r\n\r\nName:\t%s\r\nGUID:\t%s";
inline constexpr const char* kBurnInIncompatibleAvchd =
    "3rd party AVCHD Decoder filter is not compatible with the burn-in tool:\r\n\r\nName:\t%s\r\nGUID:\t%s";
inline constexpr const char* kBurnInFailedAvi = "Failed while burning-in AVI file";
inline constexpr const char* kBurnInFailedM2t = "Failed while burning-in M2T file";
inline constexpr const char* kBurnInFailedMts = "Failed while burning-in MTS/M2TS file";
inline constexpr const char* kUnableToWriteInput = "Unable to Write to input file";
inline constexpr const char* kBurnInNoPicture = "No picture of the file could be decoded: nothing was burnt in";
inline constexpr const char* kNoAvchdDecoder = "No AVCHD video decoder configured";
inline constexpr const char* kBurnInSaveTitle = "Burn-in metadata to output file";
inline constexpr const char* kBurnInProgressTitle = "Burning-in";
// The batch log's words for the same outcomes.
inline constexpr const char* kBatchBurnInComplete = "Burn-in Complete";
inline constexpr const char* kBatchBurnInLostFrames =
    "WARNING: %lld frames lost due to 3rd party decoder delivering out-of-sequence timestamps";
inline constexpr const char* kBatchIncompatibleHdv =
    "ERROR: 3rd party MPEG-2 Decoder filter is not compatible with the burn-in tool:\r\n\r\nName:\t%s\r\nGUID:\t%s";
inline constexpr const char* kBatchIncompatibleAvchd =
    "ERROR: 3rd party AVCHD Decoder filter is not compatible with the burn-in tool:\r\n\r\nName:\t%s\r\nGUID:\t%s";
inline constexpr const char* kBatchTimedOutHdv =
    "ERROR: Burn-in timed out - This is probably due to the selected 3rd party MPEG-2 Decoder filter being unable to "
    "provide the features necessary for burning-in.\r\n\r\nPlease try selecting another \"HDV MPEG-2 Video Decoder\" in "
    "the Tools>Options menu.";
inline constexpr const char* kBatchTimedOutAvchd =
    "ERROR: Burn-in timed out - This is probably due to the selected 3rd party AVC Decoder filter being unable to "
    "provide the features necessary for burning-in.\r\n\r\nPlease try selecting another \"AVCHD Video Decoder\" in the "
    "Tools>Options menu.";

// Input name with its extension replaced by "-burn.avi".
std::string burnOutputName(const std::string& input);

// The burn-in settings of the option record (clamped), the frame range and the target.
struct BurnInSettings {
    core::BurnMode mode = core::BurnMode::kAllFrames;
    int duration = 5;  // 1..999
    core::DurationUnit durationUnit = core::DurationUnit::kSeconds;
    uint32_t sceneMask = core::scene_trigger::kRecordingDateTime;
    int64_t firstFrame = 0;
    int64_t lastFrame = -1;  // -1: to the end
    bool toInputFile = false;
    std::string output;                // burn in to output file: its name
    bool overwrite = false;            // an existing output is replaced when the run succeeded
    int workers = 0;                   // 0: one per core, at most 2
    overlay::OverlaySettings overlay;  // what is drawn and how

    static BurnInSettings fromOptions(const core::Options& options);
};

class DvBurnInJob : public BurnJob {
public:
    // Draws with the overlay layer of settings.overlay.
    DvBurnInJob(std::string input, BurnInSettings settings);
    // Draws with the drawers the factory makes instead.
    DvBurnInJob(std::string input, BurnInSettings settings, overlay::DrawerFactory drawers);
    ~DvBurnInJob() override;

    // Opens and indexes the input (AVI Type 1 or 2 only) and checks the target.
    core::Status build();
    // "Burning-in to Output File ...\n%s" or "Burning-in the input file ...\n%s".
    std::string progressText() const override;
    // The build's text, or "Failed while burning-in AVI file" when it has none.
    std::string buildFailureText() const override;
    // "Burn-in complete.", the failure's text or, with batch, the batch log's line.
    std::string message(bool batch = false) const override;
    int64_t framesDrawn() const { return drawn_.load(); }
    bool inputChanged() const override { return inputChanged_.load(); }
    bool readFailedUnnamed() const override { return readFailedUnnamed_; }
    bool countsFrames() const override { return true; }
    // wait(): success, kCancelled with "Burn-in operation halted", or a failure with its message.

private:
    bool ready() const override { return ready_; }
    core::Status work() override;
    core::Status buildInput();
    struct Impl;
    struct Pass;
    core::Status run();

    std::string input_;
    BurnInSettings settings_;
    overlay::DrawerFactory drawers_;
    std::unique_ptr<Impl> impl_;
    media::OutputFile out_;
    bool ready_ = false;
    bool readFailedUnnamed_ = false;
    std::atomic<int64_t> drawn_{0};
    std::atomic<bool> inputChanged_{false};
};

}  // namespace zorv::tools
