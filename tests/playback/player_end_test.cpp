// The end of HDV and AVCHD streams: the pictures the decoder holds back until the stream ends must
// come out, and the picture count must include the last picture shown even when it was coded well
// before the end of the file (an H.264 P picture followed by its B pictures at a high bit rate).
// Stepping or playing to the end shows every picture the generator wrote, each once.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "gen/avchd_writer.h"
#include "gen/hdv_writer.h"
#include "playback/player.h"
#include "player_test_support.h"

namespace zorv::playback {
namespace {

using namespace std::chrono_literals;

using testing::silent;

struct Stream {
    std::string path;
    std::set<int64_t> writtenPts;  // relative to the first picture
};

Stream hdvStream() {
    gen::HdvSpec desc;
    desc.frames = 40;
    gen::HdvWritten written;
    Stream s;
    s.path = gen::cachedHdv("player-end.m2t", desc, &written);
    for (const gen::HdvPicture& p : written.pictures) s.writtenPts.insert(p.pts - desc.ptsBase);
    return s;
}

Stream avchdStream() {
    gen::AvchdSpec desc;
    desc.frames = 78;  // ends on a half group: the last picture shown is coded 260 packets before the end
    desc.width = 1920;
    desc.height = 1080;
    desc.videoBitRate = 12000000;
    desc.gps = gen::GpsMode::None;
    gen::AvchdWritten written;
    Stream s;
    s.path = gen::cachedAvchd("player-end-1080.m2ts", desc, &written);
    for (const gen::AvchdPicture& p : written.pictures) s.writtenPts.insert(p.pts - desc.ptsBase);
    return s;
}

class PlayerEndTest : public ::testing::TestWithParam<core::MediaFamily> {
protected:
    void SetUp() override {
        stream_ = GetParam() == core::MediaFamily::kHdv ? hdvStream() : avchdStream();
        ASSERT_FALSE(stream_.path.empty());
        ASSERT_TRUE(player_.open(stream_.path, silent()).ok()) << player_.lastError();
    }
    Stream stream_;
    Player player_;
};

TEST_P(PlayerEndTest, SteppingToTheEndShowsEveryPictureOnce) {
    ASSERT_EQ(player_.pictureCount(), static_cast<int64_t>(stream_.writtenPts.size()));
    std::set<int64_t> seen;
    ShownPicture pic;
    for (;;) {
        ASSERT_TRUE(player_.currentPicture(pic));
        EXPECT_TRUE(seen.insert(pic.pts).second) << "picture " << pic.index << " shown twice";
        if (pic.index + 1 >= player_.pictureCount()) break;
        ASSERT_TRUE(player_.stepPictures(1).ok()) << player_.lastError();
    }
    EXPECT_EQ(seen, stream_.writtenPts);
    // A step past the end stays on the last picture.
    ASSERT_TRUE(player_.stepPictures(1).ok());
    EXPECT_EQ(player_.pictureIndex(), player_.pictureCount() - 1);
}

TEST_P(PlayerEndTest, PlayingToTheEndShowsEveryPicture) {
    std::mutex mutex;
    std::set<int64_t> seen;
    ShownPicture first;
    ASSERT_TRUE(player_.currentPicture(first));
    seen.insert(first.pts);
    player_.setPictureCallback([&] {
        ShownPicture pic;
        if (!player_.currentPicture(pic)) return;
        std::lock_guard<std::mutex> lk(mutex);
        seen.insert(pic.pts);
    });
    ASSERT_TRUE(player_.run().ok());
    bool complete = false;
    PlayerEvent ev;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (!complete && std::chrono::steady_clock::now() < end) {
        while (player_.pollEvent(ev)) complete = complete || ev.kind == PlayerEventKind::kComplete;
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(complete);
    player_.setPictureCallback(nullptr);
    std::lock_guard<std::mutex> lk(mutex);
    EXPECT_EQ(static_cast<int64_t>(seen.size()) + player_.droppedPictures(),
              static_cast<int64_t>(stream_.writtenPts.size()));
    EXPECT_TRUE(seen.count(*stream_.writtenPts.rbegin())) << "the last picture was not shown";
    EXPECT_EQ(player_.pictureIndex(), player_.pictureCount() - 1);
}

INSTANTIATE_TEST_SUITE_P(Families, PlayerEndTest, ::testing::Values(core::MediaFamily::kHdv, core::MediaFamily::kAvchd),
                         [](const auto& info) { return info.param == core::MediaFamily::kHdv ? "Hdv" : "Avchd"; });

}  // namespace
}  // namespace zorv::playback
