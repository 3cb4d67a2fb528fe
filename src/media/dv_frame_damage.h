// The damage record of one DV frame as the scan fills it: video block statuses and places (core) and
// the error samples of every audio channel, read from the frame's own bytes in one go.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/dv_damage.h"

namespace zorv::media {

// Fills everything in d but the timecode flags (those need the frame before; see checkTimecodeOrder).
void readFrameDamage(core::FrameDamage& d, const uint8_t* frame, size_t frameSize);

}  // namespace zorv::media
