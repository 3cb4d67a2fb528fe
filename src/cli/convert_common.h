// Shared by the commands that write an output file: the existing-output question and running a job
// with a progress bar.
#pragma once

#include <optional>
#include <string>

#include "core/job.h"

namespace zorv::cli {

// Whether the run reading input may write path, decided before anything is written: nullopt (after
// printing why) when path is the input by any name, a link to nothing, a folder, or an existing file
// that neither --overwrite nor a yes at the terminal allows to replace. Otherwise the overwrite rule
// for the run: nothing is removed here, the run replaces the file only when it has completed.
std::optional<bool> confirmOutput(const std::string& path, const std::string& input, bool overwrite);

// Starts the job, draws its progress, waits; prints the failure text or the completion text.
int runJob(core::Job& job, const std::string& label, const char* completeText);

}  // namespace zorv::cli
