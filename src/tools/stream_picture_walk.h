// The pictures of an HDV or AVCHD stream in order, each brought into the DV shape, for the exporters
// that write a file from them (metadata CSV, subtitles). Opening checks the file type, reads the
// AVCHD picture rate for the timecode style, and scans an HDV stream whole (its records are small);
// the walk then hands over one picture at a time, with progress and cancel.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/error.h"
#include "core/job.h"
#include "media/file_io.h"
#include "media/hdv_stream_info.h"
#include "tools/stream_csv_export.h"

namespace zorv::tools {

struct StreamWalk {
    std::string path;
    bool avchd = false;
    int timecodeStyle = 4;  // 2 for 25 and 50 pictures a second, 4 otherwise
    double avchdRate = 0;   // pictures a second from the AVCHD SPS, 0 when it has no timing
    int64_t fileSize = 0;
    media::HdvStreamInfo hdv;  // HDV only
};

// Recognises and opens the stream; failures carry the open and read texts of the exporters.
core::Status openStreamWalk(const std::string& path, StreamWalk& walk, core::Progress* progress);

inline constexpr const char* kNoStreamPictures = "No picture found in the file: nothing was exported";

// Calls take for every picture. When take returns false the walk stops and returns kWriteFailed with
// no message: the caller names its own write failure. A stream without a picture is kNoOutput. A
// success carries the warning of damaged bytes passed over.
core::Status walkStreamPictures(const StreamWalk& walk, core::Progress* progress,
                                const std::function<bool(const StreamPicture&)>& take);

}  // namespace zorv::tools
