// DV audio: de-shuffle and insert against each other and against ffmpeg's DV demuxer, on Raw DV that
// ffmpeg itself encoded (48 kHz) and on the same frames with our 44.1, 32 and 12-bit 32 kHz audio.
#include "media/dv_audio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "gen/file_bytes.h"

namespace zorv::media::dvaudio {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes readAll(const fs::path& p) { return zorv::gen::fileBytes<Bytes>(p); }
void writeAll(const fs::path& p, const Bytes& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

fs::path testDir() { return fs::temp_directory_path() / ("zorv_dv_audio_test_" + std::to_string(::getpid())); }

// A few seconds of DV with a 48 kHz tone, encoded by ffmpeg.
fs::path ffmpegDv(bool pal, int frames) {
    fs::path dir = testDir();
    fs::create_directories(dir);
    fs::path out = dir / (std::string(pal ? "pal" : "ntsc") + std::to_string(frames) + ".dv");
    if (!fs::exists(out)) {
        std::string cmd = std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=") +
                          (pal ? "720x576:rate=25" : "720x480:rate=30000/1001") +
                          " -f lavfi -i \"sine=frequency=440:sample_rate=48000,aeval=val(0)|-val(0)*0.5:c=stereo\" -t " +
                          std::to_string(pal ? frames / 25.0 : frames * 1001 / 30000.0) + " -pix_fmt " +
                          (pal ? "yuv420p" : "yuv411p") + " -c:v dvvideo -c:a pcm_s16le -ar 48000 -f dv " + out.string();
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    return out;
}

std::vector<int16_t> ffmpegPcm(const fs::path& dv) {
    fs::path out = dv;
    out += ".s16";
    std::string cmd = "ffmpeg -v error -y -i " + dv.string() + " -map 0:a:0 -f s16le -acodec pcm_s16le " + out.string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    Bytes b = readAll(out);
    std::vector<int16_t> pcm(b.size() / 2);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(b[2 * i] | b[2 * i + 1] << 8);
    return pcm;
}

std::vector<int16_t> ourPcm(const Bytes& file, size_t frameSize, int pair = 0) {
    std::vector<int16_t> all, buf(2 * kMaxSamplesPerFrame);
    for (size_t at = 0; at + frameSize <= file.size(); at += frameSize) {
        auto info = readAudioInfo(&file[at], frameSize);
        EXPECT_TRUE(info);
        if (!info) break;
        int n = extractPcm(&file[at], frameSize, *info, pair, buf.data());
        all.insert(all.end(), buf.begin(), buf.begin() + 2 * n);
    }
    return all;
}

std::vector<int16_t> tone(int samples, int64_t start, int rate) {
    std::vector<int16_t> v(2 * size_t(samples));
    for (int s = 0; s < samples; ++s) {
        double t = double(start + s) / rate;
        v[2 * size_t(s)] = int16_t(std::lround(30000 * std::sin(2 * M_PI * 523 * t)));
        v[2 * size_t(s) + 1] = int16_t(std::lround(-12000 * std::sin(2 * M_PI * 97 * t)));
    }
    return v;
}

TEST(DvAudio, TwelveBitCodesFollowTheNonLinearCurve) {
    EXPECT_EQ(decode12Bit(0x000), 0);
    EXPECT_EQ(decode12Bit(0x1FF), 511);
    EXPECT_EQ(decode12Bit(0x200), 512);
    EXPECT_EQ(decode12Bit(0x300), 1024);
    EXPECT_EQ(decode12Bit(0x7FF), 32704);
    EXPECT_EQ(decode12Bit(0xFFF), -1);
    EXPECT_EQ(decode12Bit(0xE00), -512);
    EXPECT_EQ(decode12Bit(0xDFF), -513);
    EXPECT_EQ(decode12Bit(0x801), -32705 + 64);
    EXPECT_EQ(decode12Bit(0x800), 0);  // error code
    // Monotonic over the whole code range (codes in signed order).
    for (int v = -2047; v < 2047; ++v) EXPECT_LT(decode12Bit(uint16_t(v & 0xFFF)), decode12Bit(uint16_t((v + 1) & 0xFFF)));
}

TEST(DvAudio, SamplesPerFrameKeepTheAverage) {
    int64_t sum = 0;
    for (int n = 0; n < 30000; ++n) sum += samplesForFrame(n, 48000, false);
    EXPECT_EQ(sum, 48000LL * 1001);
    EXPECT_EQ(samplesForFrame(0, 48000, false), 1600);
    EXPECT_EQ(samplesForFrame(1, 48000, false), 1602);
    sum = 0;
    for (int n = 0; n < 30000; ++n) sum += samplesForFrame(n, 44100, false);
    EXPECT_EQ(sum, 44100LL * 1001);
    EXPECT_EQ(samplesForFrame(7, 32000, true), 1280);
}

TEST(DvAudio, InsertThenExtractGivesThePcmBackAndKeepsOtherBlocks) {
    Bytes frame = readAll(ffmpegDv(true, 10));
    ASSERT_GE(frame.size(), 144000u);
    frame.resize(144000);
    // Put a recording-date pack in an AAUX slot: it must survive.
    frame[483 + 1280 * 2] = 0x52;
    Bytes before = frame;
    for (int rate : {48000, 44100, 32000}) {
        int n = samplesForFrame(0, rate, true);
        auto pcm = tone(n, 0, rate);
        pcm[0] = -32768;  // the error code is not written as such
        ASSERT_TRUE(insertPcm(frame.data(), frame.size(), pcm.data(), n, rate, rate != 44100));
        auto info = readAudioInfo(frame.data(), frame.size());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->sampleRate, rate);
        EXPECT_EQ(info->samples, n);
        EXPECT_EQ(info->locked, rate != 44100);
        std::vector<int16_t> out(2 * kMaxSamplesPerFrame);
        ASSERT_EQ(extractPcm(frame.data(), frame.size(), *info, 0, out.data()), n);
        pcm[0] = -32767;
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), out.begin()));
        // Only audio block payloads (bytes 3..79 of audio blocks) may differ.
        for (size_t i = 0; i < frame.size(); ++i) {
            size_t block = (i % 12000) / 80;
            bool audio = block >= 6 && (block - 6) % 16 == 0 && i % 80 >= 3;
            if (!audio) {
                ASSERT_EQ(frame[i], before[i]) << i;
            }
        }
        EXPECT_EQ(frame[483 + 1280 * 2], 0x52);
    }
}

TEST(DvAudio, ExtractMatchesFfmpegOnItsOwn48kHzDv) {
    for (bool pal : {true, false}) {
        fs::path dv = ffmpegDv(pal, 40);
        size_t frameSize = pal ? 144000 : 120000;
        auto ours = ourPcm(readAll(dv), frameSize);
        auto theirs = ffmpegPcm(dv);
        ASSERT_GT(ours.size(), 0u);
        ASSERT_EQ(ours.size(), theirs.size()) << (pal ? "pal" : "ntsc");
        EXPECT_TRUE(ours == theirs) << (pal ? "pal" : "ntsc");
    }
}

TEST(DvAudio, ExtractMatchesFfmpegForOurOtherRatesAnd12Bit) {
    struct Case {
        bool pal;
        int rate;
        bool twelve;
    };
    for (Case c : {Case{true, 44100, false}, Case{false, 44100, false}, Case{true, 32000, false}, Case{false, 32000, false},
                   Case{true, 32000, true}, Case{false, 32000, true}}) {
        SCOPED_TRACE(std::to_string(c.rate) + (c.pal ? " pal" : " ntsc") + (c.twelve ? " 12-bit" : ""));
        size_t frameSize = c.pal ? 144000 : 120000;
        Bytes file = readAll(ffmpegDv(c.pal, 30));
        int64_t start = 0;
        for (size_t at = 0, n = 0; at + frameSize <= file.size(); at += frameSize, ++n) {
            int count = samplesForFrame(int64_t(n), c.rate, c.pal);
            auto pcm = tone(count, start, c.rate);
            start += count;
            if (c.twelve) {
                auto other = tone(count, start + 999, c.rate);
                ASSERT_TRUE(insertPcm12(&file[at], frameSize, pcm.data(), other.data(), count));
            } else {
                ASSERT_TRUE(insertPcm(&file[at], frameSize, pcm.data(), count, c.rate, c.rate == 48000));
            }
        }
        fs::path dv = testDir() / "ours.dv";
        writeAll(dv, file);
        auto ours = ourPcm(file, frameSize);
        auto theirs = ffmpegPcm(dv);
        ASSERT_EQ(ours.size(), theirs.size());
        EXPECT_TRUE(ours == theirs);
        if (c.twelve) {
            EXPECT_EQ(ourPcm(file, frameSize, 1).size(), ours.size());
        }
    }
}

TEST(DvAudio, NoAudioPackOrOddFrameSizeGivesNothing) {
    Bytes frame(144000, 0xFF);
    EXPECT_FALSE(readAudioInfo(frame.data(), frame.size()));
    EXPECT_FALSE(readAudioInfo(frame.data(), 100000));
    int16_t pcm[4] = {};
    EXPECT_FALSE(insertPcm(frame.data(), frame.size(), pcm, 2, 48000));     // too few samples
    EXPECT_FALSE(insertPcm(frame.data(), frame.size(), pcm, 1920, 22050));  // not a DV rate
}

}  // namespace
}  // namespace zorv::media::dvaudio
