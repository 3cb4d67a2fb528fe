// MPEG-1/2 audio (Layer I/II/III) elementary stream to 16-bit interleaved PCM through libavcodec's
// parser and decoder. Bytes go in as they come out of the PES packets; frames are found by the parser.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/error.h"
#include "media/codec/av_handles.h"

struct AVCodecParserContext;

namespace zorv::media::codec {

class MpegAudioDecoder {
public:
    // pcm: interleaved little-endian 16-bit samples of one decoded frame.
    using Sink = std::function<core::Status(std::span<const uint8_t> pcm, int sampleRate, int channels)>;

    MpegAudioDecoder() = default;
    ~MpegAudioDecoder();
    MpegAudioDecoder(const MpegAudioDecoder&) = delete;
    MpegAudioDecoder& operator=(const MpegAudioDecoder&) = delete;

    core::Status open();
    // Feeds stream bytes; decoded frames go to sink. A damaged frame is skipped.
    core::Status feed(const uint8_t* data, size_t n, const Sink& sink);
    // Decodes what is left in the parser and the decoder.
    core::Status flush(const Sink& sink);
    int64_t framesDecoded() const { return frames_; }

private:
    core::Status decodePacket(AVPacket* pkt, const Sink& sink);

    CodecContextPtr ctx_;
    AVCodecParserContext* parser_ = nullptr;
    PacketPtr pkt_;
    FramePtr frame_;
    std::vector<uint8_t> pcm_;
    int64_t frames_ = 0;
};

}  // namespace zorv::media::codec
