// Shared by the player tests of the stream families: a player with no sound at all, and a bounded wait
// for playback to move on.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "playback/player.h"

namespace zorv::playback::testing {

// Waits (up to 10 s) until the player shows a picture after index.
inline bool waitPast(const Player& player, int64_t index) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (player.pictureIndex() <= index) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline PlayerConfig silent() {
    PlayerConfig c;
    c.audio = false;
    c.audioBackend = AudioBackendKind::kNull;
    return c;
}

}  // namespace zorv::playback::testing
