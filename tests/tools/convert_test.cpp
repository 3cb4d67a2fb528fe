// Conversions and audio extraction on generated DV files with real audio, with ffmpeg as the
// independent reader.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gen/clip_writer.h"
#include "media/avi_chunks.h"
#include "media/avi_writer.h"
#include "media/dv_audio.h"
#include "media/dv_media_file.h"
#include "tools/audio_extract.h"
#include "tools/dv_convert.h"
#include "gen/file_bytes.h"

namespace zorv::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path dir() {
    static fs::path d = [] {
        fs::path p = fs::temp_directory_path() / ("zorv_convert_test_" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return d;
}

Bytes readAll(const fs::path& p) { return zorv::gen::fileBytes<Bytes>(p); }

std::vector<int16_t> tone(int samples, int64_t start, int rate) {
    std::vector<int16_t> v(2 * size_t(samples));
    for (int s = 0; s < samples; ++s) {
        double t = double(start + s) / rate;
        v[2 * size_t(s)] = int16_t(std::lround(20000 * std::sin(2 * M_PI * 440 * t)));
        v[2 * size_t(s) + 1] = int16_t(std::lround(-9000 * std::sin(2 * M_PI * 61 * t)));
    }
    return v;
}

// An AVI Type 2 file of generated frames with a tone in its audio stream; returns its PCM bytes.
Bytes writeType2(const fs::path& path, bool pal, int frames, int rate) {
    gen::ClipSpec desc = pal ? gen::palClip(frames) : gen::ntscClip(frames);
    gen::ClipFrames clip;
    EXPECT_TRUE(clip.open(desc));
    media::AviWriterOptions opt;
    opt.type = media::AviType::kType2;
    opt.pal = pal;
    opt.audioSampleRate = uint32_t(rate);
    media::AviWriter w;
    EXPECT_TRUE(w.open(path.string(), opt));
    Bytes frame, all;
    int64_t at = 0;
    for (int n = 0; n < frames; ++n) {
        clip.render(n, frame);
        int count = media::dvaudio::samplesForFrame(n, rate, pal);
        auto pcm = tone(count, at, rate);
        at += count;
        Bytes b(pcm.size() * 2);
        for (size_t i = 0; i < pcm.size(); ++i) {
            b[2 * i] = uint8_t(pcm[i]);
            b[2 * i + 1] = uint8_t(uint16_t(pcm[i]) >> 8);
        }
        EXPECT_TRUE(w.writeFrame(frame, b));
        all.insert(all.end(), b.begin(), b.end());
    }
    EXPECT_TRUE(w.close());
    return all;
}

core::Status convert(const fs::path& in, const fs::path& out, ConvertTarget t) {
    DvConvertJob job(in.string(), out.string(), t, /*overwrite=*/true);
    core::Status s = job.build();
    if (!s) return s;
    EXPECT_TRUE(job.start());
    s = job.wait();
    EXPECT_EQ(job.progress().done(), job.progress().total());
    return s;
}

std::vector<Bytes> frames(const fs::path& p) {
    media::DvMediaFile f;
    EXPECT_TRUE(f.open(p.string())) << p;
    std::vector<Bytes> out;
    for (int64_t n = 0; n < f.frameCount(); ++n) {
        Bytes b(f.frameSize());
        EXPECT_TRUE(f.readFrame(n, b.data()));
        out.push_back(std::move(b));
    }
    return out;
}

// Every byte outside the audio blocks' payload.
bool sameVideo(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        size_t block = (i % 12000) / 80;
        bool audio = block >= 6 && (block - 6) % 16 == 0 && i % 80 >= 3;
        if (!audio && a[i] != b[i]) return false;
    }
    return true;
}

Bytes ffmpegAudio(const fs::path& in) {
    fs::path out = in;
    out += ".s16";
    std::string cmd = "ffmpeg -v error -y -i " + in.string() + " -map 0:a:0 -f s16le -acodec pcm_s16le " + out.string();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return readAll(out);
}

std::string ffprobe(const fs::path& in, const std::string& entries) {
    std::string cmd = "ffprobe -v error -count_frames -show_entries " + entries + " -of csv=p=0 " + in.string();
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

TEST(Convert, Type2ToType1ToType2KeepsVideoAndAudio) {
    for (bool pal : {true, false}) {
        SCOPED_TRACE(pal ? "pal" : "ntsc");
        fs::path t2 = dir() / (pal ? "in_pal.avi" : "in_ntsc.avi");
        Bytes pcm = writeType2(t2, pal, 30, 48000);
        fs::path t1 = dir() / "t1.avi", back = dir() / "back.avi";
        ASSERT_TRUE(convert(t2, t1, ConvertTarget::kAviType1));
        ASSERT_TRUE(convert(t1, back, ConvertTarget::kAviType2));

        auto in = frames(t2), mid = frames(t1), out = frames(back);
        ASSERT_EQ(in.size(), 30u);
        ASSERT_EQ(mid.size(), in.size());
        ASSERT_EQ(out.size(), in.size());
        for (size_t n = 0; n < in.size(); ++n) {
            EXPECT_TRUE(sameVideo(in[n], mid[n])) << n;
            EXPECT_EQ(mid[n], out[n]) << n;  // Type 2 keeps the joined frames whole
        }
        media::DvMediaFile f;
        ASSERT_TRUE(f.open(t1.string()));
        EXPECT_EQ(f.fileType(), media::FileType::kAviType1);
        ASSERT_TRUE(f.open(back.string()));
        EXPECT_EQ(f.fileType(), media::FileType::kAviType2);

        // ffmpeg hears in our Type 1 frames exactly the Type 2 input's audio, and so in the round trip.
        EXPECT_EQ(ffmpegAudio(t1), pcm);
        EXPECT_EQ(ffmpegAudio(back), pcm);
        EXPECT_NE(ffprobe(t1, "stream=codec_type,nb_read_frames").find("video,30"), std::string::npos);
        std::string streams = ffprobe(back, "stream=codec_type");
        EXPECT_NE(streams.find("video"), std::string::npos);
        EXPECT_NE(streams.find("audio"), std::string::npos);
    }
}

// Large enough that the input's memory map moves several times while the writer thread still holds
// frames of the window before: every frame must arrive whole and in order.
TEST(Convert, FilesSpanningManyMapWindowsConvertWhole) {
    fs::path t2 = dir() / "long_t2.avi";
    Bytes pcm = writeType2(t2, true, 220, 48000);
    fs::path t1 = dir() / "long_t1.avi", raw = dir() / "long.dv", back = dir() / "long_back.avi";
    ASSERT_TRUE(convert(t2, t1, ConvertTarget::kAviType1));
    ASSERT_TRUE(convert(t1, raw, ConvertTarget::kRawDv));
    ASSERT_TRUE(convert(raw, back, ConvertTarget::kAviType2));

    auto in = frames(t2), mid = frames(t1), out = frames(back);
    ASSERT_EQ(in.size(), 220u);
    ASSERT_EQ(mid.size(), in.size());
    ASSERT_EQ(out, mid);
    for (size_t n = 0; n < in.size(); ++n) EXPECT_TRUE(sameVideo(in[n], mid[n])) << n;
    Bytes rawBytes = readAll(raw);
    ASSERT_EQ(rawBytes.size(), mid.size() * 144000);
    for (size_t n = 0; n < mid.size(); ++n)
        EXPECT_TRUE(std::equal(mid[n].begin(), mid[n].end(), rawBytes.begin() + long(n * 144000))) << n;
    EXPECT_EQ(ffmpegAudio(t1), pcm);
    EXPECT_EQ(ffmpegAudio(back), pcm);
}

TEST(Convert, AviToRawDvAndBack) {
    std::string src = gen::cachedClip("raw_src.avi", gen::palClip(20), gen::Container::Avi1);
    ASSERT_FALSE(src.empty());
    fs::path raw = dir() / "x-conv.dv", avi = dir() / "x-conv.avi";
    ASSERT_TRUE(convert(src, raw, ConvertTarget::kRawDv));
    auto in = frames(src);
    EXPECT_EQ(fs::file_size(raw), in.size() * 144000);
    Bytes rawBytes = readAll(raw);
    for (size_t n = 0; n < in.size(); ++n)
        EXPECT_TRUE(std::equal(in[n].begin(), in[n].end(), rawBytes.begin() + long(n * 144000)));

    ASSERT_TRUE(convert(raw, avi, ConvertTarget::kAviType1));
    auto back = frames(avi);
    EXPECT_EQ(back, in);
    // The placeholder became the timecode list with the first frame's timecode.
    media::DvMediaFile f;
    ASSERT_TRUE(f.open(avi.string()));
    media::DvMediaFile::Timecode tc;
    ASSERT_TRUE(f.readTimecode(0, tc));
    media::AviChunks chunks(f.file().fd(), media::FileType::kAviType1);
    EXPECT_EQ(chunks.premiereTimecode(), media::timecodeText(tc.hours, tc.minutes, tc.seconds, tc.frames, tc.dropFrame));

    DvConvertJob illegal(raw.string(), (dir() / "y.dv").string(), ConvertTarget::kRawDv);
    EXPECT_EQ(illegal.build().message, "Illegal DV AVI file type");
    EXPECT_EQ(convertOutputName("/a/b/clip.avi", ConvertTarget::kRawDv), "/a/b/clip-conv.dv");
    EXPECT_EQ(convertOutputName("/a/b/clip.dv", ConvertTarget::kAviType2), "/a/b/clip-conv.avi");
}

TEST(Convert, EditorChunksOfTheInputAreCarriedOver) {
    // A Type 2 file whose reserved list already holds a timecode list: converting carries it over.
    fs::path t2 = dir() / "tdat.avi";
    writeType2(t2, true, 5, 48000);
    {
        media::DvMediaFile f;
        ASSERT_TRUE(f.open(t2.string()));
        int fd = ::dup(f.file().fd());
        f.close();
        int rw = ::open(t2.c_str(), O_RDWR);
        ::close(fd);
        ASSERT_TRUE(media::writeTimecodeList(rw, media::timecodeText(10, 20, 30, 4, false), "MY REEL"));
        ::close(rw);
    }
    fs::path out = dir() / "tdat-conv.avi";
    ASSERT_TRUE(convert(t2, out, ConvertTarget::kAviType1));
    media::DvMediaFile f;
    ASSERT_TRUE(f.open(out.string()));
    media::AviChunks c(f.file().fd(), media::FileType::kAviType1);
    EXPECT_EQ(c.reelName(), "MY REEL");
    EXPECT_EQ(c.premiereTimecode(), "10:20:30:04");
}

TEST(ExtractAudio, WavHoldsTheAudioAndMissingAudioIsReported) {
    fs::path t2 = dir() / "ex.avi";
    Bytes pcm = writeType2(t2, false, 12, 32000);
    fs::path wav = dir() / "ex.wav";
    AudioExtractJob job(t2.string(), wav.string());
    ASSERT_TRUE(job.build());
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait());
    Bytes w = readAll(wav);
    ASSERT_EQ(w.size(), 44 + pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), w.begin() + 44));
    EXPECT_EQ(ffmpegAudio(wav), pcm);

    // The same audio, inside Type 1 frames.
    fs::path t1 = dir() / "ex1.avi", wav1 = dir() / "ex1.wav";
    ASSERT_TRUE(convert(t2, t1, ConvertTarget::kAviType1));
    AudioExtractJob job1(t1.string(), wav1.string());
    ASSERT_TRUE(job1.build());
    ASSERT_TRUE(job1.start());
    ASSERT_TRUE(job1.wait());
    EXPECT_EQ(readAll(wav1), w);

    gen::ClipSpec silent = gen::palClip(5);
    silent.customize = [](int64_t, gen::FrameMeta& m) { m.hasAudioSource = false; };
    std::string noAudio = gen::cachedClip("noaudio.dv", silent, gen::Container::RawDv);
    AudioExtractJob none(noAudio, (dir() / "none.wav").string());
    EXPECT_EQ(none.build().message, kNoAudioStream);
}

}  // namespace
}  // namespace zorv::tools
