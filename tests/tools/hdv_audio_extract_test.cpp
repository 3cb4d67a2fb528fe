// HDV audio extraction: the MPEG-1 Layer II sound of a generated stream decoded into a WAV file that
// ffmpeg reads with the stream's duration; 720-line streams and streams without audio are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "gen/hdv_writer.h"
#include "tools/audio_extract.h"
#include "tools/hdv_audio_extract.h"

namespace zorv::tools {
namespace {

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string tempWav(const std::string& name) {
    return (std::filesystem::path(::testing::TempDir()) / (name + std::to_string(::getpid()) + ".wav")).string();
}

TEST(HdvAudioExtract, WavDecodesInFfmpegWithTheStreamsDuration) {
    for (int packet : {188, 192}) {
        gen::HdvSpec desc;
        desc.packetSize = packet;
        desc.frames = 50;
        gen::HdvWritten w;
        const std::string in = gen::cachedHdv("audio" + std::to_string(packet) + ".m2t", desc, &w);
        ASSERT_FALSE(in.empty());
        const std::string out = tempWav("hdv" + std::to_string(packet));
        HdvAudioExtractJob job(in, out);
        ASSERT_TRUE(job.build());
        EXPECT_EQ(job.progressText(),
                  "Extracting audio from M2T file ...\n" + std::filesystem::path(out).filename().string());
        ASSERT_TRUE(job.start());
        const core::Status s = job.wait();
        ASSERT_TRUE(s) << s.message;
        EXPECT_EQ(job.sampleRate(), 48000);
        EXPECT_EQ(job.channels(), 2);
        EXPECT_EQ(job.framesDecoded(), w.audioFrames);
        EXPECT_EQ(job.progress().percent(), 100);
        // 1152 samples per frame, 4 bytes per stereo sample.
        EXPECT_EQ(std::filesystem::file_size(out), 44u + static_cast<uint64_t>(w.audioFrames) * 1152 * 4);
        const std::string probe =
            run("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration "
                "-of default=nw=1 '" +
                out + "'");
        EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
        EXPECT_NE(probe.find("sample_rate=48000"), std::string::npos);
        const size_t at = probe.find("duration=");
        ASSERT_NE(at, std::string::npos);
        EXPECT_NEAR(std::atof(probe.c_str() + at + 9), w.audioFrames * 1152 / 48000.0, 1e-3);
        // ffmpeg decodes all of it without complaint.
        EXPECT_EQ(run("ffmpeg -v error -i '" + out + "' -f null - 2>&1"), "");
        std::filesystem::remove(out);
    }
}

TEST(HdvAudioExtract, RefusesHdv1AndStreamsWithoutAudio) {
    gen::HdvSpec spec720;
    spec720.line720 = true;
    spec720.frames = 30;
    const std::string in720 = gen::cachedHdv("a720.m2t", spec720);
    HdvAudioExtractJob job720(in720, tempWav("a720"));
    const core::Status s720 = job720.build();
    EXPECT_FALSE(s720);
    EXPECT_EQ(s720.message, kHdv1AudioSkipped);

    gen::HdvSpec silent;
    silent.audio = false;
    silent.frames = 30;
    const std::string in = gen::cachedHdv("silent.m2t", silent);
    const std::string out = tempWav("silent");
    HdvAudioExtractJob job(in, out);
    ASSERT_TRUE(job.build());
    ASSERT_TRUE(job.start());
    const core::Status s = job.wait();
    EXPECT_FALSE(s);
    EXPECT_EQ(s.message, kNoAudioFound);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(HdvAudioExtract, OpenFailuresGiveTheReaderReason) {
    HdvAudioExtractJob job("/nonexistent/x.m2t", tempWav("none"));
    const core::Status s = job.build();
    EXPECT_EQ(s.message, "Could not load M2T file (reason 1)");
}

}  // namespace
}  // namespace zorv::tools
