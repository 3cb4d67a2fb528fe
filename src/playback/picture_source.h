// What the player reads a file through: one source per family, giving picture n decoded with its own
// metadata (and its sound), and where the key pictures are. Sources are used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "playback/player.h"

namespace zorv::media {
class DvMediaFile;
}

namespace zorv::playback {

// One picture's share of the sound: interleaved 16-bit samples.
struct AudioBlock {
    std::vector<int16_t> samples;  // capacity kept between pictures
    int frames = 0;                // samples per channel held
    int sampleRate = 0;
    int channels = 2;
    int64_t startTime = 0;  // media time of the first sample (100 ns from the first picture)
};

class PictureSource {
public:
    virtual ~PictureSource() = default;

    virtual int64_t pictureCount() const = 0;
    virtual int64_t pictureDuration() const = 0;
    virtual int64_t duration() const { return pictureCount() * pictureDuration(); }

    // Decodes picture index (0 .. pictureCount() - 1) into out: pixels, metadata and the fields of the
    // metadata window (serial is the player's). audio, when given, receives the picture's sound (frames
    // 0 when it has none). Going on to index + 1 is the cheap case; any other index seeks.
    virtual bool decode(int64_t index, ShownPicture& out, AudioBlock* audio) = 0;
    // The nearest key picture after (direction > 0) or before (direction < 0) index; -1 when none.
    virtual int64_t keyPicture(int64_t index, int direction) = 0;
    // Text of the last failure (decoder or read), for error aborts.
    virtual std::string error() const = 0;

    virtual bool hasGeotagging() const { return false; }
    virtual std::optional<std::string> mapPosition(const ShownPicture&) const { return std::nullopt; }
    // The DV file, for the scene scan; null for the other families.
    virtual media::DvMediaFile* dvFile() { return nullptr; }
};

}  // namespace zorv::playback
