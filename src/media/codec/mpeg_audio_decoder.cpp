#include "media/codec/mpeg_audio_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zorv::media::codec {

using core::ErrorCode;
using core::Status;

MpegAudioDecoder::~MpegAudioDecoder() {
    if (parser_) av_parser_close(parser_);
}

Status MpegAudioDecoder::open() {
    const AVCodec* codec = avcodec_find_decoder_by_name("mp2");
    if (!codec) codec = avcodec_find_decoder(AV_CODEC_ID_MP2);
    if (!codec) return Status::failure(ErrorCode::kOpenFailed, "No MPEG audio decoder");
    ctx_.reset(avcodec_alloc_context3(codec));
    parser_ = av_parser_init(AV_CODEC_ID_MP2);
    pkt_ = makePacket();
    frame_ = makeFrame();
    if (!ctx_ || !parser_ || !pkt_ || !frame_) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    const int err = avcodec_open2(ctx_.get(), codec, nullptr);
    if (err < 0) return Status::failure(ErrorCode::kOpenFailed, "MPEG audio decoder: " + avErrorText(err));
    return Status::success();
}

Status MpegAudioDecoder::decodePacket(AVPacket* pkt, const Sink& sink) {
    int err = avcodec_send_packet(ctx_.get(), pkt);
    if (err < 0 && err != AVERROR(EAGAIN) && err != AVERROR_EOF) return Status::success();  // damaged frame
    while ((err = avcodec_receive_frame(ctx_.get(), frame_.get())) == 0) {
        const AVFrame* f = frame_.get();
        const int channels = f->ch_layout.nb_channels;
        const size_t samples = static_cast<size_t>(f->nb_samples) * static_cast<size_t>(channels);
        if (pcm_.size() < samples * 2) pcm_.resize(samples * 2);
        auto* out = reinterpret_cast<int16_t*>(pcm_.data());
        const auto fmt = static_cast<AVSampleFormat>(f->format);
        for (int i = 0; i < f->nb_samples; ++i) {
            for (int c = 0; c < channels; ++c) {
                int16_t v = 0;
                switch (fmt) {
                case AV_SAMPLE_FMT_S16: v = reinterpret_cast<const int16_t*>(f->data[0])[i * channels + c]; break;
                case AV_SAMPLE_FMT_S16P: v = reinterpret_cast<const int16_t*>(f->data[c])[i]; break;
                case AV_SAMPLE_FMT_FLT:
                case AV_SAMPLE_FMT_FLTP: {
                    const float x = fmt == AV_SAMPLE_FMT_FLT ? reinterpret_cast<const float*>(f->data[0])[i * channels + c]
                                                             : reinterpret_cast<const float*>(f->data[c])[i];
                    v = static_cast<int16_t>(std::lrintf(std::clamp(x, -1.0f, 1.0f) * 32767.0f));
                    break;
                }
                default: break;
                }
                out[static_cast<size_t>(i) * channels + c] = v;
            }
        }
        ++frames_;
        Status s = sink(std::span<const uint8_t>(pcm_.data(), samples * 2), f->sample_rate, channels);
        av_frame_unref(frame_.get());
        if (!s) return s;
    }
    return Status::success();
}

Status MpegAudioDecoder::feed(const uint8_t* data, size_t n, const Sink& sink) {
    while (n > 0) {
        uint8_t* outData = nullptr;
        int outSize = 0;
        const int used = av_parser_parse2(parser_, ctx_.get(), &outData, &outSize, data, static_cast<int>(n), AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        if (used < 0) return Status::success();
        data += used;
        n -= static_cast<size_t>(used);
        if (outSize > 0) {
            pkt_->data = outData;
            pkt_->size = outSize;
            Status s = decodePacket(pkt_.get(), sink);
            if (!s) return s;
        }
    }
    return Status::success();
}

Status MpegAudioDecoder::flush(const Sink& sink) {
    uint8_t* outData = nullptr;
    int outSize = 0;
    av_parser_parse2(parser_, ctx_.get(), &outData, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (outSize > 0) {
        pkt_->data = outData;
        pkt_->size = outSize;
        Status s = decodePacket(pkt_.get(), sink);
        if (!s) return s;
    }
    return decodePacket(nullptr, sink);
}

}  // namespace zorv::media::codec
