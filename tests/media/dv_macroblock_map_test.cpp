// The picture area of each video DIF block, checked against libavcodec's DV decoder: a frame of one
// grey level with a single block taken from a frame of another level decodes to a picture that
// differs from the first exactly in that block's area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "core/dv_layout.h"
#include "core/dv_macroblock_map.h"
#include "media/codec/dv_encoder.h"

namespace zorv::core::dv {
namespace {

using media::codec::FramePtr;

std::vector<uint8_t> flatFrame(media::codec::DvEncoder& enc, uint8_t luma) {
    FramePtr pic = enc.makeInputPicture();
    EXPECT_GE(av_frame_make_writable(pic.get()), 0);
    for (int p = 0; p < 3; ++p) {
        const int rows = p == 0 || enc.pixelFormat() == AV_PIX_FMT_YUV411P ? pic->height : pic->height / 2;
        for (int y = 0; y < rows; ++y)
            std::memset(pic->data[p] + static_cast<ptrdiff_t>(y) * pic->linesize[p], p == 0 ? luma : 128,
                        static_cast<size_t>(pic->linesize[p]));
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(enc.encode(pic.get(), out).ok());
    return out;
}

// The luma plane of a decoded DV frame, row after row.
class LumaDecoder {
public:
    LumaDecoder() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVVIDEO);
        ctx_ = avcodec_alloc_context3(codec);
        ok_ = codec && ctx_ && avcodec_open2(ctx_, codec, nullptr) == 0;
        pkt_ = av_packet_alloc();
        frame_ = av_frame_alloc();
    }
    ~LumaDecoder() {
        av_frame_free(&frame_);
        av_packet_free(&pkt_);
        avcodec_free_context(&ctx_);
    }
    bool decode(std::vector<uint8_t>& bytes, std::vector<uint8_t>& luma, int& width, int& height) {
        if (!ok_ || av_new_packet(pkt_, static_cast<int>(bytes.size())) < 0) return false;
        std::memcpy(pkt_->data, bytes.data(), bytes.size());
        const bool sent = avcodec_send_packet(ctx_, pkt_) == 0;
        av_packet_unref(pkt_);
        if (!sent || avcodec_receive_frame(ctx_, frame_) != 0) return false;
        width = frame_->width;
        height = frame_->height;
        luma.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            std::memcpy(luma.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                        frame_->data[0] + static_cast<ptrdiff_t>(y) * frame_->linesize[0], static_cast<size_t>(width));
        av_frame_unref(frame_);
        return true;
    }

private:
    AVCodecContext* ctx_ = nullptr;
    AVPacket* pkt_ = nullptr;
    AVFrame* frame_ = nullptr;
    bool ok_ = false;
};

TEST(DvMacroblockMap, EveryBlockLandsWhereLibavcodecDrawsIt) {
    for (bool pal : {true, false}) {
        SCOPED_TRACE(pal ? "625/50" : "525/60");
        media::codec::DvEncoder enc;
        ASSERT_TRUE(enc.open(pal).ok());
        const std::vector<uint8_t> light = flatFrame(enc, 200), dark = flatFrame(enc, 40);
        ASSERT_EQ(light.size(), enc.frameSize());
        LumaDecoder dec;
        std::vector<uint8_t> ref, got, frame;
        int w = 0, h = 0;
        frame = light;
        ASSERT_TRUE(dec.decode(frame, ref, w, h));
        ASSERT_EQ(w, kPictureWidth);
        ASSERT_EQ(h, pictureHeight(pal));

        const int sequences = sequenceCount(light.size());
        // Every block of a stride through the frame: all five positions in a segment, all sequences,
        // the 525/60 half columns and right-edge macroblocks among them.
        for (int i = 0; i < sequences * kVideoBlocksPerSequence; i += 7) {
            const int s = i / kVideoBlocksPerSequence, v = i % kVideoBlocksPerSequence;
            const size_t off = kSequenceSize * static_cast<size_t>(s) + videoBlockIndex(v) * kDifBlockSize;
            frame = light;
            std::copy(dark.begin() + static_cast<ptrdiff_t>(off + 3), dark.begin() + static_cast<ptrdiff_t>(off + 80),
                      frame.begin() + static_cast<ptrdiff_t>(off + 3));
            ASSERT_TRUE(dec.decode(frame, got, w, h));
            int x0 = w, y0 = h, x1 = -1, y1 = -1;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (got[static_cast<size_t>(y * w + x)] != ref[static_cast<size_t>(y * w + x)]) {
                        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
                    }
            const PictureArea a = videoBlockArea(pal, s, v);
            EXPECT_EQ(x0, a.x) << "sequence " << s << " block " << v;
            EXPECT_EQ(y0, a.y) << "sequence " << s << " block " << v;
            EXPECT_EQ(x1 - x0 + 1, a.width) << "sequence " << s << " block " << v;
            EXPECT_EQ(y1 - y0 + 1, a.height) << "sequence " << s << " block " << v;
        }
    }
}

TEST(DvMacroblockMap, AreasTileThePicture) {
    for (bool pal : {true, false}) {
        std::vector<int> cover(static_cast<size_t>(kPictureWidth * pictureHeight(pal)), 0);
        for (int s = 0; s < (pal ? 12 : 10); ++s)
            for (int v = 0; v < kVideoBlocksPerSequence; ++v) {
                const PictureArea a = videoBlockArea(pal, s, v);
                for (int y = a.y; y < a.y + a.height; ++y)
                    for (int x = a.x; x < a.x + a.width; ++x) ++cover[static_cast<size_t>(y * kPictureWidth + x)];
            }
        EXPECT_TRUE(std::all_of(cover.begin(), cover.end(), [](int c) { return c == 1; })) << pal;
    }
}

}  // namespace
}  // namespace zorv::core::dv
