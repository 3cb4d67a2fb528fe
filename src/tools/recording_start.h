// The recording start of a file: the recording date and time held by its first frame. Read for DV
// files (AVI Type 1, AVI Type 2, Raw DV) from the frame's packs; HDV and AVCHD files are refused
// until their stream readers supply the date and time of their first picture.
#pragma once

#include <string>

#include "core/error.h"

namespace zorv::tools {

struct StartDateTime {
    int year = 0;  // four digits
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

inline constexpr const char* kStartTypeNotSupported = "File type not supported";
inline constexpr const char* kStartOpenFailed = "Failed to open input file";
inline constexpr const char* kStartNotFound = "Recording date/time not found in DV metadata";

// The date and time of the first frame that is not empty. A frame without a recording date and time
// fails with kStartNotFound.
core::Status readRecordingStart(const std::string& path, StartDateTime& out);

}  // namespace zorv::tools
