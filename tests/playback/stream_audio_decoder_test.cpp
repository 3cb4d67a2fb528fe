// How the player places decoded stream sound on the pictures' time line: real MPEG-1 Layer II frames
// (libavcodec's encoder, a 1 kHz tone, 1152 samples = 2160 ticks each) fed with their time stamps and
// handed out picture by picture.
#include <gtest/gtest.h>

#include <cmath>

#include "playback/picture_source.h"
#include "playback/stream_audio_decoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace zorv::playback {
namespace {

constexpr int64_t kOrigin = 54000;       // 90 kHz time of the first picture
constexpr int64_t kFrameTicks = 2160;    // one Layer II frame at 48 kHz
constexpr int64_t kPictureTicks = 3600;  // 25 pictures/s

std::vector<std::vector<uint8_t>> encodeTone(int count) {
    std::vector<std::vector<uint8_t>> out;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!codec) return out;
    media::codec::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->sample_rate = 48000;
    ctx->sample_fmt = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->bit_rate = 384000;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return out;
    media::codec::FramePtr frame = media::codec::makeFrame();
    frame->nb_samples = ctx->frame_size;
    frame->format = ctx->sample_fmt;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    av_frame_get_buffer(frame.get(), 0);
    media::codec::PacketPtr pkt = media::codec::makePacket();
    int64_t sample = 0;
    auto drain = [&] {
        while (avcodec_receive_packet(ctx.get(), pkt.get()) == 0) {
            out.emplace_back(pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt.get());
        }
    };
    for (int n = 0; n < count + 2; ++n) {
        av_frame_make_writable(frame.get());
        auto* s = reinterpret_cast<int16_t*>(frame->data[0]);
        for (int i = 0; i < frame->nb_samples; ++i, ++sample)
            s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000.0 * sample / 48000.0));
        frame->pts = n * frame->nb_samples;
        avcodec_send_frame(ctx.get(), frame.get());
        drain();
    }
    avcodec_send_frame(ctx.get(), nullptr);
    drain();
    out.resize(static_cast<size_t>(count));
    return out;
}

class StreamAudioDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        frames_ = encodeTone(60);
        ASSERT_EQ(frames_.size(), 60u);
        ASSERT_TRUE(decoder_.open("mp2", kOrigin));
    }
    // Feeds frames [first, last) as one PES each, the first at time start.
    void feed(int first, int last, int64_t start) {
        for (int n = first; n < last; ++n)
            decoder_.feed(frames_[static_cast<size_t>(n)].data(), frames_[static_cast<size_t>(n)].size(),
                          start + (n - first) * kFrameTicks);
    }
    // Hands out pictures [first, last) and gathers the left channel; the start of each block must
    // follow the previous one.
    std::vector<int16_t> takePictures(int first, int last) {
        std::vector<int16_t> left;
        AudioBlock block;
        for (int p = first; p < last; ++p) {
            decoder_.take(kOrigin + (p + 1) * kPictureTicks, block);
            if (block.frames == 0) continue;
            EXPECT_EQ(block.sampleRate, 48000);
            EXPECT_EQ(block.channels, 2);
            if (next_ >= 0) {
                EXPECT_EQ(block.startTime, next_) << "picture " << p;
            }
            next_ = block.startTime + static_cast<int64_t>(block.frames) * 10000000 / 48000;
            for (int i = 0; i < block.frames; ++i) left.push_back(block.samples[static_cast<size_t>(2 * i)]);
        }
        return left;
    }
    std::vector<std::vector<uint8_t>> frames_;
    StreamAudioDecoder decoder_;
    int64_t next_ = -1;
};

size_t leadingSilence(const std::vector<int16_t>& s) {
    size_t n = 0;
    while (n < s.size() && s[n] == 0) ++n;
    return n;
}

TEST_F(StreamAudioDecoderTest, PicturesGetTheirOwnShareOfSteadySound) {
    feed(0, 60, kOrigin);  // 60 x 1152 samples = 1.44 s = 36 pictures
    const std::vector<int16_t> left = takePictures(0, 30);
    // 30 pictures of 1920 samples each, the first beginning at the first picture's time.
    EXPECT_EQ(left.size(), 30u * 1920u);
    AudioBlock block;
    decoder_.take(kOrigin + 31 * kPictureTicks, block);
    EXPECT_EQ(block.frames, 1920);
    EXPECT_EQ(block.startTime, 30 * 400000);
    decoder_.finish();
    decoder_.take(-1, block);  // the rest
    EXPECT_EQ(block.frames, 60 * 1152 - 31 * 1920);
}

TEST_F(StreamAudioDecoderTest, SoundThatStartsLateIsPrecededBySilence) {
    feed(0, 40, kOrigin + 18000);  // 200 ms (9600 samples) after the first picture
    const std::vector<int16_t> left = takePictures(0, 20);
    EXPECT_EQ(left.size(), 20u * 1920u);
    const size_t silent = leadingSilence(left);
    EXPECT_GE(silent, 9600u - 50u);
    EXPECT_LE(silent, 9600u + 200u);  // the encoder's own start-up delay may add a little
}

TEST_F(StreamAudioDecoderTest, AJumpRestartsAtTheNewTimeAndASeekDropsWhatWentBefore) {
    feed(0, 20, kOrigin);
    // The stream jumps 0.5 s ahead: the gap is silence, the sound after it keeps its own time.
    feed(20, 40, kOrigin + 20 * kFrameTicks + 45000);
    std::vector<int16_t> left = takePictures(0, 30);
    ASSERT_EQ(left.size(), 30u * 1920u);
    const size_t gapStart = 20 * 1152;
    for (size_t i = gapStart + 200; i < gapStart + 24000 - 200; i += 97) ASSERT_EQ(left[i], 0) << i;
    EXPECT_NE(left[gapStart + 24000 + 600], 0);

    // A seek to picture 10: sound fed from 1 s before is dropped up to the picture's start.
    decoder_.reset(kOrigin + 10 * kPictureTicks);
    next_ = -1;
    feed(0, 40, kOrigin - 10 * kFrameTicks);
    AudioBlock block;
    decoder_.take(kOrigin + 11 * kPictureTicks, block);
    EXPECT_EQ(block.startTime, 10 * 400000);
    EXPECT_EQ(block.frames, 1920);
    // Passing pictures without sound moves the hand-out point on with them.
    decoder_.skip(kOrigin + 15 * kPictureTicks);
    decoder_.take(kOrigin + 16 * kPictureTicks, block);
    EXPECT_EQ(block.startTime, 15 * 400000);
    EXPECT_EQ(block.frames, 1920);
}

}  // namespace
}  // namespace zorv::playback
