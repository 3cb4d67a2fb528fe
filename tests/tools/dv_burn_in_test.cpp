// DV burn-in end to end: generated camcorder clips burnt in with the overlay layer, checked with
// ffprobe and by decoding the frames with libavcodec.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "gen/clip_writer.h"
#include "gen/file_bytes.h"
#include "media/codec/av_handles.h"
#include "media/dv_media_file.h"
#include "overlay/overlay_drawer.h"
#include "tools/burn_in.h"
#include "tools/burn_in_dv_segments.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace zorv::overlay {
namespace {

namespace fs = std::filesystem;
using media::codec::FramePtr;

fs::path tempDir() {
    static fs::path dir = [] {
        fs::path p = fs::temp_directory_path() / ("zorv_burn_test_" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

std::vector<uint8_t> readAll(const fs::path& p) { return zorv::gen::fileBytes<std::vector<uint8_t>>(p); }

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

// Decodes one DV frame to a yuv420p picture (PAL).
class DvDecoder {
public:
    DvDecoder() {
        const AVCodec* c = avcodec_find_decoder_by_name("dvvideo");
        ctx_.reset(avcodec_alloc_context3(c));
        avcodec_open2(ctx_.get(), c, nullptr);
        pkt_ = media::codec::makePacket();
    }
    FramePtr decode(const uint8_t* data, size_t size) {
        std::vector<uint8_t> buf(data, data + size);
        buf.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        pkt_->data = buf.data();
        pkt_->size = static_cast<int>(size);
        FramePtr f = media::codec::makeFrame();
        if (avcodec_send_packet(ctx_.get(), pkt_.get()) < 0 || avcodec_receive_frame(ctx_.get(), f.get()) < 0)
            return nullptr;
        return f;
    }

private:
    media::codec::CodecContextPtr ctx_;
    media::codec::PacketPtr pkt_;
};

// Luma PSNR over the rows outside [top, top + rows).
double psnrOutside(const AVFrame* a, const AVFrame* b, int top, int rows) {
    double sum = 0;
    int64_t count = 0;
    for (int y = 0; y < a->height; ++y) {
        if (y >= top && y < top + rows) continue;
        for (int x = 0; x < a->width; ++x) {
            const int d = a->data[0][y * a->linesize[0] + x] - b->data[0][y * b->linesize[0] + x];
            sum += d * d;
            ++count;
        }
    }
    const double mse = sum / static_cast<double>(count);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Writes a picture as PNG with libavcodec's PNG encoder.
bool writePng(const AVFrame* yuv, const fs::path& path) {
    FramePtr rgb = media::codec::makePicture(yuv->width, yuv->height, AV_PIX_FMT_RGB24);
    SwsContext* sws = sws_getContext(yuv->width, yuv->height, static_cast<AVPixelFormat>(yuv->format), yuv->width,
                                     yuv->height, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    sws_scale(sws, yuv->data, yuv->linesize, 0, yuv->height, rgb->data, rgb->linesize);
    sws_freeContext(sws);
    const AVCodec* c = avcodec_find_encoder_by_name("png");
    if (!c) return false;
    media::codec::CodecContextPtr ctx(avcodec_alloc_context3(c));
    ctx->width = yuv->width;
    ctx->height = yuv->height;
    ctx->pix_fmt = AV_PIX_FMT_RGB24;
    ctx->time_base = AVRational{1, 25};
    if (avcodec_open2(ctx.get(), c, nullptr) < 0) return false;
    auto pkt = media::codec::makePacket();
    if (avcodec_send_frame(ctx.get(), rgb.get()) < 0 || avcodec_receive_packet(ctx.get(), pkt.get()) < 0) return false;
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(pkt->data), pkt->size);
    return f.good();
}

OverlaySettings fixed90() {
    OverlaySettings s;
    s.positioning = core::TextPositioning::kFixed90;
    s.itemMask = 0x19FF7;  // the defaults plus File progress
    return s;
}

Band bandOf(const OverlaySettings& s, bool wide = false) {
    OverlayLayer layer(core::MediaFamily::kDv);
    layer.apply(s);
    layer.prepare(720, 576, PictureAspect{wide});
    return layer.band();
}

// Frame data positions of a DV AVI file.
std::vector<int64_t> framePositions(const fs::path& p) {
    media::DvMediaFile f;
    std::vector<int64_t> pos;
    if (!f.open(p.string())) return pos;
    for (int64_t n = 0; n < f.frameCount(); ++n) pos.push_back(f.frameDataPosition(n));
    return pos;
}

bool isVideoBlock(size_t offsetInFrame) {
    const size_t b = (offsetInFrame % 12000) / 80;
    return b >= 7 && (b - 6) % 16 != 0;
}

TEST(DvBurnIn, AllFramesToOutputKeepLayoutAudioAndPictureOutsideTheBand) {
    const std::string input = gen::cachedClip("burn_t2.avi", gen::palClip(30), gen::Container::Avi2);
    ASSERT_FALSE(input.empty());
    const fs::path output = tempDir() / "burn_t2-burn.avi";
    tools::BurnInSettings settings;
    settings.output = output.string();
    const OverlaySettings overlay = fixed90();
    tools::DvBurnInJob job(input, settings, overlayDrawerFactory(overlay, core::MediaFamily::kDv));
    ASSERT_TRUE(job.build().ok());
    EXPECT_EQ(job.progressText(), "Burning-in to Output File ...\n" + output.string());
    ASSERT_TRUE(job.start());
    const core::Status s = job.wait();
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ(job.framesDrawn(), 30);
    EXPECT_EQ(job.progress().percent(), 100);

    // ffprobe sees the same streams and frame count.
    EXPECT_EQ(run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=codec_name,nb_read_frames -of "
                  "csv=p=0 " +
                  output.string()),
              "dvvideo,30\n");
    EXPECT_NE(run("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + output.string()).find("audio"),
              std::string::npos);

    // Same layout: every byte outside the frames' video blocks is the input's.
    const auto a = readAll(input), b = readAll(output);
    ASSERT_EQ(a.size(), b.size());
    const auto positions = framePositions(input);
    ASSERT_EQ(positions.size(), 30u);
    std::vector<bool> video(a.size(), false);
    for (int64_t p : positions)
        for (size_t off = 0; off < 144000; off += 80)
            if (isVideoBlock(off))
                std::fill(video.begin() + p + static_cast<int64_t>(off), video.begin() + p + static_cast<int64_t>(off) + 80,
                          true);
    size_t outsideDiffs = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (!video[i] && a[i] != b[i]) ++outsideDiffs;
    EXPECT_EQ(outsideDiffs, 0u);

    // The video segments with no macroblock in the band keep their bytes; some in it were replaced.
    const Band band = bandOf(overlay);
    size_t keptSegments = 0, replacedSegments = 0;
    for (int64_t p : positions)
        for (int seg = 0; seg < tools::dvseg::segmentCount(true); ++seg) {
            bool reaches = false;
            for (const auto& r : tools::dvseg::segmentMacroblocks(true, seg))
                reaches |= r.overlapsRows(band.top - 1, band.rows + 2);
            const size_t off = static_cast<size_t>(p) + tools::dvseg::segmentOffset(seg);
            const bool same = std::equal(a.begin() + off, a.begin() + off + 400, b.begin() + off);
            if (!reaches) {
                EXPECT_TRUE(same) << "segment " << seg;
                ++keptSegments;
            } else if (!same) {
                ++replacedSegments;
            }
        }
    EXPECT_GT(keptSegments, 0u);
    EXPECT_GT(replacedSegments, 0u);

    // Every frame decodes; outside the band only re-encoding loss, inside it the text.
    DvDecoder decIn, decOut;
    for (size_t n = 0; n < positions.size(); ++n) {
        FramePtr fa = decIn.decode(a.data() + positions[n], 144000);
        FramePtr fb = decOut.decode(b.data() + positions[n], 144000);
        ASSERT_TRUE(fa && fb) << "frame " << n;
        EXPECT_GT(psnrOutside(fa.get(), fb.get(), band.top, band.rows), 40.0) << "frame " << n;
        EXPECT_LT(psnrOutside(fa.get(), fb.get(), 0, band.top), 99.0);  // the band did change
        if (n == 10) {
            EXPECT_TRUE(writePng(fb.get(), tempDir() / "burn-sample.png"));
            fs::create_directories(fs::path(ZORV_SOURCE_DIR) / "build");
            writePng(fb.get(), fs::path(ZORV_SOURCE_DIR) / "build" / "burn-sample.png");
        }
    }
}

TEST(DvBurnIn, MarkedRangeIntoTheInputFileTouchesOnlyThoseFrames) {
    const std::string source = gen::cachedClip("burn_t1.avi", gen::palClip(12), gen::Container::Avi1);
    ASSERT_FALSE(source.empty());
    const fs::path input = tempDir() / "inplace.avi";
    fs::copy_file(source, input, fs::copy_options::overwrite_existing);
    tools::BurnInSettings settings;
    settings.toInputFile = true;
    settings.firstFrame = 4;
    settings.lastFrame = 7;
    tools::DvBurnInJob job(input.string(), settings, overlayDrawerFactory(fixed90(), core::MediaFamily::kDv));
    ASSERT_TRUE(job.build().ok());
    EXPECT_EQ(job.progressText(), "Burning-in the input file ...\n" + input.string());
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait().ok());
    EXPECT_EQ(job.framesDrawn(), 4);
    const auto a = readAll(source), b = readAll(input);
    ASSERT_EQ(a.size(), b.size());
    const auto positions = framePositions(source);
    for (size_t n = 0; n < positions.size(); ++n) {
        const bool same = std::equal(a.begin() + positions[n], a.begin() + positions[n] + 144000, b.begin() + positions[n]);
        EXPECT_EQ(same, n < 4 || n > 7) << "frame " << n;
    }
    EXPECT_FALSE(fs::exists(tools::burnOutputName(input.string())));
}

TEST(DvBurnIn, SceneModeDrawsOnlyTheFirstFramesOfEachScene) {
    // Ten seconds with a recording-time cut at 5 s.
    const std::string input = gen::cachedClip("burn_scenes.avi", gen::sampleClip(), gen::Container::Avi2);
    ASSERT_FALSE(input.empty());
    tools::BurnInSettings settings;
    settings.mode = core::BurnMode::kSceneStarts;
    settings.duration = 1;
    settings.durationUnit = core::DurationUnit::kFrames;
    settings.output = (tempDir() / "scenes-burn.avi").string();
    tools::DvBurnInJob job(input, settings, overlayDrawerFactory(fixed90(), core::MediaFamily::kDv));
    ASSERT_TRUE(job.build().ok());
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait().ok());
    EXPECT_EQ(job.framesDrawn(), 2);
    const auto a = readAll(input), b = readAll(settings.output);
    ASSERT_EQ(a.size(), b.size());
    const auto positions = framePositions(input);
    int changed = 0;
    for (size_t n = 0; n < positions.size(); ++n)
        if (!std::equal(a.begin() + positions[n], a.begin() + positions[n] + 144000, b.begin() + positions[n])) {
            ++changed;
            EXPECT_TRUE(n == 0 || n == 125) << "frame " << n;
        }
    EXPECT_EQ(changed, 2);
}

TEST(DvBurnIn, RawDvAndMissingFilesAreRefused) {
    const std::string raw = gen::cachedClip("burn_raw.dv", gen::palClip(3), gen::Container::RawDv);
    tools::DvBurnInJob rawJob(raw, {}, overlayDrawerFactory(fixed90(), core::MediaFamily::kDv));
    EXPECT_FALSE(rawJob.build().ok());
    tools::DvBurnInJob missing((tempDir() / "nothing.avi").string(), {},
                               overlayDrawerFactory(fixed90(), core::MediaFamily::kDv));
    const core::Status s = missing.build();
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.message.rfind("Could not read file - ", 0), 0u);
    EXPECT_EQ(tools::burnOutputName("/a/b.c/clip.avi"), "/a/b.c/clip-burn.avi");
    EXPECT_EQ(tools::burnOutputName("/a/b.c/clip"), "/a/b.c/clip-burn.avi");
}

}  // namespace
}  // namespace zorv::overlay
