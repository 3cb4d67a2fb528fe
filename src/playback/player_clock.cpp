#include "playback/player_clock.h"

namespace zorv::playback {

namespace {
int64_t toUnits(Clock::SteadyClock::duration d) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count() / 100;
}
}  // namespace

void Clock::start(int64_t t) {
    base_ = t;
    origin_ = SteadyClock::now();
    running_ = true;
}

void Clock::pause() {
    if (!running_) return;
    base_ = now();
    running_ = false;
}

void Clock::set(int64_t t) {
    base_ = t;
    origin_ = SteadyClock::now();
}

int64_t Clock::now() const {
    if (!running_) return base_;
    return base_ + toUnits(SteadyClock::now() - origin_);
}

Clock::SteadyClock::time_point Clock::when(int64_t t) const {
    if (!running_) return SteadyClock::now();
    return origin_ + std::chrono::nanoseconds((t - base_) * 100);
}

}  // namespace zorv::playback
