// An AVI larger than 4 GiB (OpenDML, several RIFF chunks, offsets past 32 bits) through every
// conversion and audio extraction, read back frame by frame. Labelled "slow": it writes about 18 GB and
// is run by hand (ctest -L slow), not in the default run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gen/clip_writer.h"
#include "media/avi_chunks.h"
#include "media/dv_media_file.h"
#include "tools/audio_extract.h"
#include "tools/dv_convert.h"

namespace zorv::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// 30000 PAL frames: 4.32 GB of video, 4.55 GB with the Type 2 audio.
constexpr int64_t kFrames = 30000;
constexpr size_t kFrameSize = 144000;

struct WorkDir {
    fs::path path = fs::temp_directory_path() / ("zorv_slow_" + std::to_string(::getpid()));
    WorkDir() { fs::create_directories(path); }
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

core::Status convert(const fs::path& in, const fs::path& out, ConvertTarget t) {
    DvConvertJob job(in.string(), out.string(), t);
    core::Status s = job.build();
    if (!s) return s;
    if (!job.start()) return core::Status::failure(core::ErrorCode::kOpenFailed, "start");
    s = job.wait();
    EXPECT_EQ(job.progress().done(), kFrames);
    return s;
}

// True when the bytes outside the audio blocks' sample area are equal.
bool sameVideo(const uint8_t* a, const uint8_t* b) {
    for (size_t i = 0; i < kFrameSize; ++i) {
        size_t block = (i % 12000) / 80;
        bool audio = block >= 6 && (block - 6) % 16 == 0 && i % 80 >= 3;
        if (!audio && a[i] != b[i]) return false;
    }
    return true;
}

// Compares every frame of two DV files; exact, or the video bytes only.
void compareFrames(const fs::path& a, const fs::path& b, bool exact) {
    media::DvMediaFile fa, fb;
    ASSERT_TRUE(fa.open(a.string())) << a;
    ASSERT_TRUE(fb.open(b.string())) << b;
    ASSERT_EQ(fa.frameCount(), kFrames) << a;
    ASSERT_EQ(fb.frameCount(), kFrames) << b;
    Bytes x(kFrameSize), y(kFrameSize);
    int64_t differing = 0;
    for (int64_t n = 0; n < kFrames; ++n) {
        ASSERT_TRUE(fa.readFrame(n, x.data())) << n;
        ASSERT_TRUE(fb.readFrame(n, y.data())) << n;
        bool same = exact ? x == y : sameVideo(x.data(), y.data());
        if (!same && differing++ < 5) ADD_FAILURE() << "frame " << n << " differs";
    }
    EXPECT_EQ(differing, 0);
}

TEST(SlowLargeAvi, ConvertsAndReadsBackPastFourGigabytes) {
    WorkDir dir;
    gen::ClipSpec desc = gen::palClip(kFrames);
    desc.audio.tone = true;
    const fs::path t2 = dir.path / "big2.avi", t1 = dir.path / "big1.avi", raw = dir.path / "big.dv",
                   back = dir.path / "back2.avi", wav = dir.path / "back2.wav";
    ASSERT_TRUE(gen::writeClip(desc, t2.string(), gen::Container::Avi2));
    ASSERT_GT(fs::file_size(t2), 4ull << 30);

    // Type 2 to Type 1: the audio stream joined into the frames, the video bytes untouched.
    ASSERT_TRUE(convert(t2, t1, ConvertTarget::kAviType1));
    ASSERT_GT(fs::file_size(t1), 4ull << 30);
    compareFrames(t2, t1, false);
    // ffprobe walks every packet of the OpenDML file (an interleaved stream has no frame count of its own).
    EXPECT_EQ(run("ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets "
                  "-of csv=p=0 '" +
                  t1.string() + "'"),
              std::to_string(kFrames));
    EXPECT_EQ(run("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + t1.string() + "'"), "1200.000000");
    EXPECT_EQ(run("mediainfo --Inform='Video;%FrameCount%' '" + t1.string() + "'"), std::to_string(kFrames));
    {
        media::DvMediaFile f;
        ASSERT_TRUE(f.open(t1.string()));
        EXPECT_EQ(f.fileType(), media::FileType::kAviType1);
        media::AviChunks chunks(f.file().fd(), media::FileType::kAviType1);
        EXPECT_EQ(chunks.premiereTimecode(), "00:00:00:00");
    }
    fs::remove(t2);

    // Type 1 to Raw DV: exactly the frames.
    ASSERT_TRUE(convert(t1, raw, ConvertTarget::kRawDv));
    EXPECT_EQ(fs::file_size(raw), uint64_t(kFrames) * kFrameSize);
    compareFrames(t1, raw, true);
    fs::remove(t1);

    // Raw DV to Type 2: the frames whole, the audio stream from their audio blocks.
    ASSERT_TRUE(convert(raw, back, ConvertTarget::kAviType2));
    compareFrames(raw, back, true);
    EXPECT_EQ(
        run("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 '" + back.string() + "'"),
        "pcm_s16le");
    fs::remove(raw);

    // The WAV holds the generator's tone from the first sample to the last.
    AudioExtractJob job(back.string(), wav.string());
    ASSERT_TRUE(job.build());
    ASSERT_TRUE(job.start());
    ASSERT_TRUE(job.wait());
    ASSERT_EQ(fs::file_size(wav), 44 + uint64_t(kFrames) * 1920 * 4);
    std::ifstream in(wav, std::ios::binary);
    in.seekg(44);
    std::vector<int16_t> expected(2 * 1920);
    Bytes got(4 * 1920);
    int64_t differing = 0;
    for (int64_t n = 0; n < kFrames; ++n) {
        gen::toneSamples(desc, 0, gen::audioSampleStart(desc, n), 1920, expected.data());
        in.read(reinterpret_cast<char*>(got.data()), std::streamsize(got.size()));
        ASSERT_TRUE(in) << n;
        for (size_t i = 0; i < expected.size(); ++i) {
            int16_t v = int16_t(got[2 * i] | got[2 * i + 1] << 8);
            if (v != expected[i]) {
                if (differing++ < 5) ADD_FAILURE() << "frame " << n << " sample " << i / 2;
                break;
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace zorv::tools
