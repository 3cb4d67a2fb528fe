// Frame index of Raw DV files: frames of one size laid end to end from byte 0.
#pragma once

#include "core/error.h"
#include "media/file_io.h"
#include "media/frame_index.h"

namespace zorv::media {

// Builds the index of an open Raw DV file. Fails with kNoIndex for a file too short to hold a frame
// or whose first frame's block IDs do not match; kReadFailed when a read fails.
core::Status buildRawDvIndex(const File& file, FrameIndex& index);

}  // namespace zorv::media
