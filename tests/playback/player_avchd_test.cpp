// The player engine on generated AVCHD files (real H.264 with per-picture MDPM tags and a moving GPS
// track): every shown picture carries its own tags, after steps, seeks and playback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "gen/avchd_writer.h"
#include "playback/map_request.h"
#include "playback/player.h"
#include "player_test_support.h"

namespace zorv::playback {
namespace {

using namespace std::chrono_literals;

using testing::silent;
using testing::waitPast;

gen::AvchdSpec trackSpec() {
    gen::AvchdSpec s;
    s.frames = 250;  // enough bytes for the file to be recognised
    s.width = 640;
    s.height = 352;
    s.gps = gen::GpsMode::Track;
    s.gopSize = 12;
    return s;
}

// The map position the generator's GPS fix of picture n gives.
std::string writtenPosition(const gen::AvchdSpec& desc, int64_t n) {
    const gen::GpsFix f = gen::avchdGpsFix(desc, n);
    double lat = f.latDeg + f.latMin / 60.0 + f.latSecX100 / 360000.0;
    double lon = f.lonDeg + f.lonMin / 60.0 + f.lonSecX100 / 360000.0;
    if (f.latRef == 'S') lat = -lat;
    if (f.lonRef == 'W') lon = -lon;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5f,%.5f", lat, lon);
    return buf;
}

class PlayerAvchdTest : public ::testing::Test {
protected:
    void SetUp() override {
        spec_ = trackSpec();
        path_ = gen::cachedAvchd("player-track.m2ts", spec_, &written_);
        ASSERT_FALSE(path_.empty());
        ASSERT_TRUE(player_.open(path_, silent()).ok()) << player_.lastError();
    }
    void expectOwnTags(int64_t n) {
        ShownPicture pic;
        ASSERT_TRUE(player_.currentPicture(pic));
        EXPECT_EQ(pic.index, n);
        ASSERT_TRUE(pic.hasMetadata) << "picture " << n;
        EXPECT_EQ(pic.pts, written_.pictures[static_cast<size_t>(n)].pts - spec_.ptsBase);
        auto pos = mapPosition(pic.record);
        ASSERT_TRUE(pos);
        EXPECT_EQ(*pos, writtenPosition(spec_, n)) << "picture " << n;
        EXPECT_EQ(player_.mapPosition(), pos);
    }
    gen::AvchdSpec spec_;
    gen::AvchdWritten written_;
    std::string path_;
    Player player_;
};

TEST_F(PlayerAvchdTest, OpensOnTheFirstPictureWithItsTags) {
    EXPECT_EQ(player_.family(), core::MediaFamily::kAvchd);
    EXPECT_EQ(player_.pictureDuration(), 400000);
    EXPECT_EQ(player_.pictureCount(), 250);
    EXPECT_TRUE(player_.hasGeotagging());
    ShownPicture pic;
    ASSERT_TRUE(player_.currentPicture(pic));
    EXPECT_EQ(pic.width, 640);
    EXPECT_EQ(pic.height, 352);
    EXPECT_EQ(pic.windowKind, core::BurnGrid::kAvchdGps);
    EXPECT_EQ(pic.pictureType, 0);
    expectOwnTags(0);
}

// Steps go through whole groups of pictures (B pictures included) and seeks land inside a group:
// the decoder must be fed every access unit even while it holds pictures back.
TEST_F(PlayerAvchdTest, StepsAndSeeksShowThatPictureAndItsTags) {
    for (int64_t n : {1, 2, 3, 13}) {
        ASSERT_TRUE(player_.stepPictures(n == 13 ? 10 : 1).ok());
        expectOwnTags(n);
    }
    for (int64_t n : {40, 5, 249, 24, 23, 0, 137}) {
        ASSERT_TRUE(player_.setPictureIndex(n).ok()) << player_.lastError();
        expectOwnTags(n);
    }
    ASSERT_TRUE(player_.setPosition(-5).ok());
    expectOwnTags(0);
    ASSERT_TRUE(player_.setPosition(player_.duration() + 1).ok());
    expectOwnTags(249);
}

TEST_F(PlayerAvchdTest, IFrameStepsLandOnKeyPictures) {
    ASSERT_TRUE(player_.setPictureIndex(3).ok());
    ASSERT_TRUE(player_.stepIFrame(+1).ok());
    ShownPicture pic;
    ASSERT_TRUE(player_.currentPicture(pic));
    EXPECT_EQ(pic.index, 12);
    EXPECT_TRUE(pic.keyFrame || pic.pictureType == 0);
    expectOwnTags(12);
    ASSERT_TRUE(player_.stepIFrame(-1).ok());
    EXPECT_EQ(player_.pictureIndex(), 0);
}

TEST_F(PlayerAvchdTest, PlaysToTheEndWithEachPicturesTags) {
    ASSERT_TRUE(player_.setPictureIndex(238).ok());
    ASSERT_TRUE(player_.run().ok());
    PlayerEvent ev;
    bool complete = false;
    ShownPicture pic;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!complete && std::chrono::steady_clock::now() < end) {
        if (player_.currentPicture(pic) && pic.hasMetadata) {
            auto pos = mapPosition(pic.record);
            ASSERT_TRUE(pos);
            EXPECT_EQ(*pos, writtenPosition(spec_, pic.index));
        }
        while (player_.pollEvent(ev)) complete = complete || ev.kind == PlayerEventKind::kComplete;
        std::this_thread::sleep_for(3ms);
    }
    ASSERT_TRUE(complete);
    expectOwnTags(249);
}

// Pause holds the shown picture with its own tags; a seek while running plays on from the target;
// stop returns to the first picture.
TEST_F(PlayerAvchdTest, PauseHoldsThePictureAndASeekWhileRunningPlaysOn) {
    ASSERT_TRUE(player_.setPictureIndex(100).ok());
    const int64_t from = player_.pictureIndex();
    ASSERT_TRUE(player_.run().ok());
    ASSERT_TRUE(waitPast(player_, from + 2));
    ASSERT_TRUE(player_.pause().ok());
    EXPECT_EQ(player_.state(), PlayerState::kPaused);
    const int64_t held = player_.pictureIndex();
    EXPECT_GT(held, 100);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(player_.pictureIndex(), held);
    expectOwnTags(held);

    ASSERT_TRUE(player_.run().ok());
    ASSERT_TRUE(player_.setPictureIndex(200).ok());
    ASSERT_TRUE(waitPast(player_, 200));
    ASSERT_TRUE(player_.pause().ok());
    EXPECT_GT(player_.pictureIndex(), 200);
    expectOwnTags(player_.pictureIndex());

    ASSERT_TRUE(player_.stop().ok());
    EXPECT_EQ(player_.state(), PlayerState::kStopped);
    expectOwnTags(0);
}

}  // namespace
}  // namespace zorv::playback
