// An AVI writer for any video (uncompressed 24-bit RGB DIBs or a compressor's packets) with optional
// 16-bit PCM sound, used for the burn-in output of HDV and AVCHD recordings. Files grow past the
// classic 1 GiB RIFF with OpenDML: the first "RIFF AVI " is followed by "RIFF AVIX" extensions, each
// "movi" list ends with one standard index ("ix00", "ix01") per stream, the headers carry super
// indexes ("indx") pointing at them and an "odml" list with the total frame count, and the first
// RIFF also gets a legacy "idx1" index. Memory stays bounded by one RIFF's index entries.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/file_io.h"

namespace zorv::media {

struct AviVideoFormat {
    int width = 0, height = 0;
    int64_t rateNum = 25, rateDen = 1;  // pictures per second as a fraction
    uint32_t compression = 0;           // BITMAPINFOHEADER biCompression: 0 = BI_RGB, else a FourCC
    uint16_t bitCount = 24;
    uint32_t imageSize = 0;          // biSizeImage (0: computed for BI_RGB)
    std::vector<uint8_t> extraData;  // codec private data appended to the BITMAPINFOHEADER
};

struct AviAudioFormat {
    int sampleRate = 0;  // 0: no audio stream
    int channels = 2;    // 16-bit samples, interleaved
};

class AviAvWriter {
public:
    static constexpr int64_t kDefaultRiffLimit = int64_t{1} << 30;
    static constexpr int kMaxSegments = 256;  // super index entries: 256 GiB of output

    // Creates the file. The audio format may be given now or with setAudio() before the first sound.
    core::Status open(const std::string& path, const AviVideoFormat& video, bool withAudio);
    void setAudio(const AviAudioFormat& audio) { audio_ = audio; }
    const AviAudioFormat& audio() const { return audio_; }
    // One picture: size bytes of DIB rows or one coded packet.
    core::Status writeVideo(const uint8_t* data, size_t size, bool keyFrame = true);
    // Interleaved 16-bit samples (size bytes).
    core::Status writeAudio(const uint8_t* pcm, size_t size);
    // Writes the last index and the headers.
    core::Status close();
    bool isOpen() const { return file_.isOpen(); }

    // Largest size of one RIFF chunk before an AVIX extension starts (tests make it small).
    void setRiffLimit(int64_t bytes) { riffLimit_ = bytes; }
    int64_t videoFrames() const { return totalVideo_; }

private:
    struct Entry {
        int64_t offset;  // of the chunk's data
        uint32_t size;   // bit 31 set: not a key frame
    };
    struct SuperEntry {
        int64_t offset;
        uint32_t size;
        uint32_t duration;
    };
    core::Status writeChunk(int stream, const uint8_t* data, size_t size, bool key);
    core::Status finishSegment();
    core::Status startSegment();
    core::Status writeHeaders();
    core::Status fail();

    File file_;
    AviVideoFormat video_;
    AviAudioFormat audio_;
    bool withAudio_ = false;
    int64_t riffLimit_ = kDefaultRiffLimit;
    int64_t pos_ = 0;        // end of the data written
    int64_t riffStart_ = 0;  // offset of the current RIFF chunk
    int64_t moviStart_ = 0;  // offset of the current LIST movi chunk
    int segment_ = 0;
    std::array<std::vector<Entry>, 2> entries_;  // of the current segment
    std::array<std::vector<SuperEntry>, 2> super_;
    std::vector<uint8_t> scratch_;
    int64_t firstRiffVideo_ = 0;
    int64_t totalVideo_ = 0, totalAudioBytes_ = 0;
    uint32_t maxChunk_ = 0;
};

}  // namespace zorv::media
