// The player's reference clock: media time (100-ns units) that runs with the wall clock while the
// player runs and stands still while it is paused or stopped. Pictures are shown when the clock
// reaches their start time; the sound is written ahead of it.
#pragma once

#include <chrono>
#include <cstdint>

namespace zorv::playback {

class Clock {
public:
    using SteadyClock = std::chrono::steady_clock;

    // Starts running from media time t.
    void start(int64_t t);
    // Stops at the current media time.
    void pause();
    // Sets the media time (running or not).
    void set(int64_t t);
    bool running() const { return running_; }
    int64_t now() const;
    // The wall-clock instant at which the running clock reaches media time t.
    SteadyClock::time_point when(int64_t t) const;

private:
    bool running_ = false;
    int64_t base_ = 0;  // media time at origin_ (running) or the stopped time
    SteadyClock::time_point origin_{};
};

}  // namespace zorv::playback
