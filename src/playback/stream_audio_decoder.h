// The sound of an HDV or AVCHD transport stream for the player: PES payloads of the audio PID
// (MPEG-1 Layer II or AC-3) go in with their time stamps, are split into frames by libavcodec's
// parser, decoded by the chosen decoder and converted by libswresample to interleaved 16-bit stereo
// at the stream's own rate. The samples wait in a queue placed on the stream's 90 kHz time line until
// the picture they belong to is shown; take() hands out one picture's share, so that the sound
// written ahead of each picture is the sound of that very picture.
//
// Placement rules: a frame that follows the previous one closely (within 100 ms) is appended as is,
// so that time-stamp jitter does not click; a gap of up to 5 s after queued sound is filled with
// silence; any other jump restarts the queue at the frame's own time. Sound before the hand-out point
// is dropped; a gap before the first queued sample is handed out as silence. Buffers keep their capacity, so steady playback
// allocates nothing per picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/codec/av_handles.h"

struct AVCodecParserContext;
struct SwrContext;

namespace zorv::playback {

struct AudioBlock;

class StreamAudioDecoder {
public:
    StreamAudioDecoder();
    ~StreamAudioDecoder();
    StreamAudioDecoder(const StreamAudioDecoder&) = delete;
    StreamAudioDecoder& operator=(const StreamAudioDecoder&) = delete;

    // Opens the decoder named (libavcodec short name, e.g. "mp2", "ac3"); origin is the 90 kHz time
    // of the stream's first picture, the zero of every position. False when the decoder is missing.
    bool open(const std::string& decoderName, int64_t origin);
    void close();
    bool isOpen() const { return ctx_ != nullptr; }

    // Drops everything held (after a seek); the next hand-out starts at the 90 kHz time from.
    void reset(int64_t from);
    // Bytes of the audio elementary stream; pts is the time stamp of the PES they start (-1: none).
    void feed(const uint8_t* data, size_t size, int64_t pts);
    // The stream has ended: what the parser and decoder hold is decoded.
    void finish();

    // Hands out the sound from the hand-out point up to the 90 kHz time until (all of it when until
    // is negative) into out, as far as it has been decoded. out.startTime is the media time (100 ns
    // from the first picture) of its first sample.
    void take(int64_t until, AudioBlock& out);
    // Moves the hand-out point on to until without handing anything out (pictures shown without sound).
    void skip(int64_t until);

    int sampleRate() const { return rate_; }
    // Time of the first PES that may still be fed after reset (earlier ones are skipped).
    int64_t handOutPts() const { return cursorPts_; }

private:
    void decodePacket(const uint8_t* data, int size, int64_t pts);
    void drain();
    int64_t toSample(int64_t pts) const { return (pts - origin_) * rate_ / 90000; }
    void dropFront(int64_t frames);

    media::codec::CodecContextPtr ctx_;
    AVCodecParserContext* parser_ = nullptr;
    media::codec::PacketPtr packet_;
    media::codec::FramePtr frame_;
    SwrContext* swr_ = nullptr;
    int swrRate_ = 0, swrFormat_ = -1;
    uint64_t swrLayout_ = 0;
    int swrChannels_ = 0;

    int64_t origin_ = 0;
    int rate_ = 0;           // output rate, fixed by the first decoded frame
    int64_t cursorPts_ = 0;  // hand-out point before the rate is known (90 kHz)
    int64_t cursor_ = -1;    // hand-out point in samples from origin_; -1 until the rate is known
    // Queued stereo samples: fifo_[head_ ..) are the frames from fifoStart_ on.
    std::vector<int16_t> fifo_;
    size_t head_ = 0;
    int64_t fifoStart_ = 0;
    bool placed_ = false;  // fifoStart_ holds a position
};

}  // namespace zorv::playback
