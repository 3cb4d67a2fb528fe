// The player engine on generated DV clips, without a display and with the null sound output: opening
// each DV container, the position rules, exact stepping, play/pause, scenes and the shown picture's
// own metadata.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/dv_decode.h"
#include "core/decoded_values.h"
#include "gen/clip_writer.h"
#include "playback/player.h"

namespace zorv::playback {
namespace {

using namespace std::chrono_literals;

PlayerConfig silent() {
    PlayerConfig c;
    c.audioBackend = AudioBackendKind::kNull;
    return c;
}

gen::Timecode shownTimecode(const ShownPicture& pic) {
    core::DecodedValues v;
    core::decodeRecord(pic.record, v);
    return gen::Timecode{v.tcHours, v.tcMinutes, v.tcSeconds, v.tcFrames};
}

// The timecode the generator wrote into frame n.
gen::Timecode writtenTimecode(const gen::ClipSpec& desc, int64_t n) { return gen::frameMeta(desc, n).tc; }

// Waits until the player shows a picture with a serial above `after`.
bool waitForPicture(const Player& player, int64_t after, std::chrono::milliseconds limit = 5000ms) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (player.pictureSerial() > after) return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

struct DvCase {
    const char* name;
    gen::System system;
    gen::Container container;
};

class PlayerDvTest : public ::testing::TestWithParam<DvCase> {
protected:
    void SetUp() override {
        const DvCase& c = GetParam();
        spec_ = c.system == gen::System::Pal ? gen::palClip(60) : gen::ntscClip(60, true);
        // A timecode jump at frame 30 makes the pictures' own timecodes easy to tell apart.
        spec_.runs.push_back(gen::Run{30, gen::Timecode{1, 2, 3, 4}, 1, std::nullopt});
        path_ = gen::cachedClip(std::string("player-") + c.name, spec_, c.container);
        ASSERT_FALSE(path_.empty());
    }
    gen::ClipSpec spec_;
    std::string path_;
};

TEST_P(PlayerDvTest, OpensPausedOnTheFirstPictureWithItsMetadata) {
    Player player;
    ASSERT_TRUE(player.open(path_, silent()).ok()) << player.lastError();
    EXPECT_EQ(player.family(), core::MediaFamily::kDv);
    EXPECT_EQ(player.state(), PlayerState::kPaused);
    EXPECT_EQ(player.pictureCount(), 60);
    const int64_t dur = spec_.pal() ? 400000 : 333667;
    EXPECT_EQ(player.pictureDuration(), dur);
    EXPECT_EQ(player.duration(), 60 * dur);

    ShownPicture pic;
    ASSERT_TRUE(player.currentPicture(pic));
    EXPECT_EQ(pic.index, 0);
    EXPECT_EQ(pic.width, 720);
    EXPECT_EQ(pic.height, spec_.pal() ? 576 : 480);
    EXPECT_EQ(pic.stride, 720 * 3);
    EXPECT_EQ(pic.rgb.size(), static_cast<size_t>(pic.stride) * pic.height);
    EXPECT_TRUE(pic.hasMetadata);
    EXPECT_EQ(pic.windowKind, core::BurnGrid::kDv);
    EXPECT_EQ(pic.timecodeStyle, spec_.pal() ? 2 : 4);
    EXPECT_EQ(shownTimecode(pic), writtenTimecode(spec_, 0));
}

TEST_P(PlayerDvTest, StepShowsExactlyThatFrameAndItsMetadata) {
    Player player;
    ASSERT_TRUE(player.open(path_, silent()).ok()) << player.lastError();
    ShownPicture pic;
    struct Step {
        int64_t from, n;
    };
    for (Step s : {Step{0, 1}, Step{5, 24}, Step{29, 1}, Step{40, -13}, Step{31, -2}, Step{10, 37}}) {
        ASSERT_TRUE(player.setPictureIndex(s.from).ok());
        ASSERT_TRUE(player.stepPictures(s.n).ok());
        ASSERT_TRUE(player.currentPicture(pic));
        const int64_t want = s.from + s.n;
        EXPECT_EQ(pic.index, want);
        EXPECT_EQ(player.pictureIndex(), want);
        EXPECT_EQ(pic.time, want * player.pictureDuration());
        EXPECT_EQ(shownTimecode(pic), writtenTimecode(spec_, want)) << "from " << s.from << " by " << s.n;
        core::MetadataRecord rec;
        ASSERT_TRUE(player.currentMetadata(rec));
        EXPECT_EQ(rec.packs, pic.record.packs);
    }
    // Steps past either end stop at the first and the last picture.
    ASSERT_TRUE(player.stepPictures(-1000).ok());
    EXPECT_EQ(player.pictureIndex(), 0);
    ASSERT_TRUE(player.stepPictures(1000).ok());
    EXPECT_EQ(player.pictureIndex(), 59);
}

TEST_P(PlayerDvTest, SetPositionFollowsThePositionRules) {
    Player player;
    ASSERT_TRUE(player.open(path_, silent()).ok());
    const int64_t dur = player.pictureDuration();
    struct Case {
        int64_t time, index;
    };
    for (Case c : {Case{-1, 0}, Case{-50000000, 0}, Case{0, 0}, Case{dur - 1, 0}, Case{dur, 1}, Case{7 * dur + dur / 2, 7},
                   Case{59 * dur, 59}, Case{60 * dur - 1, 59}, Case{60 * dur, 59}, Case{1000 * dur, 59}}) {
        ASSERT_TRUE(player.setPosition(c.time).ok());
        EXPECT_EQ(player.pictureIndex(), c.index) << "t = " << c.time;
        EXPECT_EQ(player.position(), c.index * dur);
        ShownPicture pic;
        ASSERT_TRUE(player.currentPicture(pic));
        EXPECT_EQ(shownTimecode(pic), writtenTimecode(spec_, c.index));
    }
    // One-second steps are the window's: 25 or 29.97 pictures on.
    ASSERT_TRUE(player.setPictureIndex(0).ok());
    ASSERT_TRUE(player.stepTime(10000000).ok());
    EXPECT_EQ(player.pictureIndex(), spec_.pal() ? 25 : 29);
    ASSERT_TRUE(player.stepIFrame(-1).ok());
    EXPECT_EQ(player.pictureIndex(), 0);
}

TEST_P(PlayerDvTest, PlaysInRealTimeToTheEndAndReportsComplete) {
    Player player;
    ASSERT_TRUE(player.open(path_, silent()).ok());
    std::atomic<int> pictures{0};
    player.setPictureCallback([&] { ++pictures; });
    ASSERT_TRUE(player.setPictureIndex(45).ok());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.run().ok());
    EXPECT_EQ(player.state(), PlayerState::kRunning);

    PlayerEvent ev;
    bool complete = false;
    while (!complete && std::chrono::steady_clock::now() - start < 10s) {
        while (player.pollEvent(ev)) complete = complete || ev.kind == PlayerEventKind::kComplete;
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(complete);
    const auto took = std::chrono::steady_clock::now() - start;
    // Fourteen pictures after the first: at least their duration of wall time.
    EXPECT_GE(took, std::chrono::microseconds(14 * player.pictureDuration() / 10 - 20000));
    EXPECT_EQ(player.state(), PlayerState::kPaused);
    EXPECT_EQ(player.pictureIndex(), 59);
    ShownPicture pic;
    ASSERT_TRUE(player.currentPicture(pic));
    EXPECT_EQ(shownTimecode(pic), writtenTimecode(spec_, 59));
    EXPECT_EQ(player.shownPictures() + player.droppedPictures(), 1 + 1 + 14);  // open, seek, playback
    EXPECT_GE(pictures.load(), 1);
}

TEST_P(PlayerDvTest, PauseHoldsThePictureAndSeeksWhileRunningKeepGoing) {
    Player player;
    ASSERT_TRUE(player.open(path_, silent()).ok());
    ASSERT_TRUE(player.run().ok());
    ASSERT_TRUE(waitForPicture(player, player.pictureSerial() + 2));
    ASSERT_TRUE(player.pause().ok());
    EXPECT_EQ(player.state(), PlayerState::kPaused);
    const int64_t held = player.pictureIndex();
    EXPECT_GT(held, 0);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(player.pictureIndex(), held);
    PlayerEvent ev;
    bool paused = false;
    while (player.pollEvent(ev)) paused = paused || ev.kind == PlayerEventKind::kPaused;
    EXPECT_TRUE(paused);

    // A seek while running shows the target at once and plays on from it.
    ASSERT_TRUE(player.run().ok());
    ASSERT_TRUE(player.setPictureIndex(30).ok());
    const int64_t serial = player.pictureSerial();
    ASSERT_TRUE(waitForPicture(player, serial));
    ASSERT_TRUE(player.pause().ok());
    ShownPicture pic;
    ASSERT_TRUE(player.currentPicture(pic));
    EXPECT_GT(pic.index, 30);
    EXPECT_EQ(shownTimecode(pic), writtenTimecode(spec_, pic.index));

    ASSERT_TRUE(player.stop().ok());
    EXPECT_EQ(player.state(), PlayerState::kStopped);
    EXPECT_EQ(player.pictureIndex(), 0);
}

INSTANTIATE_TEST_SUITE_P(Containers, PlayerDvTest,
                         ::testing::Values(DvCase{"pal-raw", gen::System::Pal, gen::Container::RawDv},
                                           DvCase{"pal-avi1", gen::System::Pal, gen::Container::Avi1},
                                           DvCase{"pal-avi2", gen::System::Pal, gen::Container::Avi2},
                                           DvCase{"ntsc-avi1", gen::System::Ntsc, gen::Container::Avi1}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (auto& ch : n)
                                 if (ch == '-') ch = '_';
                             return n;
                         });

TEST(PlayerDvScenes, NextAndPreviousSceneAfterTheScan) {
    const gen::ClipSpec desc = gen::sampleClip();
    const std::string path = gen::cachedClip("player-sample", desc, gen::Container::Avi1);
    ASSERT_FALSE(path.empty());
    Player player;
    ASSERT_TRUE(player.open(path, silent()).ok());
    bool moved = true;
    ASSERT_TRUE(player.nextScene(moved).ok());
    EXPECT_FALSE(moved);  // nothing before the scan
    EXPECT_FALSE(player.scenesScanned());
    ASSERT_TRUE(player.scanScenes().ok());
    EXPECT_TRUE(player.scenesScanned());
    const auto starts = player.sceneStarts();
    EXPECT_EQ(starts, (std::vector<int64_t>{125}));  // the cut at 5 s

    ASSERT_TRUE(player.nextScene(moved).ok());
    ASSERT_TRUE(moved);
    EXPECT_EQ(player.pictureIndex(), 125);
    ShownPicture pic;
    ASSERT_TRUE(player.currentPicture(pic));
    EXPECT_EQ(shownTimecode(pic), (gen::Timecode{0, 10, 0, 0}));
    // Past the last scene start: the last picture, and there it stays.
    ASSERT_TRUE(player.nextScene(moved).ok());
    EXPECT_TRUE(moved);
    EXPECT_EQ(player.pictureIndex(), 249);
    ASSERT_TRUE(player.nextScene(moved).ok());
    EXPECT_FALSE(moved);
    ASSERT_TRUE(player.setPictureIndex(145).ok());
    ASSERT_TRUE(player.previousScene(moved).ok());
    ASSERT_TRUE(moved);
    EXPECT_EQ(player.pictureIndex(), 125);
}

TEST(PlayerOpen, RefusalsAndFailuresCarryTheirTexts) {
    Player player;
    core::Status st = player.open("/nonexistent/clip.avi", silent());
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.message, "Unable to open the requested file:\r\n\r\n/nonexistent/clip.avi");
    EXPECT_EQ(player.lastError(), st.message);
    EXPECT_EQ(player.state(), PlayerState::kClosed);

    const std::string junk = ::testing::TempDir() + "/player-junk.bin";
    {
        std::ofstream out(junk, std::ios::binary);
        for (int i = 0; i < 300000; ++i) out.put(static_cast<char>(i * 7));
    }
    st = player.open(junk, silent());
    EXPECT_EQ(st.message, "File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format:\r\n\r\n" + junk);
    EXPECT_LE(player.lastError().size(), 128u);
    EXPECT_FALSE(player.run().ok());
    EXPECT_FALSE(player.setPosition(0).ok());
    EXPECT_EQ(player.lastError(), "Could not set position");
    std::remove(junk.c_str());
}

}  // namespace
}  // namespace zorv::playback
