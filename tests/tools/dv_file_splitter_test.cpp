// Splitting generated camcorder clips with known jumps: the outputs' frames, names, timecode lists,
// reels, dates, log and batch list, checked also with ffprobe and MediaInfo.
#include "tools/dv_file_splitter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "gen/clip_writer.h"
#include "media/avi_audio_reader.h"
#include "media/avi_chunks.h"
#include "media/dv_media_file.h"

namespace zorv::tools {
namespace {

namespace fs = std::filesystem;

uint64_t frameHash(const uint8_t* p, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Hashes of the frames a split sees: the source's whole frames (Type 2 joined with its audio).
std::vector<uint64_t> sourceFrames(const std::string& path) {
    DvFrameSource src;
    EXPECT_TRUE(src.open(path, true));
    std::vector<uint64_t> out;
    DvFrame f;
    while (src.next(f)) out.push_back(frameHash(f.data, src.frameSize()));
    return out;
}

std::vector<uint64_t> fileFrames(const std::string& path, int* type = nullptr) {
    media::DvMediaFile file;
    EXPECT_TRUE(file.open(path)) << path;
    if (type) *type = static_cast<int>(file.fileType());
    std::vector<uint64_t> out;
    std::vector<uint8_t> buf(file.frameSize());
    for (int64_t n = 0; n < file.frameCount(); ++n) {
        EXPECT_TRUE(file.readFrame(n, buf.data()));
        out.push_back(frameHash(buf.data(), buf.size()));
    }
    return out;
}

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TdatValues {
    std::string timecode, reel;
};
TdatValues tdatOf(const std::string& path) {
    media::File f;
    EXPECT_TRUE(f.open(path));
    media::AviChunks chunks(f.fd(), media::FileType::kAviType1);
    TdatValues v;
    v.timecode = chunks.premiereTimecode().value_or("");
    v.reel = chunks.reelName().value_or("");
    return v;
}

std::vector<uint8_t> audioStream(const std::string& path) {
    media::File f;
    EXPECT_TRUE(f.open(path)) << path;
    media::AviAudioReader reader;
    EXPECT_TRUE(reader.open(f));
    std::vector<uint8_t> out;
    while (reader.read(out, 1 << 20) > 0) {
    }
    return out;
}

class DvFileSplitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zorv_split_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string clip(const gen::ClipSpec& desc, gen::Container c, const std::string& name = "Clip.avi",
                     gen::IndexStyle style = gen::IndexStyle::OpenDml) {
        std::string path = (dir_ / name).string();
        EXPECT_TRUE(gen::writeClip(desc, path, c, style));
        return path;
    }

    // Checks that the outputs hold exactly the input frames (those listed in kept, in order).
    void expectFrames(const std::vector<SplitOutputFile>& outputs, const std::vector<uint64_t>& input,
                      const std::vector<std::pair<int, int>>& ranges, int wantType) {
        ASSERT_EQ(outputs.size(), ranges.size());
        for (size_t k = 0; k < outputs.size(); ++k) {
            int type = 0;
            auto got = fileFrames(outputs[k].path, &type);
            EXPECT_EQ(type, wantType);
            std::vector<uint64_t> want(input.begin() + ranges[k].first, input.begin() + ranges[k].second);
            EXPECT_EQ(got, want) << outputs[k].path;
            EXPECT_EQ(outputs[k].frames, static_cast<int64_t>(want.size()));
        }
    }

    fs::path dir_;
};

TEST_F(DvFileSplitterTest, TimecodeJumpsGiveExactFilesWithTimecodeListReelAndDate) {
    gen::ClipSpec desc = gen::palClip(120);
    desc.runs = {gen::Run{0, gen::Timecode{0, 0, 10, 0}, 1, gen::DateTime{2011, 6, 15, 10, 30, 0}},
                 gen::Run{40, gen::Timecode{0, 5, 0, 0}, 1, gen::DateTime{2011, 6, 15, 11, 0, 0}},
                 gen::Run{80, gen::Timecode{0, 4, 0, 0}, 1, gen::DateTime{2012, 1, 2, 3, 4, 5}}};
    std::string input = clip(desc, gen::Container::Avi1);

    SplitSettings s;
    s.reelName = "Tape";
    DvFileSplitter splitter;
    splitter.setSettings(s);
    std::vector<std::string> texts;
    splitter.setFileCallback([&](const std::string& t) { texts.push_back(t); });
    core::Status st = splitter.run(input);
    ASSERT_TRUE(st) << st.message;
    EXPECT_EQ(splitter.totalFrames(), 120);
    EXPECT_EQ(splitter.progress().done(), 120);

    const auto& outs = splitter.outputs();
    expectFrames(outs, sourceFrames(input), {{0, 40}, {40, 80}, {80, 120}}, 1);
    ASSERT_EQ(outs.size(), 3u);
    EXPECT_EQ(fs::path(outs[0].path).filename(), "Clip 00.00.10.00.avi");
    EXPECT_EQ(fs::path(outs[1].path).filename(), "Clip 00.05.00.00.avi");
    EXPECT_EQ(fs::path(outs[2].path).filename(), "Clip 00.04.00.00.avi");
    EXPECT_EQ(texts.at(0), "Splitting to output file #1 ...\nClip 00.00.10.00.avi (Tape)");
    EXPECT_EQ(texts.at(2), "Splitting to output file #3 ...\nClip 00.04.00.00.avi (TapeA)");

    const char* wantTc[] = {"00:00:10:00", "00:05:00:00", "00:04:00:00"};
    const char* wantReel[] = {"Tape", "Tape", "TapeA"};
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(outs[k].timecodeListWritten);
        TdatValues v = tdatOf(outs[k].path);
        EXPECT_EQ(v.timecode, wantTc[k]);
        EXPECT_EQ(v.reel, wantReel[k]);
        EXPECT_EQ(run("ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames "
                      "-of default=nw=1:nk=1 '" +
                      outs[k].path + "'"),
                  "40");
        EXPECT_EQ(run("mediainfo --Inform='Video;%FrameCount%' '" + outs[k].path + "'"), "40");
    }

    // Date Modified is the first frame's recording time, read as local time.
    std::tm tm{};
    tm.tm_year = 112, tm.tm_mon = 0, tm.tm_mday = 2, tm.tm_hour = 3, tm.tm_min = 4, tm.tm_sec = 5, tm.tm_isdst = -1;
    struct stat sb {};
    ASSERT_EQ(::stat(outs[2].path.c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mtime, std::mktime(&tm));

    EXPECT_EQ(readText(splitter.batchListPath()),
              "\"Clip 00.00.10.00.avi\",\"00:00:10:00\",\"00:00:11:14\",40,\"Tape\"\r\n"
              "\"Clip 00.05.00.00.avi\",\"00:05:00:00\",\"00:05:01:14\",40,\"Tape\"\r\n"
              "\"Clip 00.04.00.00.avi\",\"00:04:00:00\",\"00:04:01:14\",40,\"TapeA\"\r\n");
    std::string log = readText(splitter.logPath());
    EXPECT_NE(log.find("Split file #3 created\r\nFile name: Clip 00.04.00.00.avi\r\nReel: TapeA\r\n"
                       "Start TC: 00:04:00:00\r\nEnd TC: 00:04:01:14\r\nFrames: 40\r\n"),
              std::string::npos);
}

TEST_F(DvFileSplitterTest, Type2InputGivesType2FilesAndSuccessiveReels) {
    gen::ClipSpec desc = gen::palClip(90);
    desc.runs = {gen::Run{0, gen::Timecode{1, 0, 0, 0}, 1, {}}, gen::Run{30, gen::Timecode{0, 30, 0, 0}, 1, {}},
                 gen::Run{60, gen::Timecode{0, 10, 0, 0}, 1, {}}};
    std::string input = clip(desc, gen::Container::Avi2, "Clip.avi", gen::IndexStyle::Idx1FromMovi);
    SplitSettings s;
    s.reelName = "Tape";
    s.nameFormat = SplitNameFormat::kNumber;
    DvFileSplitter splitter;
    splitter.setSettings(s);
    ASSERT_TRUE(splitter.run(input));
    EXPECT_EQ(splitter.outputType(), media::AviType::kType2);
    expectFrames(splitter.outputs(), sourceFrames(input), {{0, 30}, {30, 60}, {60, 90}}, 2);
    EXPECT_EQ(tdatOf(splitter.outputs()[1].path).reel, "TapeA");
    EXPECT_EQ(tdatOf(splitter.outputs()[2].path).reel, "TapeB");
    EXPECT_EQ(fs::path(splitter.outputs()[2].path).filename(), "Clip 0003.avi");
    EXPECT_EQ(run("ffprobe -v error -show_entries stream=codec_type -of default=nw=1:nk=1 '" + splitter.outputs()[0].path +
                  "' | tr '\\n' ' '"),
              "video audio ");
}

// The outputs' audio streams carry the input's sound unchanged, whether joining it into the frames
// changed their audio blocks (12-bit camcorder sound under a 16-bit stream) or not; each output's
// last timecode is its last frame's.
TEST_F(DvFileSplitterTest, Type2OutputsCarryTheInputSoundAndEndTimecodes) {
    for (int bits : {16, 12}) {
        SCOPED_TRACE(bits);
        gen::ClipSpec desc = gen::palClip(100);
        desc.audio.tone = true;
        desc.audio.bits = bits;
        desc.audio.sampleRate = bits == 12 ? 32000 : 48000;
        desc.runs = {gen::Run{0, gen::Timecode{}, 1, {}}, gen::Run{37, gen::Timecode{0, 5, 0, 0}, 1, {}}};
        std::string input = clip(desc, gen::Container::Avi2, bits == 12 ? "Clip12.avi" : "Clip16.avi");
        DvFileSplitter splitter;
        ASSERT_TRUE(splitter.run(input));
        expectFrames(splitter.outputs(), sourceFrames(input), {{0, 37}, {37, 100}}, 2);
        std::vector<uint8_t> joined;
        for (const auto& out : splitter.outputs()) {
            std::vector<uint8_t> a = audioStream(out.path);
            joined.insert(joined.end(), a.begin(), a.end());
        }
        std::vector<uint8_t> want = audioStream(input);
        ASSERT_EQ(joined.size(), want.size());
        EXPECT_TRUE(joined == want);
        const auto& o = splitter.outputs();
        EXPECT_EQ(std::vector<int>({o[0].endHours, o[0].endMinutes, o[0].endSeconds, o[0].endFrames}),
                  std::vector<int>({0, 0, 1, 11}));
        EXPECT_EQ(std::vector<int>({o[1].endHours, o[1].endMinutes, o[1].endSeconds, o[1].endFrames}),
                  std::vector<int>({0, 5, 2, 12}));
    }
}

TEST_F(DvFileSplitterTest, PrerollDropsTheFirstSecondOfEveryFile) {
    gen::ClipSpec desc = gen::palClip(100);
    desc.runs = {gen::Run{0, gen::Timecode{}, 1, {}}, gen::Run{50, gen::Timecode{2, 0, 0, 0}, 1, {}}};
    std::string input = clip(desc, gen::Container::Avi1);
    SplitSettings s;
    s.prerollSeconds = 1;
    DvFileSplitter splitter;
    splitter.setSettings(s);
    ASSERT_TRUE(splitter.run(input));
    expectFrames(splitter.outputs(), sourceFrames(input), {{25, 50}, {75, 100}}, 1);
    // Names and timecode lists follow the first kept frame.
    EXPECT_EQ(fs::path(splitter.outputs()[1].path).filename(), "Clip 02.00.01.00.avi");
    EXPECT_EQ(tdatOf(splitter.outputs()[1].path).timecode, "02:00:01:00");
}

TEST_F(DvFileSplitterTest, NothingLeftAfterPrerollCreatesNoFiles) {
    std::string input = clip(gen::palClip(20), gen::Container::Avi1);
    SplitSettings s;
    s.prerollSeconds = 1;
    DvFileSplitter splitter;
    splitter.setSettings(s);
    core::Status st = splitter.run(input);
    EXPECT_FALSE(st);
    EXPECT_TRUE(splitter.noFilesCreated());
    EXPECT_EQ(st.message, "No frames were found in the input file after applying pre-roll delay.");
    for (const auto& e : fs::directory_iterator(dir_))
        EXPECT_TRUE(e.path().filename() == "Clip.avi" || e.path().extension() != ".avi") << e.path();
}

TEST_F(DvFileSplitterTest, ExistingNamesGetACounter) {
    gen::ClipSpec desc = gen::palClip(20);
    desc.runs = {gen::Run{0, gen::Timecode{}, 1, {}}, gen::Run{10, gen::Timecode{0, 1, 0, 0}, 1, {}}};
    std::string input = clip(desc, gen::Container::Avi1);
    std::ofstream((dir_ / "Clip 0001.avi").string()).put('x');
    std::ofstream((dir_ / "Clip.log").string()).put('x');
    SplitSettings s;
    s.nameFormat = SplitNameFormat::kNumber;
    DvFileSplitter splitter;
    splitter.setSettings(s);
    ASSERT_TRUE(splitter.run(input));
    ASSERT_EQ(splitter.outputs().size(), 2u);
    EXPECT_EQ(fs::path(splitter.outputs()[0].path).filename(), "Clip 0001 (1).avi");
    EXPECT_EQ(fs::path(splitter.outputs()[1].path).filename(), "Clip 0002.avi");
    EXPECT_EQ(fs::path(splitter.logPath()).filename(), "Clip (1).log");
    EXPECT_EQ(fs::path(splitter.batchListPath()).filename(), "Clip.csv");
    EXPECT_EQ(fs::file_size(dir_ / "Clip 0001.avi"), 1u);
}

// The writing side stalls: no frame is lost. The long stall at the end of the first file lets the
// reading side run through the pre-roll of the next one, tens of MB, and on through several windows of
// its map of the input: frames still waiting to be written must not be written from a part of the map
// that has since moved on.
TEST_F(DvFileSplitterTest, StalledWriterLosesNoFrames) {
    gen::ClipSpec desc = gen::palClip(700);
    desc.runs = {gen::Run{0, gen::Timecode{}, 1, {}}, gen::Run{300, gen::Timecode{0, 1, 0, 0}, 1, {}}};
    std::string input = clip(desc, gen::Container::Avi1);
    SplitSettings s;
    s.bufferSlots = 4;
    s.prerollSeconds = 10;
    DvFileSplitter splitter;
    splitter.setSettings(s);
    int64_t seen = 0;
    splitter.setFrameWrittenHook([&](int64_t n) {
        EXPECT_EQ(n, seen++);
        if (n < 20) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (n == 49) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    ASSERT_TRUE(splitter.run(input));
    EXPECT_EQ(seen, 200);
    expectFrames(splitter.outputs(), sourceFrames(input), {{250, 300}, {550, 700}}, 1);
}

TEST_F(DvFileSplitterTest, CancelStopsAndRemovesThePartialFile) {
    std::string input = clip(gen::palClip(60), gen::Container::Avi1);
    DvFileSplitter splitter;
    splitter.setFrameWrittenHook([&](int64_t n) {
        if (n == 10) splitter.progress().cancel();
    });
    core::Status st = splitter.run(input);
    EXPECT_EQ(st.code, core::ErrorCode::kCancelled);
    EXPECT_TRUE(splitter.outputs().empty());
    EXPECT_FALSE(fs::exists(dir_ / "Clip 00.00.00.00.avi"));
}

TEST_F(DvFileSplitterTest, RawDvInputIsRefused) {
    std::string input = clip(gen::palClip(5), gen::Container::RawDv, "Clip.dv");
    DvFileSplitter splitter;
    core::Status st = splitter.run(input);
    EXPECT_EQ(st.message, "Failed to create splitter source graph");
    EXPECT_FALSE(splitter.noFilesCreated());
}

TEST_F(DvFileSplitterTest, CommandLineSplitsIntoAFolder) {
    std::string input = clip(gen::sampleClip(), gen::Container::Avi1);
    fs::create_directories(dir_ / "out");
    std::string out =
        run(std::string(ZORV_CLI_PATH) + " split '" + input + "' --trigger datetime:1 --name datetime --reel R --out '" +
            (dir_ / "out").string() + "' 2>/dev/null");
    EXPECT_NE(out.find("Split complete."), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(dir_ / "out" / "Clip 2011-06-15 10.30.00.avi"));
    EXPECT_TRUE(fs::exists(dir_ / "out" / "Clip 2011-06-15 12.00.00.avi"));
    EXPECT_TRUE(fs::exists(dir_ / "out" / "Clip.csv"));
    EXPECT_NE(run(std::string(ZORV_CLI_PATH) + " split '" + input + "' --preroll 11 2>&1")
                  .find("Preroll delay must be in the range 0 to 10 seconds"),
              std::string::npos);
}

}  // namespace
}  // namespace zorv::tools
