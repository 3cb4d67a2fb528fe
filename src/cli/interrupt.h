// Ctrl+C, SIGTERM and SIGHUP for a whole command. While a run is watched, the first of them asks it
// to stop: the job removes its temporary output, leaves any old file of the output's name as it was
// and the command exits non-zero. A second one, or one that comes while nothing is watched, removes
// every temporary output of the process at once and ends it.
#pragma once

namespace zorv::cli {

void installInterruptHandlers();

// While true, the first signal only sets interruptRequested(); cleared again by watchInterrupts(false).
void watchInterrupts(bool watching);
bool interruptRequested();

}  // namespace zorv::cli
