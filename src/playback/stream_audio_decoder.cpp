#include "playback/stream_audio_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "playback/picture_source.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace zorv::playback {

namespace {
constexpr int kOutChannels = 2;
}  // namespace

StreamAudioDecoder::StreamAudioDecoder() = default;
StreamAudioDecoder::~StreamAudioDecoder() { close(); }

bool StreamAudioDecoder::open(const std::string& decoderName, int64_t origin) {
    close();
    const AVCodec* codec = avcodec_find_decoder_by_name(decoderName.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_AUDIO) return false;
    media::codec::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return false;
    ctx->pkt_timebase = AVRational{1, 90000};
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
    parser_ = av_parser_init(codec->id);
    if (!parser_) return false;
    packet_ = media::codec::makePacket();
    frame_ = media::codec::makeFrame();
    if (!packet_ || !frame_) {
        close();
        return false;
    }
    ctx_ = std::move(ctx);
    origin_ = origin;
    fifo_.reserve(2 * 48000 * kOutChannels);
    reset(origin);
    return true;
}

void StreamAudioDecoder::close() {
    if (parser_) av_parser_close(parser_);
    parser_ = nullptr;
    ctx_.reset();
    packet_.reset();
    frame_.reset();
    swr_free(&swr_);
    swrRate_ = 0;
    swrFormat_ = -1;
    swrChannels_ = 0;
    swrLayout_ = 0;
    rate_ = 0;
    fifo_.clear();
    head_ = 0;
    placed_ = false;
}

void StreamAudioDecoder::reset(int64_t from) {
    if (ctx_) avcodec_flush_buffers(ctx_.get());
    if (parser_) {
        // The parser keeps a half-collected frame; a fresh one starts clean.
        const int id = parser_->parser->codec_ids[0];
        av_parser_close(parser_);
        parser_ = av_parser_init(id);
    }
    fifo_.clear();
    head_ = 0;
    placed_ = false;
    cursorPts_ = from;
    cursor_ = rate_ > 0 ? toSample(from) : -1;
}

void StreamAudioDecoder::feed(const uint8_t* data, size_t size, int64_t pts) {
    if (!ctx_ || !parser_) return;
    int64_t stamp = pts >= 0 ? pts : AV_NOPTS_VALUE;
    while (size > 0) {
        uint8_t* out = nullptr;
        int outSize = 0;
        const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
        const int used = av_parser_parse2(parser_, ctx_.get(), &out, &outSize, data, chunk, stamp, AV_NOPTS_VALUE, 0);
        if (used < 0) return;
        data += used;
        size -= static_cast<size_t>(used);
        stamp = AV_NOPTS_VALUE;  // the stamp belongs to the frame that starts in these bytes only
        if (outSize > 0) decodePacket(out, outSize, parser_->pts);
        if (used == 0 && outSize == 0) break;
    }
}

void StreamAudioDecoder::finish() {
    if (!ctx_ || !parser_) return;
    uint8_t* out = nullptr;
    int outSize = 0;
    av_parser_parse2(parser_, ctx_.get(), &out, &outSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (outSize > 0) decodePacket(out, outSize, parser_->pts);
}

void StreamAudioDecoder::decodePacket(const uint8_t* data, int size, int64_t pts) {
    av_packet_unref(packet_.get());
    packet_->data = const_cast<uint8_t*>(data);
    packet_->size = size;
    packet_->pts = pts;
    const int err = avcodec_send_packet(ctx_.get(), packet_.get());
    packet_->data = nullptr;
    packet_->size = 0;
    if (err == AVERROR(EAGAIN)) {
        drain();
        avcodec_send_packet(ctx_.get(), packet_.get());
    }
    drain();
}

void StreamAudioDecoder::drain() {
    while (avcodec_receive_frame(ctx_.get(), frame_.get()) == 0) {
        AVFrame* f = frame_.get();
        if (f->nb_samples <= 0 || f->sample_rate <= 0 || (rate_ > 0 && f->sample_rate != rate_)) {
            av_frame_unref(f);
            continue;  // the output keeps the first rate
        }
        const uint64_t layout = f->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? f->ch_layout.u.mask : 0;
        if (!swr_ || swrRate_ != f->sample_rate || swrFormat_ != f->format || swrChannels_ != f->ch_layout.nb_channels ||
            swrLayout_ != layout) {
            swr_free(&swr_);
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_S16, f->sample_rate, &f->ch_layout,
                                    static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
                swr_init(swr_) < 0) {
                swr_free(&swr_);
                av_frame_unref(f);
                continue;
            }
            swrRate_ = f->sample_rate;
            swrFormat_ = f->format;
            swrChannels_ = f->ch_layout.nb_channels;
            swrLayout_ = layout;
        }
        if (rate_ == 0) {
            rate_ = f->sample_rate;
            cursor_ = toSample(cursorPts_);
        }
        const int64_t queued = static_cast<int64_t>(fifo_.size() - head_) / kOutChannels;
        const int64_t pts = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE) {
            const int64_t at = toSample(pts);
            const int64_t jump = at - (fifoStart_ + queued);
            if (placed_ && queued > 0 && jump > rate_ / 10 && jump <= 5 * static_cast<int64_t>(rate_)) {
                // A gap in the sound while some is still queued: silence keeps what follows in place.
                fifo_.resize(fifo_.size() + static_cast<size_t>(jump * kOutChannels), 0);
            } else if (!placed_ || std::llabs(jump) > rate_ / 10) {
                fifo_.clear();
                head_ = 0;
                fifoStart_ = at;
                placed_ = true;
            }
        } else if (!placed_) {
            fifoStart_ = cursor_;
            placed_ = true;
        }
        if (head_ > 0 && head_ >= fifo_.size() / 2) {
            fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
        const int room = swr_get_out_samples(swr_, f->nb_samples);
        const size_t at = fifo_.size();
        fifo_.resize(at + static_cast<size_t>(std::max(room, 0) * kOutChannels));
        uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(fifo_.data() + at)};
        const int got = swr_convert(swr_, dst, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        fifo_.resize(at + static_cast<size_t>(std::max(got, 0) * kOutChannels));
        av_frame_unref(f);
    }
}

void StreamAudioDecoder::dropFront(int64_t frames) {
    head_ += static_cast<size_t>(frames * kOutChannels);
    fifoStart_ += frames;
    if (head_ >= fifo_.size()) {
        fifo_.clear();
        head_ = 0;
    }
}

void StreamAudioDecoder::skip(int64_t until) {
    if (rate_ <= 0) {
        cursorPts_ = std::max(cursorPts_, until);
        return;
    }
    cursor_ = std::max(cursor_, toSample(until));
    cursorPts_ = origin_ + cursor_ * 90000 / rate_;
    const int64_t queued = static_cast<int64_t>(fifo_.size() - head_) / kOutChannels;
    if (placed_ && fifoStart_ < cursor_) dropFront(std::min(cursor_ - fifoStart_, queued));
}

void StreamAudioDecoder::take(int64_t until, AudioBlock& out) {
    out.frames = 0;
    out.channels = kOutChannels;
    out.sampleRate = rate_;
    if (rate_ <= 0) {
        if (until >= 0) cursorPts_ = std::max(cursorPts_, until);
        return;
    }
    out.startTime = cursor_ * 10000000 / rate_;
    const int64_t end = until >= 0 ? toSample(until) : INT64_MAX;
    const int64_t queued = static_cast<int64_t>(fifo_.size() - head_) / kOutChannels;
    if (queued == 0 || !placed_) {
        // Nothing decoded for this stretch yet: it is handed out with the next picture (or, once
        // later sound arrives, as silence before it).
        return;
    }
    if (fifoStart_ < cursor_) dropFront(std::min(cursor_ - fifoStart_, queued));
    const int64_t left = static_cast<int64_t>(fifo_.size() - head_) / kOutChannels;
    if (left == 0) return;
    const int64_t gap = std::max<int64_t>(0, std::min(fifoStart_, end) - cursor_);
    const int64_t fifoEnd = fifoStart_ + left;
    const int64_t copy = std::max<int64_t>(0, std::min(fifoEnd, end) - std::max(cursor_, fifoStart_));
    const int64_t total = gap + copy;
    if (total <= 0) return;
    const size_t need = static_cast<size_t>(total * kOutChannels);
    if (out.samples.size() < need) out.samples.resize(need);
    std::fill(out.samples.begin(), out.samples.begin() + static_cast<std::ptrdiff_t>(gap * kOutChannels), int16_t{0});
    if (copy > 0) {
        std::memcpy(out.samples.data() + gap * kOutChannels, fifo_.data() + head_,
                    static_cast<size_t>(copy * kOutChannels) * sizeof(int16_t));
        dropFront(copy);
    }
    out.frames = static_cast<int>(total);
    cursor_ += total;
    cursorPts_ = origin_ + cursor_ * 90000 / rate_;
}

}  // namespace zorv::playback
