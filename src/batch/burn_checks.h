// What a batch burn-in checks before it starts and watches while it runs.
//
// Before START: HDV (1080-line) files need an MPEG-2 video decoder and AVCHD files an H.264 one. The
// window asks for the decoder chosen in the options (an all-zero choice, or one no longer available,
// counts as none); the command line takes the first available decoder when none is chosen, so it
// only needs one to exist.
//
// While running: the window's 200-ms timer ticks a BurnTimeoutWatch with each snapshot; an HDV or
// AVCHD burn-in whose position is still 0 after 50 ticks (10 seconds) is timed out, which deletes its
// partial output and logs the timed-out line, and the job goes on with the next file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_runner.h"
#include "core/options.h"
#include "media/file_type.h"

namespace zorv::batch {

struct DecoderProblem {
    std::string title;  // "No MPEG-2 video decoder configured" / "No AVCHD video decoder configured"
    std::string text;
};

// The explanation shown under a missing decoder; what names it ("MPEG-2 video decoder").
std::string noDecoderConfiguredText(const char* what);

// The first missing decoder for the types in the list (HDV before AVCHD), or none. With
// chosenOnly the decoder selected in the options must be available; otherwise any will do.
std::optional<DecoderProblem> checkBurnDecoders(const std::vector<media::FileType>& types, const core::Options& options,
                                                bool chosenOnly);

// The file types of the paths as recognised now (kUnknown for the others).
std::vector<media::FileType> fileTypes(const std::vector<std::string>& paths);

class BurnTimeoutWatch {
public:
    explicit BurnTimeoutWatch(int ticks = 50) : limit_(ticks) {}
    // One timer tick: true when the stream burn-in running in the snapshot has shown no progress
    // for the allowed ticks and is to be timed out now. The count starts again with each file.
    bool tick(const BatchSnapshot& snapshot);
    int ticks() const { return ticks_; }

private:
    int limit_;
    int64_t file_ = -1;
    int ticks_ = 0;
};

}  // namespace zorv::batch
