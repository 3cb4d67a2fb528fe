// Frame index of DV AVI files, from the legacy 'idx1' index or the OpenDML index.
#pragma once

#include "core/error.h"
#include "media/file_io.h"
#include "media/frame_index.h"

namespace zorv::media {

// Builds the index of an open AVI file. On failure the index is cleared and the status holds the
// reason: kReadFailed (failed seek or short read, with errno; or a first frame of no DV size, with
// the system's text), kOutOfMemory, or kNoIndex when the file simply has no usable index (no idx1 or
// indx, or frame data that cannot be found).
// Hostile files are handled: sizes are capped by the file size, nested indexes are visited once each
// and at most a few levels deep.
core::Status buildAviIndex(const File& file, FrameIndex& index);

}  // namespace zorv::media
