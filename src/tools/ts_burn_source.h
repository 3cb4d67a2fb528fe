// Pictures of an HDV (1080-line, MPEG-2) or AVCHD (H.264) recording for burn-in: the stream reader
// delivers read units, the video, audio and metadata packets are gathered into their PES payloads,
// the video goes through the user's libavcodec decoder and each decoded picture (24-bit RGB) is
// handed on with the metadata of its own start time. The sound (MPEG audio or AC-3) is decoded to
// 16-bit PCM when asked for and collected for the output writer.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/metadata_record.h"
#include "media/avchd_mdpm.h"
#include "media/hdv_metadata.h"
#include "tools/stream_burn_in.h"

namespace zorv::tools {

class TsBurnSource final : public PictureSource {
public:
    TsBurnSource();
    ~TsBurnSource() override;
    TsBurnSource(const TsBurnSource&) = delete;
    TsBurnSource& operator=(const TsBurnSource&) = delete;

    // Opens the file and the named decoder ("mpeg2video", "h264", ...) with that many threads (1: the
    // pictures are decoded on the caller's thread, for when the compressor keeps every core busy).
    // The failure message is the reader's reason text or the decoder's.
    core::Status open(const std::string& path, core::MediaFamily family, const std::string& decoder, bool audio,
                      int decoderThreads = 2);

    Result next(DecodedPicture& out) override;
    bool deliverFrames() override;
    int64_t duration() const override;
    int64_t skippedBytes() const override;
    bool takeAudio(std::vector<int16_t>& samples, int& rate, int& channels) override;
    // Pictures per second as a fraction (from the first time stamps; 25/1 when unknown).
    void pictureRate(int64_t& num, int64_t& den) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zorv::tools
