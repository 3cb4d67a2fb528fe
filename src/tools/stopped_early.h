// How every tool says that its input ended, or could not be read, before the last frame it was
// to handle: the run fails (kIncomplete) and says how far it got.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"

namespace zorv::tools {

// "Stopped after N of M frames: the next one could not be read whole" (" of M" left out when the
// total is not known, M <= 0).
core::Status stoppedEarly(int64_t done, int64_t total);

}  // namespace zorv::tools
