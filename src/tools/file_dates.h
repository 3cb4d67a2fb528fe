// "Date Modified" of a file: its last-write time, set from a date and time taken as local time.
// Only the modification time changes; the access time is left as it is.
#pragma once

#include <string>

#include "core/error.h"

namespace zorv::tools {

// The file must exist. Returns false (errno in *sysError) and leaves the file as it was on failure.
bool setFileLastWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second,
                          int* sysError = nullptr);

inline constexpr const char* kSetDateFailed = "Failed to set the file's Date Modified";

// Sets the last-write time of a DV file to the recording start of its first frame (local time).
core::Status setDateModifiedFromRecording(const std::string& path);

}  // namespace zorv::tools
