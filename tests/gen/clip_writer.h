// Produces the DV frames of a described clip and writes them as Raw DV, AVI Type 1 or AVI Type 2.
// The pictures are real DV encodes of a moving test pattern: a handful of distinct pictures is
// encoded once and reused, so that long clips cost little more than the disk writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "gen/clip_spec.h"

namespace zorv::gen {

class ClipFrames {
public:
    // Encodes the pictures for the clip's system.
    core::Status open(const ClipSpec& desc);
    // Frame n of the clip, pictures, packs, sound and damage, in out (resized to the frame size).
    void render(int64_t n, std::vector<uint8_t>& out) const;
    // The size of the PCM audio that a Type 2 file carries for frame n: 16-bit stereo.
    size_t audioBytes(int64_t n) const;
    // That audio (the tone's first stereo pair, or silence) as little-endian bytes in out.
    void audioPcm(int64_t n, std::vector<uint8_t>& out) const;
    const ClipSpec& desc() const { return spec_; }

private:
    void renderTone(int64_t n, std::vector<uint8_t>& out) const;
    void damage(int64_t n, std::vector<uint8_t>& out) const;
    ClipSpec spec_;
    std::vector<std::vector<uint8_t>> pictures_;
    mutable std::vector<int16_t> pair0_, pair1_;  // one frame's tone, reused
};

// Writes the clip. IndexStyle applies to AVI containers; dropped frames become empty index entries in
// AVI files and are left out of Raw DV files.
core::Status writeClip(const ClipSpec& desc, const std::string& path, Container container,
                       IndexStyle style = IndexStyle::OpenDml);

// A cache for tests: writes the clip to a file named `name` in a temporary folder of this process
// (removed at exit) the first time it is asked for and returns its path (empty on failure).
std::string cachedClip(const std::string& name, const ClipSpec& desc, Container container,
                       IndexStyle style = IndexStyle::OpenDml);

}  // namespace zorv::gen
