// The table of containers, in the order recognition tries them, and the look-up by file type.
#pragma once

#include <span>
#include <string>

#include "media/formats/format_descriptor.h"

namespace zorv::media {

// The player's text when a DV AVI file cannot be loaded (and when a DV file of no known type cannot).
inline constexpr const char* kAviLoadFailure = "Could not get output type from AVI splitter";

// The descriptors in probe order.
std::span<const FormatDescriptor* const> formatTable();
// The descriptor of a type; a descriptor with no family, tools or probe for kUnknown and unknown numbers.
const FormatDescriptor& formatOf(FileType type);
// By the number stored in settings and passed between modules (file_type.h).
const FormatDescriptor& formatOf(int type);
// The descriptor's playRefusal with the path in place of "%s".
std::string playRefusalText(const FormatDescriptor& format, const std::string& path);

}  // namespace zorv::media
