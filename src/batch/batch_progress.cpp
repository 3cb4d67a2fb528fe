#include "batch/batch_progress.h"

#include <algorithm>
#include <cstdio>

namespace zorv::batch {

int filePercent(int64_t done, int64_t total) {
    if (total <= 0) return 0;
    done = std::clamp<int64_t>(done, 0, total);
    return static_cast<int>(done * 100 / total);
}

int overallPercent(double finishedWeight, double runningPart, double totalWeight) {
    if (totalWeight <= 0) return 100;
    const double v = (finishedWeight + runningPart) * 100.0 / totalWeight;
    return static_cast<int>(std::clamp(v, 0.0, 99.0));
}

std::string remainingTimeText(int64_t elapsed, int overall) {
    if (overall < 1 || elapsed <= 0) return {};
    const int64_t r = (100 - overall) * elapsed / overall;
    const int64_t h = r / 3600;
    const int64_t m = r / 60 - 60 * h;
    char text[64];
    if (h >= 1) {
        std::snprintf(text, sizeof text, "%d Hours %d Mins Remaining", static_cast<int>(h), static_cast<int>(m + 1));
    } else if (m >= 1) {
        std::snprintf(text, sizeof text, "%d Minutes Remaining", static_cast<int>(m + 1));
    } else {
        const int64_t s = r % 60;
        if (s < 2) return {};
        std::snprintf(text, sizeof text, "%d Seconds Remaining", static_cast<int>(((s + 3) / 5) * 5));
    }
    return text;
}

namespace {

std::string clockText(double seconds) {
    const auto t = static_cast<long long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", t / 3600, t / 60 % 60, t % 60);
    return text;
}

}  // namespace

std::string batchProgressLine(int64_t finished, int64_t total, double elapsedSeconds, double fraction,
                              const std::string& current) {
    elapsedSeconds = std::max(0.0, elapsedSeconds);
    std::string line =
        std::to_string(finished) + "/" + std::to_string(total) + " files  " + clockText(elapsedSeconds) + " elapsed  ";
    if (elapsedSeconds >= 2 && fraction > 0 && fraction <= 1)
        line += clockText(elapsedSeconds * (1 - fraction) / fraction) + " remaining";
    else line += "-:--:-- remaining";
    if (!current.empty()) line += "  " + current;
    return line;
}

}  // namespace zorv::batch
