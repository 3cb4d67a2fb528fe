// Generated HDV streams as ffprobe sees them: codecs, picture size and frame count agree with what the
// generator wrote and with the program's own stream scan; the program's recognition calls them HDV.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "avi_test_util.h"
#include "gen/hdv_writer.h"
#include "media/hdv_stream_info.h"
#include "media/recognize.h"

namespace zorv::media {
namespace {

struct Probe {
    std::string video, audio;
    int width = 0, height = 0;
    long frames = -1;
};

Probe probe(const std::string& path) {
    Probe p;
    const std::string out = avitest::run(
        "ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,width,height,nb_read_frames "
        "-of compact=p=0:nk=0 '" +
        path + "' 2>/dev/null");
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        auto field = [&](const std::string& key) {
            const size_t at = line.find(key + "=");
            if (at == std::string::npos) return std::string();
            const size_t from = at + key.size() + 1;
            return line.substr(from, line.find('|', from) - from);
        };
        if (field("codec_type") == "video") {
            p.video = field("codec_name");
            p.width = std::atoi(field("width").c_str());
            p.height = std::atoi(field("height").c_str());
            p.frames = std::atol(field("nb_read_frames").c_str());
        } else if (field("codec_type") == "audio") {
            p.audio = field("codec_name");
        }
    }
    return p;
}

struct Case {
    const char* name;
    bool line720;
    int packet;
    bool ntsc;
};

TEST(HdvGeneratedStreams, FfprobeAgreesOnCodecsSizeAndFrameCount) {
    const Case cases[] = {{"p188.m2t", false, 188, false},
                          {"p192.m2t", false, 192, false},
                          {"ntsc.m2t", false, 188, true},
                          {"l720.m2t", true, 188, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gen::HdvSpec desc;
        desc.line720 = c.line720;
        desc.packetSize = c.packet;
        desc.ntsc = c.ntsc;
        desc.frames = 40;
        gen::HdvWritten w;
        const std::string path = gen::cachedHdv(c.name, desc, &w);
        ASSERT_FALSE(path.empty());

        const Recognition r = recognize(path);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.type, c.line720 ? FileType::kHdv1 : FileType::kHdv2);
        EXPECT_EQ(r.tsPacketSize, c.packet);

        const Probe p = probe(path);
        EXPECT_EQ(p.video, "mpeg2video");
        EXPECT_EQ(p.audio, "mp2");
        EXPECT_EQ(p.width, c.line720 ? 1280 : 1440);
        EXPECT_EQ(p.height, c.line720 ? 720 : 1080);
        EXPECT_EQ(p.frames, desc.frames);

        HdvStreamInfo info;
        ASSERT_TRUE(scanHdvStream(path, c.line720, info));
        EXPECT_EQ(info.video.width, p.width);
        EXPECT_EQ(info.video.height, p.height);
        EXPECT_EQ(info.videoPictures, p.frames);
        EXPECT_EQ(info.video.frameRateCode, c.ntsc ? 4 : 3);
        EXPECT_EQ(static_cast<int64_t>(info.records.size()), desc.frames);
        if (c.ntsc) {
            EXPECT_EQ(info.records.front().timecodeStyle, 4);
        }
    }
}

}  // namespace
}  // namespace zorv::media
