// A standard WAV file: "RIFF"/"WAVE" with a PCM "fmt " chunk and one "data" chunk whose sizes are
// patched when the file is closed. RIFF sizes are 32-bit: a file whose data passes 4 GiB keeps both
// sizes at 0xFFFFFFFF (players then read the data to the end of the file).
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "core/error.h"

namespace zorv::media {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates (or truncates) the file and writes the provisional header.
    core::Status open(const std::string& path, int sampleRate, int channels, int bitsPerSample = 16);
    // Appends little-endian interleaved samples.
    core::Status write(std::span<const uint8_t> pcm);
    // Patches the sizes and closes. Safe to call twice.
    core::Status close();

    uint64_t dataBytes() const { return dataBytes_; }
    bool isOpen() const { return file_ != nullptr; }

private:
    core::Status fail(int err);

    std::FILE* file_ = nullptr;
    uint64_t dataBytes_ = 0;
    core::Status error_;
};

}  // namespace zorv::media
