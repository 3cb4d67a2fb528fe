// AC-3 extraction from generated AVCHD streams: the .ac3 file is byte for byte the AC-3 frames the
// stream carries, ffmpeg decodes it for the stream's duration, and the failure texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "gen/avchd_writer.h"
#include "tools/avchd_audio_extract.h"
#include "gen/file_bytes.h"

namespace zorv::tools {
namespace {

std::vector<uint8_t> slurp(const std::string& path) { return zorv::gen::fileBytes<std::vector<uint8_t>>(path); }

std::string shell(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

struct Dir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("zorv-ac3-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Dir() { std::filesystem::create_directories(path); }
    ~Dir() { std::filesystem::remove_all(path); }
    std::string file(const char* n) const { return (path / n).string(); }
};

TEST(Ac3Extract, OutputName) {
    EXPECT_EQ(ac3OutputName("/v/00001.MTS"), "/v/00001.ac3");
    EXPECT_EQ(ac3OutputName("/v.d/clip"), "/v.d/clip.ac3");
}

TEST(Ac3Extract, CopiesTheStreamsFramesExactly) {
    for (int packet : {192, 188}) {
        Dir dir;
        gen::AvchdSpec desc;
        desc.frames = 75;
        desc.width = 320;
        desc.height = 192;
        desc.packetSize = packet;
        desc.lfe = packet == 188;
        gen::AvchdWritten written;
        const std::string in = dir.file("clip.m2ts");
        ASSERT_TRUE(gen::writeAvchd(desc, in, &written));
        const std::string out = ac3OutputName(in);
        Ac3ExtractJob job(in, out);
        ASSERT_TRUE(job.build());
        EXPECT_EQ(job.progressText(), "Extracting audio from M2TS file ...\n" + in);
        ASSERT_TRUE(job.start());
        ASSERT_TRUE(job.wait());
        EXPECT_EQ(job.framesWritten(), written.audioFrames);
        EXPECT_EQ(job.progress().percent(), 100);
        EXPECT_TRUE(slurp(out) == written.ac3) << packet;

        const std::string probe =
            shell("ffprobe -v error -show_entries stream=codec_name,channels -of compact '" + out + "'");
        EXPECT_NE(probe.find("codec_name=ac3|channels=" + std::string(desc.lfe ? "3" : "2")), std::string::npos) << probe;
        // Decoded length: every frame is 1536 samples at 48 kHz.
        const std::string decoded = shell("ffmpeg -v error -i '" + out + "' -f s16le -ac 1 - 2>/dev/null | wc -c");
        EXPECT_EQ(std::stoll(decoded), written.audioFrames * 1536 * 2);
    }
}

TEST(Ac3Extract, FailureTexts) {
    Dir dir;
    Ac3ExtractJob missing(dir.file("none.mts"), dir.file("none.ac3"));
    const core::Status s = missing.build();
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message, "Failed to open the input file:\r\n\r\n" + dir.file("none.mts"));
    EXPECT_EQ(missing.inputError(), core::ErrorCode::kOpenFailed);

    gen::AvchdSpec desc;
    desc.frames = 60;
    desc.width = 320;
    desc.height = 192;
    ASSERT_TRUE(gen::writeAvchd(desc, dir.file("ok.mts")));
    Ac3ExtractJob noDir(dir.file("ok.mts"), dir.file("no/such/dir.ac3"));
    const core::Status c = noDir.build();
    EXPECT_EQ(c.message, "The output folder does not exist: " + dir.file("no/such"));
    EXPECT_FALSE(noDir.start());
}

}  // namespace
}  // namespace zorv::tools
