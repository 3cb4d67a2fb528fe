// Shared by `zorv convert` and `zorv extract-audio`: the existing-output question and running a job
// with a progress bar.
#pragma once

#include <string>

#include "core/job.h"

namespace zorv::cli {

// True when path may be written: it does not exist, or --overwrite was given, or the user answered
// yes on a terminal; the existing file is then deleted. Prints the system's text otherwise.
bool confirmOutput(const std::string& path, bool overwrite);

// Starts the job, draws its progress, waits; prints the failure text or the completion text.
int runJob(core::Job& job, const std::string& label, const char* completeText);

}  // namespace zorv::cli
