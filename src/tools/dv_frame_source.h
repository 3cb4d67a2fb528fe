// A source of whole DV frames with their times, from AVI Type 1, AVI Type 2 or Raw DV. For AVI Type 2
// the separate PCM stream can be joined back into each frame's audio blocks (the "DV Mux" role), so
// every consumer sees complete DV frames. A frame whose own sound already equals its share of the
// stream (the camcorder's frames, demultiplexed) is delivered unchanged; any other gets the stream's
// sound in its own layout (16-bit, or the first pair of 12-bit four-channel sound, lock flag kept). Frames are read one at a
// time into one reused buffer, or, in mapped mode, seen where the page cache holds them: the frame's bytes are not copied at
// all and a joined frame is the mapped frame plus its rewritten audio blocks (see DvFrame::patch).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/dv_layout.h"
#include "core/error.h"
#include "media/avi_audio_reader.h"
#include "media/dv_audio.h"
#include "media/dv_media_file.h"
#include "media/mapped_window.h"
#include "media/write_all.h"

namespace zorv::tools {

inline constexpr const char* kNotRecognisedFile =
    "File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format";

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
    size_t size = 0;
    int64_t index = 0;            // frame number in the source
    int64_t start = 0, stop = 0;  // 100-ns units
    // Type 2 sources: this frame's share of the audio stream (16-bit stereo), joined or not. The
    // share follows the stream: as many samples as the frame itself carries (else the nominal count),
    // taken from where the previous frame's share ended.
    const int16_t* pcm = nullptr;
    int pcmSamples = 0;
    // Type 2 sources with sound: an empty index entry keeps its time; the frame before it (the first
    // frame, for empty entries at the start) is delivered again there, as AVI players show it.
    bool repeated = false;
    // Mapped mode, joined frames: the audio blocks whose bytes the joining changed, ascending, and
    // their new bytes one after another. Read the frame through bytes().
    const uint8_t* patch = nullptr;
    const uint16_t* patchedBlocks = nullptr;
    int patchedCount = 0;
    // The bytes are the source's mapped view (valid until the map has moved twice), not its
    // reused frame buffer (valid until the next frame).
    bool mapped = false;

    media::PatchedFrame bytes() const { return {{data, data ? size : 0}, patch, patchedBlocks, patchedCount}; }
};

class DvFrameSource {
public:
    // Opens a DV file. joinAudio: for Type 2, write the audio stream into the frames' audio blocks.
    core::Status open(const std::string& path, bool joinAudio);
    void close();

    media::FileType type() const { return file_.fileType(); }
    int64_t frameCount() const { return file_.frameCount(); }
    size_t frameSize() const { return file_.frameSize(); }
    bool pal() const { return core::dv::isPal(file_.frameSize()); }
    int64_t frameDuration() const { return core::dv::systemFor(pal()).frameDuration; }
    media::DvMediaFile& file() { return file_; }
    // Type 2: the audio stream's format (streamNumber -1 when it has none).
    const media::AviAudioFormat& audioFormat() const { return audio_.format(); }

    // Mapped mode: frames are read through a moving memory map of the file and not
    // copied. Two windows take turns, so a frame's bytes stay valid until the map has moved twice:
    // the hook runs just before each move, and whatever a consumer queued before one call of the
    // hook must be written by the end of the next call. Mapped bytes may vanish when another
    // process truncates the file: read them only inside media::guardedCall().
    // populate: map each window's pages at once (for consumers of every byte); otherwise pages are
    // mapped as they are touched (for readers of a few blocks per sequence).
    void setMapped(bool mapped, std::function<void()> beforeRemap = {}, bool populate = true) {
        mapped_ = mapped;
        populate_ = populate;
        beforeRemap_ = std::move(beforeRemap);
    }

    // The next non-empty frame; false at the end (status() tells a failure from the end).
    bool next(DvFrame& out);
    const core::Status& status() const { return status_; }
    int64_t position() const { return cursor_; }

private:
    int fillAudio(int samples);
    const uint8_t* mappedFrame(int64_t pos);
    int64_t firstFramePosition() const;
    bool joinAudio(const uint8_t* data, DvFrame& out);
    void writeStreamSound(uint8_t* frame, int samples, int rate) const;
    bool joinMapped(const uint8_t* mapped, int samples, int rate);
    static int dvaudioMax();

    media::DvMediaFile file_;
    media::AviAudioReader audio_;
    bool join_ = false;
    bool audioUsable_ = false;
    bool repeatEmpty_ = false;
    int64_t lastPos_ = -1;                          // data position of the last non-empty frame delivered
    std::optional<media::dvaudio::AudioInfo> own_;  // the current frame's own sound, at the stream's rate
    std::vector<int16_t> ownPcm_;
    std::vector<uint8_t> frame_;
    bool mapped_ = false;
    bool populate_ = true;
    std::function<void()> beforeRemap_;
    std::unique_ptr<media::MappedWindow> windows_[2];
    int window_ = 0;  // the one in use
    std::vector<uint16_t> patched_;
    std::vector<uint8_t> patchBytes_;
    int patchedCount_ = 0;
    std::vector<uint8_t> pcmBytes_;  // pending audio stream bytes
    size_t pcmOffset_ = 0;
    std::vector<int16_t> pcm_;
    int64_t cursor_ = 0;
    int64_t delivered_ = 0;
    DvTimestampFixer fixer_;
    core::Status status_;
};

}  // namespace zorv::tools
