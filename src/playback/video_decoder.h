// A libavcodec video decoder chosen by name ("dvvideo", "mpeg2video", "h264", ...) that turns coded
// pictures into packed 24-bit RGB. The conversion context and the output buffer are kept between
// pictures, so decoding a stream allocates nothing per picture once the size is known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/codec/av_handles.h"

struct SwsContext;

namespace zorv::playback {

struct RgbOut {
    int width = 0, height = 0, stride = 0;
    std::vector<uint8_t>* pixels = nullptr;  // resized to stride x height
    int sarNum = 0, sarDen = 0;              // sample aspect ratio; 0 when unknown
    int64_t pts = AV_NOPTS_VALUE;            // the decoded picture's time stamp as given with its packet
    int pictureType = 255;                   // 0 I, 1 P, 2 B, 255 unknown
    bool keyFrame = false;
};

class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Opens the named decoder; false (with error() set) when libavcodec lacks it or it does not open.
    bool open(const std::string& name, int threads = 1);
    void close();
    bool isOpen() const { return ctx_ != nullptr; }
    const std::string& error() const { return error_; }

    // Feeds one coded picture (or a run of elementary-stream bytes for a parser-fed stream) with its
    // time stamp. Returns false on a hard error. When the decoder holds as many pictures as it can
    // (libavcodec's EAGAIN) the bytes are NOT taken: with full given, *full is set and the caller
    // receives pictures and sends the same bytes again; without it the bytes are dropped.
    bool send(const uint8_t* data, size_t size, int64_t pts = AV_NOPTS_VALUE, bool* full = nullptr);
    // Signals the end of the stream so that the pictures held back are given out.
    bool sendEnd();
    // The next decoded picture, converted into out; false when the decoder needs more input.
    bool receive(RgbOut& out);
    // Drops every picture held in the decoder (after a seek).
    void flush();

private:
    bool convert(const AVFrame* frame, RgbOut& out);

    media::codec::CodecContextPtr ctx_;
    media::codec::PacketPtr packet_;
    media::codec::FramePtr frame_;
    SwsContext* sws_ = nullptr;
    int swsW_ = 0, swsH_ = 0, swsFormat_ = -1;
    std::string error_;
};

}  // namespace zorv::playback
