// Stream and audio descriptions, the GPS test and the map position of generated AVCHD files.
#include <gtest/gtest.h>

#include <cstdio>

#include "gen/avchd_writer.h"
#include "media/avchd_avc_reader.h"
#include "media/avchd_stream_info.h"

namespace zorv::media {
namespace {

// 120 small pictures: enough bytes for the descriptions (at least 376000).
gen::AvchdSpec infoSpec() {
    gen::AvchdSpec s;
    s.frames = 120;
    s.width = 640;
    s.height = 352;
    return s;
}

TEST(AvchdStreamInfo, VideoDescriptionOfAFullHdStream) {
    gen::AvchdSpec desc;
    desc.frames = 50;
    const std::string path = gen::cachedAvchd("hd.mts", desc);
    ASSERT_FALSE(path.empty());
    AvchdStreamDescription d;
    ASSERT_TRUE(describeAvchdStream(path, d));
    EXPECT_EQ(d.profileText, "High");
    EXPECT_EQ(d.levelText, "@L4.0");
    EXPECT_EQ(d.width, 1920);
    EXPECT_EQ(d.height, 1080);  // 1088 lines coded, 8 cropped
    EXPECT_EQ(d.rateNum, 50);   // x264 25p: 50 ticks a second, two a frame
    EXPECT_EQ(d.rateDen, 2);
    EXPECT_EQ(d.durationPts, 50 * 3600);  // first to last picture shown, plus one picture

    AvchdAudioDescription a;
    ASSERT_TRUE(describeAvchdAudio(path, a));
    EXPECT_EQ(a.sampleRate, 48000);
    EXPECT_EQ(a.bitRateKbps, 256);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.layout, "L, R");
}

TEST(AvchdStreamInfo, AudioWithLfeAndTheGpsTest) {
    gen::AvchdSpec desc = infoSpec();
    desc.lfe = true;
    const std::string withGps = gen::cachedAvchd("lfe.m2ts", desc);
    ASSERT_FALSE(withGps.empty());
    AvchdAudioDescription a;
    ASSERT_TRUE(describeAvchdAudio(withGps, a));
    EXPECT_EQ(a.layout, "L, R, LFE");
    EXPECT_EQ(a.channels, 3);
    EXPECT_TRUE(avchdHasGps(withGps));

    desc.gps = gen::GpsMode::None;
    desc.lfe = false;
    const std::string noGps = gen::cachedAvchd("nogps.m2ts", desc);
    EXPECT_FALSE(avchdHasGps(noGps));
    AvchdStreamDescription d;
    EXPECT_TRUE(describeAvchdStream(noGps, d));
    EXPECT_FALSE(describeAvchdStream("/nonexistent.m2ts", d));
}

TEST(AvchdStreamInfo, MapPositionOfAPicture) {
    gen::AvchdSpec desc = infoSpec();
    desc.frames = 60;
    desc.gps = gen::GpsMode::Track;
    const std::string path = gen::cachedAvchd("track.m2ts", desc);
    std::vector<std::string> positions;
    ASSERT_TRUE(readAvchdMetadata(path, [&](const AvchdMetadataRecord& rec, int64_t) {
        core::TextBuf t;
        EXPECT_TRUE(avchdMapPosition(rec, t));
        positions.emplace_back(t.c_str());
        return true;
    }));
    ASSERT_EQ(positions.size(), 60u);
    for (int64_t n : {int64_t{0}, int64_t{59}}) {
        const gen::GpsFix f = gen::avchdGpsFix(desc, n);
        const double lat = f.latDeg + f.latMin / 60.0 + f.latSecX100 / 360000.0;
        const double lon = -(f.lonDeg + f.lonMin / 60.0 + f.lonSecX100 / 360000.0);
        char want[64];
        std::snprintf(want, sizeof want, "%.5f,%.5f", lat, lon);
        EXPECT_EQ(positions[static_cast<size_t>(n)], want);
    }
    EXPECT_NE(positions.front(), positions.back());  // the track moves

    AvchdMetadataRecord none;
    core::TextBuf t;
    EXPECT_FALSE(avchdMapPosition(none, t));
}

}  // namespace
}  // namespace zorv::media
