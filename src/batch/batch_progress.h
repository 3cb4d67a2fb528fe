// The bars and the remaining-time line of a batch job. A file's weight is its share of the job; its
// frames done count towards the overall bar scaled by weight / total frames of the file.
#pragma once

#include <cstdint>
#include <string>

namespace zorv::batch {

// The file bar: done * 100 / total (done capped at total; 0 when total is 0).
int filePercent(int64_t done, int64_t total);

// The overall bar while the job runs: (finished weight + running part) * 100 / total weight, at most
// 99 (100 when the total weight is 0). runningPart is the weighted work of the running files.
int overallPercent(double finishedWeight, double runningPart, double totalWeight);

// The status line for elapsed whole seconds at overall percent (elapsed > 0, overall >= 1):
// r = (100 - overall) * elapsed / overall; "%d Hours %d Mins Remaining", "%d Minutes Remaining"
// (the minutes shown plus one), "%d Seconds Remaining" (rounded to a multiple of 5), or empty when
// fewer than 2 seconds remain.
std::string remainingTimeText(int64_t elapsed, int overall);

// The progress line of a batch on a terminal or in a program's log:
// "FINISHED/TOTAL files  H:MM:SS elapsed  H:MM:SS remaining  CURRENT". The remaining time is
// elapsed * (1 - fraction) / fraction of the job's work done ("-:--:--" before 2 seconds or before any
// work was done); CURRENT, the file being worked on, is left out when empty.
std::string batchProgressLine(int64_t finished, int64_t total, double elapsedSeconds, double fraction,
                              const std::string& current);

}  // namespace zorv::batch
