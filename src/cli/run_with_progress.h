// Runs a blocking piece of work on a worker thread while the calling thread draws its progress on
// the terminal and turns Ctrl+C, SIGTERM and SIGHUP into a cancel request (see cli/interrupt.h).
#pragma once

#include <functional>
#include <string>

#include "core/job.h"

namespace zorv::cli {

// Returns what work returned. work must poll progress.cancelled().
bool runWithProgress(const std::string& label, core::Progress& progress, const std::function<bool()>& work);

}  // namespace zorv::cli
