// "Append Start Date/Time to file name": the recording start of a file is added to the end of its
// name, before the extension, as " yy-mm-dd hh.mm.ss" (the form that the file-name date reading of
// Modify Metadata reads back):  Holiday.avi -> Holiday 08-07-15 14.30.05.avi
// An existing file is never overwritten: when the new name is taken the file keeps its name and the
// call fails. A name that already ends with its own start date and time is left as it is.
#pragma once

#include <string>

#include "core/error.h"
#include "tools/recording_start.h"

namespace zorv::tools {

inline constexpr const char* kRenameTargetExists = "A file with the new name already exists";
inline constexpr const char* kRenameFailed = "Failed to rename file";

// The new path for a start date and time.
std::string pathWithStartDateTime(const std::string& path, const StartDateTime& start);

// Renames the file; newPath receives the name it has afterwards (unchanged when nothing was done).
core::Status renameWithStartDateTime(const std::string& path, std::string& newPath);

}  // namespace zorv::tools
