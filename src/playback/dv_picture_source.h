// Pictures of a DV file (AVI Type 1, AVI Type 2, Raw DV): every frame is read by its index, decoded on
// its own with libavcodec's "dvvideo" (DV is intra-coded, so stepping is exact), and carries its own
// packs as its metadata and its own audio blocks as its sound.
#pragma once

#include <memory>

#include "core/dv_decode.h"
#include "media/dv_media_file.h"
#include "playback/picture_source.h"
#include "playback/video_decoder.h"

namespace zorv::playback {

class DvPictureSource final : public PictureSource {
public:
    // The file is opened by the caller (DvMediaFile::open indexes it). "Could not ..." on failure.
    core::Status open(std::unique_ptr<media::DvMediaFile> file);

    int64_t pictureCount() const override { return file_->frameCount(); }
    int64_t pictureDuration() const override;
    bool decode(int64_t index, ShownPicture& out, AudioBlock* audio) override;
    int64_t keyPicture(int64_t index, int direction) override;
    std::string error() const override { return error_; }
    media::DvMediaFile* dvFile() override { return file_.get(); }

private:
    bool readNonEmpty(int64_t index);
    void readAudio(AudioBlock& audio);

    std::unique_ptr<media::DvMediaFile> file_;
    VideoDecoder decoder_;
    std::vector<uint8_t> frame_;
    core::DisplayValues display_;
    std::string error_;
};

}  // namespace zorv::playback
