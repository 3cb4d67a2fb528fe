#include "cli/terminal_progress.h"

#include <unistd.h>

#include <cstdio>

namespace zorv::cli {

TerminalProgress::TerminalProgress(std::string label) : label_(std::move(label)), enabled_(isatty(STDERR_FILENO) != 0) {}

TerminalProgress::~TerminalProgress() { finish(); }

void TerminalProgress::update(int64_t done, int64_t total) {
    if (!enabled_ || total <= 0) return;
    int percent = static_cast<int>(done * 100 / total);
    if (percent > 100) percent = 100;
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    int filled = percent * kWidth / 100;
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar, percent);
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgress::finish() {
    if (drawn_) {
        std::fputc('\n', stderr);
        drawn_ = false;
    }
}

}  // namespace zorv::cli
