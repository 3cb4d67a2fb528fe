// The sound outputs: the null output has no mixer and swallows samples; volume and mute scale what a
// real output writes.
#include <gtest/gtest.h>

#include "playback/audio_output.h"

namespace zorv::playback {
namespace {

class GainProbe : public AudioOutput {
public:
    bool open(int, int) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    bool write(const int16_t* s, int frames) override {
        last.assign(s, s + frames * 2);
        applyGain(last.data(), frames * 2);
        return true;
    }
    void flush() override {}
    int64_t latency() const override { return 0; }
    bool hasMixer() const override { return true; }
    const char* name() const override { return "probe"; }
    std::vector<int16_t> last;
};

TEST(AudioOutput, NullOutputHasNoMixerAndTakesEverything) {
    auto out = makeAudioOutput(AudioBackendKind::kNull);
    ASSERT_TRUE(out);
    EXPECT_FALSE(out->hasMixer());
    EXPECT_STREQ(out->name(), "none");
    EXPECT_TRUE(out->open(48000, 2));
    const int16_t s[4] = {1, 2, 3, 4};
    EXPECT_TRUE(out->write(s, 2));
    EXPECT_EQ(out->latency(), 0);
    EXPECT_TRUE(makeAudioOutput(AudioBackendKind::kAuto));  // whatever the machine has, never null
}

TEST(AudioOutput, VolumeAndMuteScaleTheSamples) {
    GainProbe p;
    const int16_t s[4] = {1000, -1000, 32767, -32768};
    p.write(s, 2);
    EXPECT_EQ(p.last, (std::vector<int16_t>{1000, -1000, 32767, -32768}));
    p.setVolume(50);
    p.write(s, 2);
    EXPECT_EQ(p.last, (std::vector<int16_t>{500, -500, 16383, -16384}));
    p.setVolume(250);
    EXPECT_EQ(p.volume(), 100);
    p.setMute(true);
    p.write(s, 2);
    EXPECT_EQ(p.last, (std::vector<int16_t>{0, 0, 0, 0}));
    p.setMute(false);
    p.setVolume(-5);
    p.write(s, 2);
    EXPECT_EQ(p.last, (std::vector<int16_t>{0, 0, 0, 0}));
}

}  // namespace
}  // namespace zorv::playback
