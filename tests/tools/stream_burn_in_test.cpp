// HDV/AVCHD burn-in runs: the watch that gives up on a decoder that never delivers, lost pictures
// and decoders whose pictures the layer cannot take.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "overlay/overlay_drawer.h"
#include "media/codec/av_handles.h"
#include "media/output_file.h"
#include "tools/stream_burn_in.h"

namespace zorv::overlay {
namespace {

namespace fs = std::filesystem;
using tools::PictureSource;

fs::path tempFile(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("zorv_stream_burn_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir / name;
}

// A decoder that accepts everything and never delivers a picture.
class SilentDecoder : public PictureSource {
public:
    Result next(tools::DecodedPicture&) override { return Result::kNothingYet; }
    int64_t duration() const override { return 10'000'000; }
};

// A decoder delivering grey pictures at the given start times.
class ListDecoder : public PictureSource {
public:
    ListDecoder(int w, int h, std::vector<int64_t> times)
        : w_(w), h_(h), times_(std::move(times)), bytes_(static_cast<size_t>(core::RgbPicture::strideFor(w)) * h) {
        rec_.set(0x13, 0x04, 0x03, 0x02, 0x01);
        rec_.set(0x62, 0xFF, 0x15, 0x06, 0x11);
        rec_.set(0x63, 0xFF, 0x00, 0x30, 0x10);
    }
    Result next(tools::DecodedPicture& out) override {
        if (i_ >= times_.size()) return Result::kEnd;
        std::fill(bytes_.begin(), bytes_.end(), 100);
        out.picture = core::RgbPicture{bytes_.data(), w_, h_, core::RgbPicture::strideFor(w_), 0, h_};
        out.start = times_[i_++];
        out.info.record = &rec_;
        out.info.pts = out.start * 9 / 1000;
        return Result::kPicture;
    }
    int64_t duration() const override { return times_.empty() ? 0 : times_.back(); }

private:
    int w_, h_;
    std::vector<int64_t> times_;
    std::vector<uint8_t> bytes_;
    core::MetadataRecord rec_;
    size_t i_ = 0;
};

// Writes each picture's bytes to a file and remembers what it saw.
class FileSink : public tools::PictureSink {
public:
    explicit FileSink(int* pictures, int* changed) : pictures_(pictures), changed_(changed) {}
    core::Status open(const std::string& path) override {
        f_.open(path, std::ios::binary);
        return f_ ? core::Status::success() : core::Status::failure(core::ErrorCode::kOpenFailed);
    }
    core::Status write(const core::RgbPicture& p, int64_t) override {
        ++*pictures_;
        for (int y = 0; y < p.rowCount; ++y) {
            const uint8_t* row = p.row(p.firstRow + y);
            f_.write(reinterpret_cast<const char*>(row), p.width * 3);
            for (int x = 0; x < p.width * 3; ++x)
                if (row[x] != 100) {
                    ++*changed_;
                    break;
                }
        }
        return core::Status::success();
    }
    core::Status close() override {
        f_.close();
        return core::Status::success();
    }

private:
    std::ofstream f_;
    int* pictures_;
    int* changed_;
};

// An output begun at path, as the burn-in factory hands it to the job.
media::OutputFile outputAt(const fs::path& path) {
    media::OutputFile out;
    EXPECT_TRUE(out.begin(path.string(), {}).ok()) << path;
    return out;
}

OverlaySettings settings() {
    OverlaySettings s;
    s.itemMask = 0x19FF7;
    return s;
}

TEST(StreamBurnIn, DecoderThatNeverDeliversTimesOutAndLeavesNoOutput) {
    const fs::path out = tempFile("silent-burn.avi");
    int pictures = 0, changed = 0;
    tools::StreamBurnInJob job(core::MediaFamily::kHdv, outputAt(out), std::make_unique<SilentDecoder>(),
                               std::make_unique<FileSink>(&pictures, &changed),
                               overlayDrawerFactory(settings(), core::MediaFamily::kHdv));
    job.setWatch(std::chrono::milliseconds(10), 50);
    ASSERT_TRUE(job.start());
    const core::Status s = job.wait();
    EXPECT_EQ(job.outcome(), tools::BurnOutcome::kTimedOut);
    EXPECT_EQ(s.message, tools::kBurnInTimedOutHdv);
    EXPECT_EQ(job.message(true), tools::kBatchTimedOutHdv);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(pictures, 0);

    tools::StreamBurnInJob avc(core::MediaFamily::kAvchd, outputAt(out), std::make_unique<SilentDecoder>(),
                               std::make_unique<FileSink>(&pictures, &changed), nullptr);
    avc.setWatch(std::chrono::milliseconds(5), 50);
    ASSERT_TRUE(avc.start());
    EXPECT_EQ(avc.wait().message, tools::kBurnInTimedOutAvchd);
    EXPECT_EQ(avc.message(true), tools::kBatchTimedOutAvchd);
    EXPECT_FALSE(fs::exists(out));
}

TEST(StreamBurnIn, PicturesRunningBackwardsAreCountedAsLost) {
    const fs::path out = tempFile("lost-burn.avi");
    int pictures = 0, changed = 0;
    tools::StreamBurnInJob job(core::MediaFamily::kAvchd, outputAt(out),
                               std::make_unique<ListDecoder>(640, 360, std::vector<int64_t>{0, 400000, 200000, 800000, 100}),
                               std::make_unique<FileSink>(&pictures, &changed),
                               overlayDrawerFactory(settings(), core::MediaFamily::kAvchd));
    job.setWatch(std::chrono::milliseconds(10), 50);
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait().ok());
    EXPECT_EQ(job.outcome(), tools::BurnOutcome::kComplete);
    EXPECT_EQ(job.lostPictures(), 2);
    EXPECT_EQ(pictures, 3);
    EXPECT_GT(changed, 3 * 20);  // the text rows of every written picture
    EXPECT_EQ(
        job.message(),
        "Burn-in complete.\r\n\r\nWarning: 2 frames lost due to 3rd party decoder delivering out-of-sequence timestamps.");
    EXPECT_EQ(job.message(true), "WARNING: 2 frames lost due to 3rd party decoder delivering out-of-sequence timestamps");
    EXPECT_TRUE(fs::exists(out));
}

TEST(StreamBurnIn, HdvPicturesOfAnotherSizeMarkTheDecoderIncompatible) {
    const fs::path out = tempFile("wrong-size-burn.avi");
    int pictures = 0, changed = 0;
    tools::StreamBurnInJob job(
        core::MediaFamily::kHdv, outputAt(out), std::make_unique<ListDecoder>(1920, 1080, std::vector<int64_t>{0, 400000}),
        std::make_unique<FileSink>(&pictures, &changed), overlayDrawerFactory(settings(), core::MediaFamily::kHdv));
    job.setDecoder("MPEG-2 video", "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    ASSERT_TRUE(job.start());
    EXPECT_FALSE(job.wait().ok());
    EXPECT_EQ(job.outcome(), tools::BurnOutcome::kIncompatible);
    EXPECT_EQ(job.message(),
              "3rd party MPEG-2 Decoder filter is not compatible with the burn-in tool:\r\n\r\nName:\tMPEG-2 "
              "video\r\nGUID:\t{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(pictures, 0);
}

}  // namespace
}  // namespace zorv::overlay

namespace zorv::overlay {
namespace {

// Delivers YUV frames; every other one stays referenced by the "decoder" (as a reference picture
// would), so the job must not draw on it in place.
class FrameDecoder : public PictureSource {
public:
    explicit FrameDecoder(int count) {
        rec_.set(0x13, 0x04, 0x03, 0x02, 0x01);
        for (int i = 0; i < count; ++i) {
            media::codec::FramePtr f = media::codec::makePicture(1920, 1080, AV_PIX_FMT_YUV420P);
            for (int p = 0; p < 3; ++p)
                std::memset(f->data[p], 60 + 10 * p + i, static_cast<size_t>(f->linesize[p]) * (p ? 540 : 1080));
            frames_.push_back(std::move(f));
        }
    }
    bool deliverFrames() override { return true; }
    Result next(tools::DecodedPicture& out) override {
        if (i_ >= frames_.size()) return Result::kEnd;
        av_frame_unref(handed_.get());
        av_frame_ref(handed_.get(), frames_[i_].get());
        if (i_ % 2 == 0) av_frame_unref(frames_[i_].get());  // let go: the job's alone
        out.frame = handed_.get();
        out.picture = core::RgbPicture{nullptr, 1920, 1080, 0, 0, 0};
        out.start = static_cast<int64_t>(++i_) * 400'000;
        out.info.record = &rec_;
        return Result::kPicture;
    }
    int64_t duration() const override { return static_cast<int64_t>(frames_.size()) * 400'000; }
    // The frames still held: untouched by the job.
    const std::vector<media::codec::FramePtr>& held() const { return frames_; }

private:
    std::vector<media::codec::FramePtr> frames_;
    media::codec::FramePtr handed_ = media::codec::makeFrame();
    core::MetadataRecord rec_;
    size_t i_ = 0;
};

// Takes frames by reference or through its own frame and keeps a copy of each.
class FrameSink : public tools::PictureSink {
public:
    std::vector<media::codec::FramePtr> got;
    int byRef = 0;
    core::Status open(const std::string&) override { return core::Status::success(); }
    core::Status write(const core::RgbPicture&, int64_t) override {
        return core::Status::failure(core::ErrorCode::kWriteFailed);
    }
    core::Status close() override { return core::Status::success(); }
    bool takesFrames() const override { return true; }
    core::Status frameToFill(int w, int h, int format, AVFrame*& frame) override {
        fill_ = media::codec::makePicture(w, h, static_cast<AVPixelFormat>(format));
        frame = fill_.get();
        return core::Status::success();
    }
    core::Status submitFrame(int64_t) override {
        got.push_back(std::move(fill_));
        return core::Status::success();
    }
    core::Status submitFrameRef(AVFrame* frame, int64_t) override {
        ++byRef;
        got.push_back(media::codec::makePicture(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format)));
        av_frame_copy(got.back().get(), frame);
        return core::Status::success();
    }

private:
    media::codec::FramePtr fill_;
};

TEST(StreamBurnIn, DrawsInPlaceOnlyOnFramesTheDecoderLetGoOf) {
    auto source = std::make_unique<FrameDecoder>(6);
    auto sink = std::make_unique<FrameSink>();
    FrameDecoder* src = source.get();
    FrameSink* out = sink.get();
    tools::StreamBurnInJob job(core::MediaFamily::kAvchd, outputAt(tempFile("frames.avi")), std::move(source),
                               std::move(sink), overlayDrawerFactory(settings(), core::MediaFamily::kAvchd));
    job.setWatch(std::chrono::milliseconds(200), 0);
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait().ok());
    ASSERT_EQ(out->got.size(), 6u);
    EXPECT_EQ(out->byRef, 3);
    for (size_t i = 0; i < 6; ++i) {
        const AVFrame* f = out->got[i].get();
        // Drawn: some luma row of the foot of the picture is no longer flat.
        bool drawn = false;
        for (int y = 700; y < 1080 && !drawn; ++y)
            for (int x = 0; x < 1920 && !drawn; ++x) drawn = f->data[0][y * f->linesize[0] + x] != 60 + static_cast<int>(i);
        EXPECT_TRUE(drawn) << "picture " << i;
        EXPECT_EQ(f->data[0][0], 60 + static_cast<int>(i)) << "picture " << i;  // in order
        if (i % 2 == 0) continue;
        const AVFrame* kept = src->held()[i].get();
        for (int y = 0; y < 1080; ++y)
            for (int x = 0; x < 1920; ++x)
                ASSERT_EQ(kept->data[0][y * kept->linesize[0] + x], 60 + static_cast<int>(i))
                    << "held picture " << i << " drawn on";
    }
}

}  // namespace
}  // namespace zorv::overlay
