// Audio extraction and conversion against ffmpeg's DV demuxer on generated camcorder audio at every
// rate DV records: 48, 44.1 and 32 kHz 16-bit and 12-bit four-channel 32 kHz, on 625/50 and 525/60,
// in Raw DV, AVI Type 1 and AVI Type 2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/dv_layout.h"
#include "gen/clip_writer.h"
#include "media/avi_writer.h"
#include "media/dv_audio.h"
#include "tools/audio_extract.h"
#include "tools/dv_convert.h"
#include "tools/dv_file_splitter.h"
#include "gen/file_bytes.h"

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

Bytes readAll(const fs::path& p) { return zorv::gen::fileBytes<Bytes>(p); }

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// What ffmpeg decodes from the first audio stream, as 16-bit little-endian stereo.
Bytes ffmpegPcm(const fs::path& in) {
    fs::path out = in;
    out += ".s16";
    std::string cmd =
        "ffmpeg -v error -y -i '" + in.string() + "' -map 0:a:0 -f s16le -acodec pcm_s16le '" + out.string() + "'";
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

const Case kCases[] = {{true, 48000, 16}, {false, 48000, 16}, {true, 44100, 16}, {false, 44100, 16},
                       {true, 32000, 16}, {false, 32000, 16}, {true, 32000, 12}, {false, 32000, 12}};

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

// ffmpeg's copy of the first video stream: the DV frames as the file holds them.
Bytes ffmpegVideo(const fs::path& in) {
    fs::path out = in;
    out += ".video.dv";
    std::string cmd = "ffmpeg -v error -y -i '" + in.string() + "' -map 0:v:0 -c copy -f rawvideo '" + out.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return readAll(out);
}

TEST(AudioAgreement, RawDvThroughType2AndType1ComesBackBitExact) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    for (const Case& c : kCases) {
        SCOPED_TRACE(caseName(c));
        const std::string name = "rt_" + caseName(c);
        fs::path dv = workDir() / (name + ".dv"), t2 = workDir() / (name + "_t2.avi"), t1 = workDir() / (name + "_t1.avi"),
                 back = workDir() / (name + "_back.dv");
        ASSERT_TRUE(gen::writeClip(toneClip(c, 7), dv.string(), gen::Container::RawDv));
        const Bytes original = readAll(dv);
        ASSERT_TRUE(convert(dv, t2, ConvertTarget::kAviType2));
        ASSERT_TRUE(convert(t2, t1, ConvertTarget::kAviType1));
        ASSERT_TRUE(convert(t1, back, ConvertTarget::kRawDv));
        EXPECT_TRUE(readAll(back) == original);
        EXPECT_TRUE(ffmpegVideo(t2) == original);
        EXPECT_TRUE(ffmpegVideo(t1) == original);
        fs::path direct = workDir() / (name + "_direct.dv");
        ASSERT_TRUE(convert(t2, direct, ConvertTarget::kRawDv));
        EXPECT_TRUE(readAll(direct) == original);
    }
}

// A Type 2 file whose audio stream an editor replaced: the DV frames get the stream's sound in
// their own layout, everything else of theirs unchanged.
TEST(AudioAgreement, ReplacedType2SoundIsWrittenInTheFramesOwnLayout) {
    namespace dv = core::dv;
    for (const Case& c : {Case{true, 32000, 12}, Case{false, 32000, 12}, Case{false, 44100, 16}}) {
        SCOPED_TRACE(caseName(c));
        const std::string name = "swap_" + caseName(c);
        const gen::ClipSpec desc = toneClip(c, 5);
        fs::path dv = workDir() / (name + ".dv"), t2 = workDir() / (name + ".avi"), back = workDir() / (name + "_back.dv");
        ASSERT_TRUE(gen::writeClip(desc, dv.string(), gen::Container::RawDv));
        const Bytes original = readAll(dv);
        const size_t fs = desc.frameSize();
        // New sound: a ramp small enough to pass 12-bit companding unchanged.
        std::vector<std::vector<int16_t>> sound;
        media::AviWriterOptions opt;
        opt.type = media::AviType::kType2;
        opt.pal = c.pal;
        opt.audioSampleRate = uint32_t(c.rate);
        media::AviWriter w;
        ASSERT_TRUE(w.open(t2.string(), opt));
        for (int64_t n = 0; n < desc.frames; ++n) {
            const uint8_t* f = original.data() + n * fs;
            auto info = media::dvaudio::readAudioInfo(f, fs);
            ASSERT_TRUE(info);
            std::vector<int16_t> pcm(2 * size_t(info->samples));
            for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(int(i % 700) - 350);
            ASSERT_TRUE(w.writeFrame({f, fs}, {reinterpret_cast<const uint8_t*>(pcm.data()), 2 * pcm.size()}));
            sound.push_back(std::move(pcm));
        }
        ASSERT_TRUE(w.close());
        ASSERT_TRUE(convert(t2, back, ConvertTarget::kRawDv));
        const Bytes out = readAll(back);
        ASSERT_EQ(out.size(), original.size());
        std::vector<int16_t> pcm(2 * media::dvaudio::kMaxSamplesPerFrame), was(pcm.size());
        for (int64_t n = 0; n < desc.frames; ++n) {
            const uint8_t* a = original.data() + n * fs;
            const uint8_t* b = out.data() + n * fs;
            for (size_t blk = 0; blk < fs / dv::kDifBlockSize; ++blk) {
                const bool audioBlock = (blk % dv::kBlocksPerSequence) >= 6 && (blk % dv::kBlocksPerSequence - 6) % 16 == 0;
                if (!audioBlock) ASSERT_EQ(std::memcmp(a + blk * 80, b + blk * 80, 80), 0) << "block " << blk;
                else ASSERT_EQ(std::memcmp(a + blk * 80, b + blk * 80, 8), 0) << "pack of block " << blk;
            }
            auto info = media::dvaudio::readAudioInfo(b, fs);
            ASSERT_TRUE(info);
            EXPECT_EQ(info->bits, c.bits);
            EXPECT_EQ(info->locked, c.rate != 44100);
            int got = media::dvaudio::extractPcm(b, fs, *info, 0, pcm.data());
            ASSERT_EQ(size_t(2 * got), sound[size_t(n)].size());
            EXPECT_TRUE(std::equal(sound[size_t(n)].begin(), sound[size_t(n)].end(), pcm.begin()));
            if (c.bits == 12) {  // channels 3-4 stay as recorded
                media::dvaudio::extractPcm(a, fs, *info, 1, was.data());
                media::dvaudio::extractPcm(b, fs, *info, 1, pcm.data());
                EXPECT_TRUE(std::equal(was.begin(), was.begin() + 2 * got, pcm.begin()));
            }
        }
    }
}

// Empty index entries keep their time: the frame before is repeated there and the sound stays in
// step; the whole audio stream comes out of extraction, also when it outlasts the picture.
TEST(AudioAgreement, DroppedFramesAndLongSoundKeepEverySample) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg not installed";
    for (bool pal : {true, false}) {
        Case c{pal, 48000, 16};
        SCOPED_TRACE(caseName(c));
        gen::ClipSpec desc = toneClip(c, 16);
        desc.dropped = {5, 6, 7};
        fs::path t2 = workDir() / ("drop_" + caseName(c) + ".avi"), back = workDir() / ("drop_" + caseName(c) + ".dv");
        ASSERT_TRUE(gen::writeClip(desc, t2.string(), gen::Container::Avi2));
        const Bytes stream = ffmpegPcm(t2);
        ASSERT_TRUE(stream == expectedTone(desc));
        EXPECT_TRUE(extract(t2) == stream);
        ASSERT_TRUE(convert(t2, back, ConvertTarget::kRawDv));
        const Bytes frames = readAll(back);
        const size_t fs = desc.frameSize();
        ASSERT_EQ(frames.size(), fs * size_t(desc.frames));
        // The repeated frames are frame 4 (its timecode and picture) with their own time's sound.
        for (size_t n = 5; n <= 7; ++n) {
            EXPECT_EQ(std::memcmp(frames.data() + 4 * fs, frames.data() + n * fs, 6 * 80), 0);
            EXPECT_EQ(std::memcmp(frames.data() + 4 * fs + 7 * 80, frames.data() + n * fs + 7 * 80, 80), 0);
        }
        EXPECT_TRUE(extract(back) == stream);
        // Split (at the timecode jump after the gap) keeps every frame's time and the stream whole.
        DvFileSplitter split;
        ASSERT_TRUE(split.run(t2.string()));
        int64_t total = 0;
        Bytes joined;
        for (const auto& out : split.outputs()) {
            total += out.frames;
            const Bytes part = ffmpegPcm(out.path);
            joined.insert(joined.end(), part.begin(), part.end());
        }
        EXPECT_EQ(total, desc.frames);
        EXPECT_TRUE(joined == stream);
    }
    // 10 frames of picture, 15 frames' worth of sound.
    gen::ClipSpec desc = toneClip(Case{true, 48000, 16}, 10);
    fs::path dv = workDir() / "long.dv", t2 = workDir() / "long.avi";
    ASSERT_TRUE(gen::writeClip(desc, dv.string(), gen::Container::RawDv));
    const Bytes frames = readAll(dv);
    media::AviWriterOptions opt;
    opt.type = media::AviType::kType2;
    media::AviWriter w;
    ASSERT_TRUE(w.open(t2.string(), opt));
    Bytes tone = expectedTone(toneClip(Case{true, 48000, 16}, 15));
    for (size_t n = 0; n < 10; ++n) {
        const size_t bytes = n < 9 ? 1920 * 4 : tone.size() - 9 * 1920 * 4;
        ASSERT_TRUE(w.writeFrame({frames.data() + n * 144000, 144000}, {tone.data() + n * 1920 * 4, bytes}));
    }
    ASSERT_TRUE(w.close());
    EXPECT_TRUE(ffmpegPcm(t2) == tone);
    EXPECT_TRUE(extract(t2) == tone);
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
