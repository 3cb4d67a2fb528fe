// The check every tool that writes frames back (in place, or as a stream copy of the file) makes
// before it writes a single byte: the index must describe frames a writer can trust. Each non-empty
// entry lies after the one before it without overlapping it, inside a 'movi' list and inside the
// file, and its data starts with the header block of a DV frame. An index that breaks any of these
// (one entry moved, one pointing into the headers) would make the writer garble frames or overwrite
// the file's headers.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"
#include "media/file_io.h"
#include "media/frame_index.h"

namespace zorv::media {

// The refusal of frame `frame`: kReadFailed, "The index of the file is damaged: frame N " + what.
core::Status damagedIndex(int64_t frame, const std::string& what);
inline constexpr const char* kNoFrameHeader = "does not start with a DV frame header";

// kReadFailed with a message naming the first frame that breaks a rule, or success. Reads the
// file's chunk headers and the first bytes of every frame.
core::Status checkFrameLayout(const File& file, const FrameIndex& index);

}  // namespace zorv::media
