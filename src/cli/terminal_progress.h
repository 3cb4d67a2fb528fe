// A one-line progress bar on stderr, drawn only when stderr is a terminal.
#pragma once

#include <cstdint>
#include <string>

namespace zorv::cli {

class TerminalProgress {
public:
    explicit TerminalProgress(std::string label);
    ~TerminalProgress();
    // Redraws when the whole percent changes.
    void update(int64_t done, int64_t total);
    void finish();

private:
    std::string label_;
    bool enabled_;
    int lastPercent_ = -1;
    bool drawn_ = false;
};

}  // namespace zorv::cli
