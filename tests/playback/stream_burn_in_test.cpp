// HDV/AVCHD burn-in runs: the watch that gives up on a decoder that never delivers, lost pictures
// and decoders whose pictures the layer cannot take.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "playback/overlay_drawer.h"
#include "tools/stream_burn_in.h"

namespace zorv::playback {
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

OverlaySettings settings() {
    OverlaySettings s;
    s.itemMask = 0x19FF7;
    return s;
}

TEST(StreamBurnIn, DecoderThatNeverDeliversTimesOutAndLeavesNoOutput) {
    const fs::path out = tempFile("silent-burn.avi");
    int pictures = 0, changed = 0;
    tools::StreamBurnInJob job(tools::StreamFamily::kHdv, out.string(), std::make_unique<SilentDecoder>(),
                               std::make_unique<FileSink>(&pictures, &changed),
                               overlayDrawerFactory(settings(), LayerFamily::Hdv));
    job.setWatch(std::chrono::milliseconds(10), 50);
    ASSERT_TRUE(job.start());
    const core::Status s = job.wait();
    EXPECT_EQ(job.outcome(), tools::BurnOutcome::kTimedOut);
    EXPECT_EQ(s.message, tools::kBurnInTimedOutHdv);
    EXPECT_EQ(job.message(true), tools::kBatchTimedOutHdv);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(pictures, 0);

    tools::StreamBurnInJob avc(tools::StreamFamily::kAvchd, out.string(), std::make_unique<SilentDecoder>(),
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
    tools::StreamBurnInJob job(tools::StreamFamily::kAvchd, out.string(),
                               std::make_unique<ListDecoder>(640, 360, std::vector<int64_t>{0, 400000, 200000, 800000, 100}),
                               std::make_unique<FileSink>(&pictures, &changed),
                               overlayDrawerFactory(settings(), LayerFamily::Avchd));
    job.setWatch(std::chrono::milliseconds(10), 50);
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait().ok());
    EXPECT_EQ(job.outcome(), tools::BurnOutcome::kComplete);
    EXPECT_EQ(job.lostPictures(), 2);
    EXPECT_EQ(pictures, 3);
    EXPECT_GT(changed, 3 * 20);  // the text rows of every written picture
    EXPECT_EQ(job.message(),
              "Burn-in complete.\r\n\r\nWarning: 2 frames lost due to 3rd party decoder delivering out-of-sequence timestamps.");
    EXPECT_EQ(job.message(true), "WARNING: 2 frames lost due to 3rd party decoder delivering out-of-sequence timestamps");
    EXPECT_TRUE(fs::exists(out));
}

TEST(StreamBurnIn, HdvPicturesOfAnotherSizeMarkTheDecoderIncompatible) {
    const fs::path out = tempFile("wrong-size-burn.avi");
    int pictures = 0, changed = 0;
    tools::StreamBurnInJob job(tools::StreamFamily::kHdv, out.string(),
                               std::make_unique<ListDecoder>(1920, 1080, std::vector<int64_t>{0, 400000}),
                               std::make_unique<FileSink>(&pictures, &changed),
                               overlayDrawerFactory(settings(), LayerFamily::Hdv));
    job.setDecoder("MPEG-2 video", "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    ASSERT_TRUE(job.start());
    EXPECT_FALSE(job.wait().ok());
    EXPECT_EQ(job.outcome(), tools::BurnOutcome::kIncompatible);
    EXPECT_EQ(job.message(), "3rd party MPEG-2 Decoder filter is not compatible with the burn-in tool:\r\n\r\nName:\tMPEG-2 "
                             "video\r\nGUID:\t{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(pictures, 0);
}

}  // namespace
}  // namespace zorv::playback
