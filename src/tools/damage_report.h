// The damage report of a DV file: where the tape was read badly, frame by frame. The metadata scan
// fills each frame's damage record; the report writes one row per run of consecutive frames damaged
// alike (or one per frame with allFrames), with the position, timecode and recording date/time of
// the run's first frame and its counts, then a summary line. Text, CSV and JSON forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/dv_damage.h"
#include "core/error.h"
#include "core/job.h"
#include "media/metadata_scan.h"

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::tools {

enum class DamageFormat { kText, kCsv, kJson };

struct DamageReportSettings {
    DamageFormat format = DamageFormat::kText;
    bool allFrames = false;  // a row for every frame, damaged or not, none grouped
};

struct DamageSummary {
    int64_t frames = 0;             // frames in the file, dropped ones included
    int64_t damagedFrames = 0;      // frames with any sign of damage (dropped frames included)
    int64_t concealedFrames = 0;    // frames with concealed video blocks
    int64_t uncorrectedFrames = 0;  // frames with video blocks in error
    int64_t audioErrorFrames = 0;
    int64_t audioErrorSamples = 0;
    int64_t droppedFrames = 0;  // empty index entries
    int64_t longestRun = 0;     // longest run of consecutive damaged frames
    int64_t longestRunStart = -1;
};

// "Summary: ..." (no line end).
std::string damageSummaryLine(const DamageSummary& s);

// The severity word of a row: "ok", "signs", "audio", "concealed", "uncorrected", or "dropped".
const char* severityName(core::DamageSeverity s);

// One damaged run for the player's damage strip: frames first..last, all at one severity.
struct DamageRun {
    int64_t first = 0;
    int64_t last = 0;
    core::DamageSeverity severity = core::DamageSeverity::kNone;
    bool dropped = false;
};

// Adds frame n (at severity; dropped: an empty index entry) to runs: the last run grows when n
// follows it at the same severity, else a run of its own starts. Whole frames (kNone) add nothing.
void extendDamageRuns(std::vector<DamageRun>& runs, int64_t n, core::DamageSeverity severity, bool dropped);
// The run of runs (in frame order) that holds frame n, or null.
const DamageRun* damageRunAt(const std::vector<DamageRun>& runs, int64_t n);

// The timecode ("hh:mm:ss:ff", ';' before the frames in drop-frame style), recording date
// ("yyyy-mm-dd") and time ("hh:mm:ss") of decoded values; empty texts for what is absent.
struct FrameKeyText {
    char timecode[16];
    char date[16];
    char time[16];
};
FrameKeyText frameKeyText(const core::DecodedValues& v);

// The damage columns the metadata export appends after its fifteen (with --damage): severity (empty
// when the frame is whole), concealed blocks, uncorrected blocks, concealed share, audio error samples
// of channels 1-4, misplaced blocks, and 0/1 for blank packs, repeated and backward timecode.
inline constexpr char kDamageCsvHeader[] =
    "Damage,Concealed Blocks,Uncorrected Blocks,Concealed Share,Audio Errors Ch1,Audio Errors Ch2,"
    "Audio Errors Ch3,Audio Errors Ch4,Misplaced Blocks,Packs Missing,Timecode Repeated,Timecode Backwards";
inline constexpr size_t kDamageCsvCapacity = 128;
// Writes ",severity,...,backwards" (no line end) into out; returns its length.
size_t damageCsvColumns(char (&out)[kDamageCsvCapacity], const core::FrameDamage& d);

// Scans the open DV file from frame 0 (a file already scanned is scanned again) and writes the report
// to the descriptor fd. The runs of damaged frames are kept in runs when it is given (bounded by the
// damage, not by the file). Errors: the scan's (read failure, "Operation Cancelled"), or a failed
// write (ErrorCode::kWriteFailed with errno).
core::Status writeDamageReport(media::DvMediaFile& source, int fd, const DamageReportSettings& settings,
                               core::Progress* progress = nullptr, DamageSummary* summary = nullptr,
                               std::vector<DamageRun>* runs = nullptr);

}  // namespace zorv::tools
