// The sound of HDV (MPEG-1 Layer II) and AVCHD (AC-3) streams through the player: a recording output
// takes what the player writes. The generator's streams carry a steady tone (HDV 1 kHz, AVCHD 440 Hz),
// so the written sound must be that tone, as long as the pictures played, dropped on a seek and
// restarted at the new place.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "gen/avchd_writer.h"
#include "gen/hdv_writer.h"
#include "playback/player.h"

namespace zorv::playback {
namespace {

using namespace std::chrono_literals;

struct SoundLog {
    std::mutex mutex;
    std::vector<int16_t> samples;  // everything written since the last flush
    int64_t framesTotal = 0;       // everything written
    int rate = 0, channels = 0;
    int flushes = 0;
};

class RecordingOutput final : public AudioOutput {
public:
    explicit RecordingOutput(std::shared_ptr<SoundLog> log) : log_(std::move(log)) {}
    bool open(int rate, int channels) override {
        std::lock_guard<std::mutex> lk(log_->mutex);
        log_->rate = rate;
        log_->channels = channels;
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool write(const int16_t* samples, int frames) override {
        std::lock_guard<std::mutex> lk(log_->mutex);
        log_->samples.insert(log_->samples.end(), samples, samples + frames * log_->channels);
        log_->framesTotal += frames;
        return true;
    }
    void flush() override {
        std::lock_guard<std::mutex> lk(log_->mutex);
        log_->samples.clear();
        ++log_->flushes;
    }
    int64_t latency() const override { return 0; }
    bool hasMixer() const override { return false; }
    const char* name() const override { return "recording"; }

private:
    std::shared_ptr<SoundLog> log_;
    bool open_ = false;
};

PlayerConfig recordingConfig(const std::shared_ptr<SoundLog>& log) {
    PlayerConfig c;
    c.audio = true;
    c.makeAudio = [log] { return std::make_unique<RecordingOutput>(log); };
    return c;
}

bool waitForComplete(Player& player, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    PlayerEvent ev;
    while (std::chrono::steady_clock::now() < end) {
        while (player.pollEvent(ev))
            if (ev.kind == PlayerEventKind::kComplete) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// The tone's frequency from the left channel's rising zero crossings; both channels must agree.
void expectTone(const SoundLog& log, double hz) {
    ASSERT_EQ(log.channels, 2);
    ASSERT_EQ(log.rate, 48000);
    const size_t frames = log.samples.size() / 2;
    ASSERT_GT(frames, 4800u);
    int64_t rising = 0;
    double energy = 0, sideEnergy = 0;
    for (size_t i = 1; i < frames; ++i) {
        const int16_t a = log.samples[2 * (i - 1)], b = log.samples[2 * i];
        if (a < 0 && b >= 0) ++rising;
        energy += static_cast<double>(b) * b;
        const double side = static_cast<double>(log.samples[2 * i]) - log.samples[2 * i + 1];
        sideEnergy += side * side;
    }
    const double seconds = static_cast<double>(frames) / log.rate;
    EXPECT_NEAR(rising / seconds, hz, hz * 0.02);
    EXPECT_GT(std::sqrt(energy / static_cast<double>(frames)), 1000.0) << "sound is (nearly) silent";
    // A centred tone: left and right the same but for the coding noise.
    EXPECT_LT(sideEnergy, 0.01 * energy) << "left and right differ";
}

// Written sound against pictures played: within half a picture of the expected length, so that one
// picture's sound more or less shows.
void expectLength(int64_t frames, int rate, int64_t pictures, int64_t pictureDuration) {
    const double seconds = static_cast<double>(frames) / rate;
    const double expected = static_cast<double>(pictures * pictureDuration) / 1e7;
    EXPECT_NEAR(seconds, expected, 0.5 * static_cast<double>(pictureDuration) / 1e7)
        << frames << " sample frames for " << pictures << " pictures";
}

class PlayerSoundTest : public ::testing::TestWithParam<core::MediaFamily> {
protected:
    void SetUp() override {
        if (GetParam() == core::MediaFamily::kHdv) {
            gen::HdvSpec desc;
            desc.frames = 75;  // 3 s
            path_ = gen::cachedHdv("player-sound.m2t", desc);
            pictures_ = desc.frames;
            toneHz_ = 1000;
        } else {
            gen::AvchdSpec desc;
            desc.frames = 250;
            desc.width = 640;
            desc.height = 352;
            desc.gps = gen::GpsMode::None;
            path_ = gen::cachedAvchd("player-sound.m2ts", desc);
            pictures_ = desc.frames;
            toneHz_ = 440;
        }
        ASSERT_FALSE(path_.empty());
        ASSERT_TRUE(player_.open(path_, recordingConfig(log_)).ok()) << player_.lastError();
        ASSERT_EQ(player_.pictureCount(), pictures_);
    }
    std::string path_;
    int64_t pictures_ = 0;
    double toneHz_ = 0;
    std::shared_ptr<SoundLog> log_ = std::make_shared<SoundLog>();
    Player player_;
};

TEST_P(PlayerSoundTest, PlayingToTheEndWritesTheToneForEveryPicture) {
    const int64_t from = pictures_ - 60;  // about 2.4 s
    ASSERT_TRUE(player_.setPictureIndex(from).ok());
    ASSERT_TRUE(player_.run().ok());
    ASSERT_TRUE(waitForComplete(player_, 30s));
    std::lock_guard<std::mutex> lk(log_->mutex);
    expectTone(*log_, toneHz_);
    // The run starts with the sound of the picture on screen, then plays the pictures after it.
    // Pictures dropped on a busy machine still have their sound written.
    expectLength(log_->framesTotal, log_->rate, pictures_ - from, player_.pictureDuration());
}

TEST_P(PlayerSoundTest, SoundKeepsStepWithThePicturesAndRestartsAfterASeek) {
    ASSERT_TRUE(player_.run().ok());
    std::this_thread::sleep_for(1200ms);
    ASSERT_TRUE(player_.pause().ok());
    int64_t shown = player_.pictureIndex();
    {
        std::lock_guard<std::mutex> lk(log_->mutex);
        // Sound is written from the first picture on, just ahead of each picture: up to and
        // including the one after the picture shown.
        const double ahead = static_cast<double>(log_->framesTotal) / log_->rate -
                             static_cast<double>((shown + 1) * player_.pictureDuration()) / 1e7;
        EXPECT_GE(ahead, -0.5 * player_.pictureDuration() / 1e7);
        EXPECT_LE(ahead, 1.5 * player_.pictureDuration() / 1e7);
        EXPECT_GE(log_->flushes, 1);  // the pause dropped what was queued
    }

    // A seek while running drops the queued sound and goes on from the new picture.
    ASSERT_TRUE(player_.run().ok());
    std::this_thread::sleep_for(300ms);
    const int64_t target = pictures_ - 40;
    ASSERT_TRUE(player_.setPictureIndex(target).ok());
    ASSERT_TRUE(waitForComplete(player_, 30s));
    std::lock_guard<std::mutex> lk(log_->mutex);
    expectLength(static_cast<int64_t>(log_->samples.size()) / 2, log_->rate, pictures_ - target, player_.pictureDuration());
    expectTone(*log_, toneHz_);
}

TEST_P(PlayerSoundTest, SilentConfigurationWritesNothing) {
    Player quiet;
    PlayerConfig c = recordingConfig(log_);
    c.audio = false;
    c.makeAudio = nullptr;
    c.audioBackend = AudioBackendKind::kNull;
    ASSERT_TRUE(quiet.open(path_, c).ok());
    ASSERT_TRUE(quiet.setPictureIndex(pictures_ - 10).ok());
    ASSERT_TRUE(quiet.run().ok());
    ASSERT_TRUE(waitForComplete(quiet, 10s));
    EXPECT_STREQ(quiet.audio().name(), "none");
    std::lock_guard<std::mutex> lk(log_->mutex);
    EXPECT_EQ(log_->framesTotal, 0);
}

INSTANTIATE_TEST_SUITE_P(Families, PlayerSoundTest, ::testing::Values(core::MediaFamily::kHdv, core::MediaFamily::kAvchd),
                         [](const auto& info) { return info.param == core::MediaFamily::kHdv ? "Hdv" : "Avchd"; });

}  // namespace
}  // namespace zorv::playback
