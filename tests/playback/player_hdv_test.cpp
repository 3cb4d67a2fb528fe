// The player engine on generated 1080-line HDV streams (real MPEG-2 with a camcorder aux packet per
// picture): every shown picture carries its own timecode and frame type, after steps, seeks and
// playback, and a picture written without aux data shows none.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "gen/hdv_writer.h"
#include "playback/player.h"
#include "player_test_support.h"

namespace zorv::playback {
namespace {

using namespace std::chrono_literals;

using testing::silent;
using testing::waitPast;

class PlayerHdvTest : public ::testing::Test {
protected:
    void SetUp() override {
        spec_.frames = 36;
        spec_.tc = {0, 1, 2, 3};
        spec_.dropAux = {17};
        path_ = gen::cachedHdv("player-hdv.m2t", spec_, &written_);
        ASSERT_FALSE(path_.empty());
        for (const gen::HdvPicture& p : written_.pictures) byDisplay_[p.display] = p;
        ASSERT_TRUE(player_.open(path_, silent()).ok()) << player_.lastError();
    }
    void expectOwnMetadata(int64_t n) {
        ShownPicture pic;
        ASSERT_TRUE(player_.currentPicture(pic));
        EXPECT_EQ(pic.index, n);
        EXPECT_EQ(pic.width, 1440);
        EXPECT_EQ(pic.height, 1080);
        EXPECT_EQ(pic.windowKind, core::BurnGrid::kHdv);
        const gen::HdvPicture& w = byDisplay_[n];
        EXPECT_EQ(pic.pts, w.pts - spec_.ptsBase) << "picture " << n;
        if (!w.aux) {
            EXPECT_FALSE(pic.hasMetadata) << "picture " << n;
            return;
        }
        ASSERT_TRUE(pic.hasMetadata) << "picture " << n;
        EXPECT_EQ(pic.hdvTimecodeFrames, w.tcFrames) << "picture " << n;
        EXPECT_EQ(pic.frameType, w.pictureCode == 1 ? 'I' : w.pictureCode == 2 ? 'B' : 'P') << "picture " << n;
    }
    gen::HdvSpec spec_;
    gen::HdvWritten written_;
    std::map<int64_t, gen::HdvPicture> byDisplay_;
    std::string path_;
    Player player_;
};

TEST_F(PlayerHdvTest, OpensOnTheFirstPictureWithItsMetadata) {
    EXPECT_EQ(player_.family(), core::MediaFamily::kHdv);
    EXPECT_EQ(player_.pictureDuration(), 400000);
    EXPECT_EQ(player_.pictureCount(), spec_.frames);
    EXPECT_FALSE(player_.hasGeotagging());
    expectOwnMetadata(0);
}

TEST_F(PlayerHdvTest, StepsAndSeeksShowThatPictureAndItsMetadata) {
    for (int64_t n = 1; n <= 14; ++n) {
        ASSERT_TRUE(player_.stepPictures(1).ok());
        expectOwnMetadata(n);
    }
    for (int64_t n : {30, 5, 35, 17, 12, 11, 0, 23}) {
        ASSERT_TRUE(player_.setPictureIndex(n).ok()) << player_.lastError();
        expectOwnMetadata(n);
    }
    ASSERT_TRUE(player_.setPosition(player_.duration() + 1).ok());
    expectOwnMetadata(spec_.frames - 1);
}

TEST_F(PlayerHdvTest, IFrameStepsLandOnGroupStarts) {
    ASSERT_TRUE(player_.setPictureIndex(3).ok());
    ASSERT_TRUE(player_.stepIFrame(+1).ok());
    ShownPicture pic;
    ASSERT_TRUE(player_.currentPicture(pic));
    EXPECT_EQ(pic.frameType, 'I');
    EXPECT_GT(pic.index, 3);
    expectOwnMetadata(pic.index);
    ASSERT_TRUE(player_.stepIFrame(-1).ok());
    EXPECT_EQ(player_.pictureIndex(), 0);
}

TEST_F(PlayerHdvTest, PlaysToTheEndWithEachPicturesMetadata) {
    ASSERT_TRUE(player_.setPictureIndex(24).ok());
    ASSERT_TRUE(player_.run().ok());
    PlayerEvent ev;
    bool complete = false;
    ShownPicture pic;
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!complete && std::chrono::steady_clock::now() < end) {
        if (player_.currentPicture(pic) && pic.hasMetadata) {
            EXPECT_EQ(pic.hdvTimecodeFrames, byDisplay_[pic.index].tcFrames) << "picture " << pic.index;
        }
        while (player_.pollEvent(ev)) complete = complete || ev.kind == PlayerEventKind::kComplete;
        std::this_thread::sleep_for(3ms);
    }
    ASSERT_TRUE(complete);
    expectOwnMetadata(spec_.frames - 1);
}

// Pause holds the shown picture with its own aux data; a seek while running plays on from the target;
// stop returns to the first picture.
TEST_F(PlayerHdvTest, PauseHoldsThePictureAndASeekWhileRunningPlaysOn) {
    const int64_t from = player_.pictureIndex();
    ASSERT_TRUE(player_.run().ok());
    ASSERT_TRUE(waitPast(player_, from + 2));
    ASSERT_TRUE(player_.pause().ok());
    EXPECT_EQ(player_.state(), PlayerState::kPaused);
    const int64_t held = player_.pictureIndex();
    EXPECT_GT(held, 0);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(player_.pictureIndex(), held);
    expectOwnMetadata(held);

    ASSERT_TRUE(player_.run().ok());
    ASSERT_TRUE(player_.setPictureIndex(20).ok());
    ASSERT_TRUE(waitPast(player_, 20));
    ASSERT_TRUE(player_.pause().ok());
    EXPECT_GT(player_.pictureIndex(), 20);
    expectOwnMetadata(player_.pictureIndex());

    ASSERT_TRUE(player_.stop().ok());
    EXPECT_EQ(player_.state(), PlayerState::kStopped);
    expectOwnMetadata(0);
}

TEST_F(PlayerHdvTest, ADecoderThatGivesNoPictureIsNamed) {
    // The H.264 decoder finds no picture in MPEG-2 video.
    PlayerConfig config = silent();
    config.mpeg2Decoder = "h264";
    Player other;
    EXPECT_FALSE(other.open(path_, config).ok());
    EXPECT_EQ(other.lastError().rfind("No picture of this file could be decoded by ", 0), 0u) << other.lastError();
    EXPECT_NE(other.lastError().find("H.264"), std::string::npos) << other.lastError();
}

}  // namespace
}  // namespace zorv::playback
