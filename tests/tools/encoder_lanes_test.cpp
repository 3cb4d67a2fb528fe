// Frame-parallel ffv1 encoding: packets come back in picture order, and (ffv1 being lossless) each one
// decodes to exactly the picture given at its place, whether filled into a slot or lent by reference.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tools/avi_picture_sink_lanes.h"

namespace zorv::tools {
namespace {

void paint(AVFrame* f, int n) {
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? f->height / 2 : f->height); ++y)
            for (int x = 0; x < (p ? f->width / 2 : f->width); ++x)
                f->data[p][y * f->linesize[p] + x] = static_cast<uint8_t>(n * 37 + x * (p + 1) + y * 3);
}

TEST(EncoderLanes, PacketsComeBackInPictureOrderAndDecodeToTheirPictures) {
    const AVCodec* codec = avcodec_find_encoder_by_name("ffv1");
    ASSERT_NE(codec, nullptr);
    media::codec::CodecContextPtr model(avcodec_alloc_context3(codec));
    model->width = 64;
    model->height = 48;
    model->pix_fmt = AV_PIX_FMT_YUV420P;
    model->time_base = AVRational{1, 25};
    model->framerate = AVRational{25, 1};
    model->gop_size = 1;
    auto lanes = std::make_unique<EncoderLanes>();
    ASSERT_TRUE(lanes->open(codec, *model, 2).ok());

    std::vector<std::vector<uint8_t>> packets;
    const EncoderLanes::PacketOut out = [&](const uint8_t* d, size_t n, bool key) {
        EXPECT_TRUE(key);
        packets.emplace_back(d, d + n);
        return core::Status::success();
    };
    constexpr int kPictures = 23;  // not a multiple of the ring
    // Every third picture is lent by reference instead of filled into a slot.
    std::vector<media::codec::FramePtr> lent;
    for (int n = 0; n < kPictures; ++n) {
        if (n % 3 == 1) {
            lent.push_back(media::codec::makePicture(64, 48, AV_PIX_FMT_YUV420P));
            paint(lent.back().get(), n);
            ASSERT_TRUE(lanes->submitRef(lent.back().get(), out).ok());
            continue;
        }
        AVFrame* f = nullptr;
        ASSERT_TRUE(lanes->nextFrame(f, out).ok());
        paint(f, n);
        lanes->submit();
    }
    ASSERT_TRUE(lanes->flush(out).ok());
    ASSERT_EQ(packets.size(), static_cast<size_t>(kPictures));

    const AVCodec* dc = avcodec_find_decoder_by_name("ffv1");
    media::codec::CodecContextPtr dec(avcodec_alloc_context3(dc));
    dec->width = 64;
    dec->height = 48;
    ASSERT_GE(avcodec_open2(dec.get(), dc, nullptr), 0);
    media::codec::FramePtr want = media::codec::makePicture(64, 48, AV_PIX_FMT_YUV420P);
    media::codec::FramePtr got = media::codec::makeFrame();
    media::codec::PacketPtr pkt = media::codec::makePacket();
    for (int n = 0; n < kPictures; ++n) {
        std::vector<uint8_t> buf = packets[static_cast<size_t>(n)];
        buf.resize(buf.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        pkt->data = buf.data();
        pkt->size = static_cast<int>(packets[static_cast<size_t>(n)].size());
        ASSERT_GE(avcodec_send_packet(dec.get(), pkt.get()), 0);
        ASSERT_GE(avcodec_receive_frame(dec.get(), got.get()), 0);
        paint(want.get(), n);
        for (int y = 0; y < 48; ++y)
            ASSERT_EQ(0, std::memcmp(got->data[0] + y * got->linesize[0], want->data[0] + y * want->linesize[0], 64))
                << "picture " << n << " row " << y;
        av_frame_unref(got.get());
    }
    // The lent pictures are given back: nothing holds their buffers once the lanes are gone.
    lanes.reset();
    for (const auto& f : lent) EXPECT_TRUE(av_frame_is_writable(f.get()));
}

}  // namespace
}  // namespace zorv::tools
