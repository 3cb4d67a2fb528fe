// A source of whole DV frames with their times, from AVI Type 1, AVI Type 2 or Raw DV. For AVI Type 2
// the separate PCM stream can be joined back into each frame's audio blocks (the "DV Mux" role), so
// every consumer sees complete DV frames. Frames are read one at a time into one reused buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/dv_layout.h"
#include "core/error.h"
#include "media/avi_audio_reader.h"
#include "media/dv_audio.h"
#include "media/dv_media_file.h"

namespace zorv::tools {

// "DV TS": when the first frame lasts 333667 units of 100 ns (29.97 frames/s), every frame is
// re-stamped 0, 333667, 667334, ...; otherwise the times pass unchanged.
class DvTimestampFixer {
public:
    void restamp(int64_t& start, int64_t& stop);
    int64_t count() const { return count_; }

private:
    bool first_ = true;
    bool on_ = false;
    int64_t next_ = 0;
    int64_t count_ = 0;
};

struct DvFrame {
    const uint8_t* data = nullptr;  // frameSize bytes
    int64_t index = 0;              // frame number in the source
    int64_t start = 0, stop = 0;    // 100-ns units
    // Type 2 sources: this frame's share of the audio stream (16-bit stereo), joined or not.
    const int16_t* pcm = nullptr;
    int pcmSamples = 0;
};

class DvFrameSource {
public:
    // Opens a DV file. joinAudio: for Type 2, write the audio stream into the frames' audio blocks.
    core::Status open(const std::string& path, bool joinAudio);
    void close();

    media::FileType type() const { return file_.fileType(); }
    int typeNumber() const { return static_cast<int>(file_.fileType()); }
    int64_t frameCount() const { return file_.frameCount(); }
    size_t frameSize() const { return file_.frameSize(); }
    bool pal() const { return core::dv::isPal(file_.frameSize()); }
    int64_t frameDuration() const { return pal() ? 400000 : 333667; }
    media::DvMediaFile& file() { return file_; }
    // Type 2: the audio stream's format (streamNumber -1 when it has none).
    const media::AviAudioFormat& audioFormat() const { return audio_.format(); }

    // Type 2 only: when the caller needs nothing but the audio stream, the video chunks are not read
    // (the frame's data is then null).
    void skipVideo(bool skip) { skipVideo_ = skip; }

    // The next non-empty frame; false at the end (status() tells a failure from the end).
    bool next(DvFrame& out);
    const core::Status& status() const { return status_; }
    int64_t position() const { return cursor_; }

private:
    bool fillAudio(int samples);
    static int dvaudioMax();

    media::DvMediaFile file_;
    media::AviAudioReader audio_;
    bool join_ = false;
    bool audioUsable_ = false;
    bool skipVideo_ = false;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> pcmBytes_;  // pending audio stream bytes
    size_t pcmOffset_ = 0;
    std::vector<int16_t> pcm_;
    int64_t cursor_ = 0;
    int64_t delivered_ = 0;
    DvTimestampFixer fixer_;
    core::Status status_;
};

}  // namespace zorv::tools
