// Audio extraction and conversion against ffmpeg's DV demuxer on generated camcorder audio at every
// rate DV records: 48, 44.1 and 32 kHz 16-bit and 12-bit four-channel 32 kHz, on 625/50 and 525/60,
// in Raw DV, AVI Type 1 and AVI Type 2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gen/clip_writer.h"
#include "tools/audio_extract.h"
#include "tools/dv_convert.h"

namespace zorv::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A folder of this process, removed when the tests end.
struct WorkDir {
    fs::path path = fs::temp_directory_path() / ("zorv_audio_agree_" + std::to_string(::getpid()));
    WorkDir() { fs::create_directories(path); }
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const fs::path& workDir() {
    static WorkDir d;
    return d.path;
}

Bytes readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// What ffmpeg decodes from the first audio stream, as 16-bit little-endian stereo.
Bytes ffmpegPcm(const fs::path& in) {
    fs::path out = in;
    out += ".s16";
    std::string cmd = "ffmpeg -v error -y -i '" + in.string() + "' -map 0:a:0 -f s16le -acodec pcm_s16le '" +
                      out.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return readAll(out);
}

Bytes extract(const fs::path& in) {
    fs::path wav = in;
    wav += ".wav";
    AudioExtractJob job(in.string(), wav.string());
    core::Status s = job.build();
    EXPECT_TRUE(s) << s.message;
    if (!s) return {};
    EXPECT_TRUE(job.start());
    EXPECT_TRUE(job.wait());
    Bytes w = readAll(wav);
    return w.size() >= 44 ? Bytes(w.begin() + 44, w.end()) : Bytes{};
}

bool convert(const fs::path& in, const fs::path& out, ConvertTarget t) {
    DvConvertJob job(in.string(), out.string(), t);
    if (!job.build() || !job.start()) return false;
    return job.wait().ok();
}

// The generator's tone (first stereo pair) for the whole clip, as the bytes a WAV file holds.
Bytes expectedTone(const gen::ClipSpec& desc) {
    Bytes out;
    std::vector<int16_t> pcm;
    for (int64_t n = 0; n < desc.frames; ++n) {
        int count = gen::audioSamples(desc, n);
        pcm.resize(2 * size_t(count));
        gen::toneSamples(desc, 0, gen::audioSampleStart(desc, n), count, pcm.data());
        for (int16_t v : pcm) {
            out.push_back(uint8_t(v));
            out.push_back(uint8_t(uint16_t(v) >> 8));
        }
    }
    return out;
}

struct Case {
    bool pal;
    int rate;
    int bits;
};

const Case kCases[] = {{true, 48000, 16},  {false, 48000, 16}, {true, 44100, 16}, {false, 44100, 16},
                       {true, 32000, 16},  {false, 32000, 16}, {true, 32000, 12}, {false, 32000, 12}};

std::string caseName(const Case& c) {
    return std::string(c.pal ? "pal" : "ntsc") + "_" + std::to_string(c.rate) + "_" + std::to_string(c.bits);
}

gen::ClipSpec toneClip(const Case& c, int64_t frames) {
    gen::ClipSpec desc = c.pal ? gen::palClip(frames) : gen::ntscClip(frames);
    desc.audio.tone = true;
    desc.audio.sampleRate = c.rate;
    desc.audio.bits = c.bits;
    return desc;
}

TEST(AudioAgreement, ExtractedWavEqualsFfmpegOnGeneratedDv) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    for (const Case& c : kCases) {
        SCOPED_TRACE(caseName(c));
        gen::ClipSpec desc = toneClip(c, 27);  // not a multiple of five: the 525/60 pattern ends mid-cycle
        for (gen::Container k : {gen::Container::RawDv, gen::Container::Avi1}) {
            fs::path in = workDir() / (caseName(c) + (k == gen::Container::RawDv ? ".dv" : ".avi"));
            ASSERT_TRUE(gen::writeClip(desc, in.string(), k));
            Bytes ours = extract(in);
            Bytes theirs = ffmpegPcm(in);
            ASSERT_EQ(ours.size(), theirs.size());
            EXPECT_TRUE(ours == theirs);
            // 16-bit samples are the generator's own; 12-bit ones are its tone through the companding.
            if (c.bits == 16) {
                EXPECT_TRUE(ours == expectedTone(desc));
            }
        }
    }
}

TEST(AudioAgreement, Type2AudioSurvivesConversionAtEveryRate) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    for (const Case& c : kCases) {
        if (c.bits == 12) continue;  // a Type 2 stream is 16-bit
        SCOPED_TRACE(caseName(c));
        gen::ClipSpec desc = toneClip(c, 23);
        fs::path t2 = workDir() / (caseName(c) + "_t2.avi"), t1 = workDir() / (caseName(c) + "_t1.avi");
        fs::path back = workDir() / (caseName(c) + "_back.avi");
        ASSERT_TRUE(gen::writeClip(desc, t2.string(), gen::Container::Avi2));
        const Bytes tone = expectedTone(desc);
        ASSERT_EQ(ffmpegPcm(t2), tone);
        ASSERT_TRUE(convert(t2, t1, ConvertTarget::kAviType1));
        // ffmpeg hears in our DV frames exactly what the Type 2 stream held.
        EXPECT_TRUE(ffmpegPcm(t1) == tone);
        EXPECT_TRUE(extract(t1) == tone);
        ASSERT_TRUE(convert(t1, back, ConvertTarget::kAviType2));
        EXPECT_TRUE(ffmpegPcm(back) == tone);
        EXPECT_TRUE(extract(back) == tone);
    }
}

TEST(AudioAgreement, TwelveBitDvToType2KeepsTheFirstPair) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    for (bool pal : {true, false}) {
        Case c{pal, 32000, 12};
        SCOPED_TRACE(caseName(c));
        fs::path dv = workDir() / (caseName(c) + "_12.dv"), t2 = workDir() / (caseName(c) + "_12.avi");
        ASSERT_TRUE(gen::writeClip(toneClip(c, 15), dv.string(), gen::Container::RawDv));
        ASSERT_TRUE(convert(dv, t2, ConvertTarget::kAviType2));
        Bytes fromDv = ffmpegPcm(dv);
        EXPECT_EQ(ffmpegPcm(t2), fromDv);
        EXPECT_EQ(extract(t2), fromDv);
    }
}

TEST(AudioAgreement, ClipWithoutSoundHasNoAudioToExtract) {
    gen::ClipSpec desc = gen::ntscClip(6);
    desc.audio.present = false;
    fs::path in = workDir() / "mute.avi";
    ASSERT_TRUE(gen::writeClip(desc, in.string(), gen::Container::Avi1));
    AudioExtractJob job(in.string(), (workDir() / "mute.wav").string());
    EXPECT_EQ(job.build().message, kNoAudioStream);
    EXPECT_FALSE(fs::exists(workDir() / "mute.wav"));
}

}  // namespace
}  // namespace zorv::tools
