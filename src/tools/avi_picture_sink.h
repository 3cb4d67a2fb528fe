// The output of HDV/AVCHD burn-in: pictures go into an AVI file either uncompressed (24-bit RGB DIB
// rows, bottom-up, blue first) or through the selected libavcodec compressor, with the sound as
// 16-bit PCM when asked for. The file is created with the first picture, whose size it takes.
#pragma once

#include <memory>
#include <string>

#include "tools/stream_burn_in.h"

namespace zorv::tools {

// Whether the compressor encodes whole pictures on every core (one encoder lane per core): its pictures
// stand alone and the machine has two cores or more. The decoder then needs no threads of its own.
bool compressorUsesEveryCore(const std::string& compressor);

class AviPictureSink final : public PictureSink {
public:
    // compressor: a libavcodec encoder name, or empty for uncompressed output.
    AviPictureSink(std::string compressor, int64_t rateNum, int64_t rateDen, bool audio);
    ~AviPictureSink() override;

    core::Status open(const std::string& path) override;
    core::Status write(const core::RgbPicture& picture, int64_t start) override;
    // With a compressor, pictures are drawn straight into the compressor's own frames (a lane's slot
    // when whole pictures are encoded on several cores); they are converted only when the compressor
    // cannot take the decoder's pixel format.
    bool takesFrames() const override;
    core::Status frameToFill(int width, int height, int format, AVFrame*& frame) override;
    core::Status submitFrame(int64_t start) override;
    core::Status submitFrameRef(AVFrame* frame, int64_t start) override;
    core::Status writeAudio(const int16_t* samples, size_t count, int rate, int channels) override;
    core::Status close() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zorv::tools
