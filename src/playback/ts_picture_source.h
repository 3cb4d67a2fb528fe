// Pictures of a 1080-line HDV file (MPEG-2 video) or an AVCHD file (H.264 video, AC-3 sound), read
// through the M2T and AVC readers and decoded with the chosen libavcodec decoders. Each picture's
// metadata is the record the reader's metadata cache holds for its start time.
#pragma once

#include "playback/picture_source.h"

namespace zorv::playback {

class TsPictureSource final : public PictureSource {
public:
    core::Status openHdv(const std::string& path, const PlayerConfig& config);
    core::Status openAvchd(const std::string& path, const PlayerConfig& config);

    int64_t pictureCount() const override { return count_; }
    int64_t pictureDuration() const override { return pictureDuration_; }
    bool decode(int64_t index, ShownPicture& out, AudioBlock* audio) override;
    int64_t keyPicture(int64_t index, int direction) override;
    std::string error() const override { return error_; }

private:
    int64_t count_ = 0;
    int64_t pictureDuration_ = 400000;
    std::string error_;
};

}  // namespace zorv::playback
