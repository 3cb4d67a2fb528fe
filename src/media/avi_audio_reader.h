// Reads the PCM audio stream of an AVI Type 2 file in file order, walking the 'movi' lists of every
// RIFF chunk for the audio stream's chunks ("01wb"), independently of the video. Bounded memory: the
// pending bytes of at most one read piece are kept. A chunk with a damaged size is stepped over by
// looking for the next chunk header, as a tolerant demultiplexer does.
#pragma once

#include <cstdint>
#include <vector>

#include "core/error.h"
#include "media/file_io.h"

namespace zorv::media {

struct AviAudioFormat {
    int streamNumber = -1;  // -1: the file has no audio stream
    int formatTag = 0;      // 1 = PCM
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    bool isPcm16Stereo() const { return formatTag == 1 && channels == 2 && bitsPerSample == 16; }
};

class AviAudioReader {
public:
    // Reads the header list of the file; format().streamNumber is -1 when there is no "auds" stream.
    core::Status open(const File& file);
    const AviAudioFormat& format() const { return format_; }

    // Appends up to maxBytes of audio data to out; returns the bytes appended (0 at the end).
    size_t read(std::vector<uint8_t>& out, size_t maxBytes);
    // True when reading stopped on bytes that were inside the file when it was opened: the file
    // shrank under the reader or the device failed, and the audio is incomplete.
    bool failed() const { return failed_; }
    // File position of the next byte read (for progress).
    int64_t position() const { return chunkPos_; }

private:
    bool nextChunk();  // positions chunkPos_/chunkLeft_ at the next audio chunk
    bool resync();     // moves pos_ to the next plausible chunk header; false when a read fails

    const File* file_ = nullptr;
    int64_t fileSize_ = 0;
    AviAudioFormat format_;
    uint32_t chunkId_ = 0;
    int64_t riffPos_ = 0, riffEnd_ = 0, pos_ = 0, moviEnd_ = 0;
    bool inMovi_ = false, done_ = false, failed_ = false;
    int64_t chunkPos_ = 0, chunkLeft_ = 0;
    int budget_ = 0;
};

}  // namespace zorv::media
