// The general AVI writer: OpenDML extensions past the RIFF limit, read back by ffprobe.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "media/avi_av_writer.h"

namespace zorv::media {
namespace {

std::string probe(const std::string& path) {
    const std::string cmd =
        "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames -of csv=p=0 '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    std::string out;
    std::array<char, 256> buf{};
    while (p && fgets(buf.data(), buf.size(), p.get())) out += buf.data();
    return out;
}

TEST(AviAvWriter, SpreadsPicturesAndSoundOverAvixExtensions) {
    const std::string path = (std::filesystem::temp_directory_path() / "zorv_avi_av_writer_test.avi").string();
    AviAvWriter w;
    w.setRiffLimit(64 * 1024);  // a few pictures per RIFF
    AviVideoFormat v;
    v.width = 64;
    v.height = 48;
    ASSERT_TRUE(w.open(path, v, true).ok());
    w.setAudio({48000, 2});
    std::vector<uint8_t> dib(64 * 3 * 48, 0x80);
    std::vector<uint8_t> pcm(1920 * 4, 0);
    for (int i = 0; i < 40; ++i) {
        dib[0] = static_cast<uint8_t>(i);
        ASSERT_TRUE(w.writeVideo(dib.data(), dib.size()).ok());
        ASSERT_TRUE(w.writeAudio(pcm.data(), pcm.size()).ok());
    }
    ASSERT_TRUE(w.close().ok());
    const std::string got = probe(path);
    EXPECT_EQ(got.substr(0, got.find('\n')), "rawvideo,40") << got;
    EXPECT_NE(got.find("pcm_s16le,"), std::string::npos) << got;
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace zorv::media
