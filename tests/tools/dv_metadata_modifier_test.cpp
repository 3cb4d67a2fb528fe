// DvMetadataModifier on generated camcorder clips: what changes in the file and what must not, both
// modes, the timecode and calendar rules over whole files, the Premiere list, failures and cancel.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "media/avi_chunks.h"
#include "media/file_io.h"
#include "modify_test_util.h"
#include "tools/dv_metadata_modifier.h"
#include "tools/premiere_timecode.h"

namespace zorv::tools {
namespace {

using namespace zorv::tools::test;

// Puts a Premiere timecode list into the reserved list of a generated AVI.
void addTdat(const std::string& path, const char* reel = "Reel 7") {
    media::File f;
    ASSERT_TRUE(f.open(path, media::File::Mode::kReadWrite));
    ASSERT_TRUE(media::writeTimecodeList(f.fd(), media::timecodeText(0, 0, 0, 0, false), reel));
}

std::string premiereText(const std::string& path) {
    media::File f;
    if (!f.open(path)) return {};
    media::AviChunks chunks(f.fd(), media::FileType::kAviType1);
    return chunks.premiereTimecode().value_or("");
}

core::Status modify(const ModifySettings& s, const std::string& in, const std::string& out) {
    DvMetadataModifier m;
    m.setSettings(s);
    m.setInputPath(in);
    m.setOutputPath(out);
    m.setOverwrite(true);
    if (!m.open()) return m.status();
    EXPECT_TRUE(m.start());
    return m.wait();
}

ModifySettings startTimecode(int h, int m, int s, int f) {
    ModifySettings st;
    st.timecodeEnabled = true;
    st.timecodeMode = core::ModifyMode::kStartFrom;
    st.tcHours = h, st.tcMinutes = m, st.tcSeconds = s, st.tcFrames = f;
    return st;
}

// Every byte that differs between a and b lies in a pack slot of a frame (or, with the list, in the
// data of the Premiere timecode entries). Returns the number of differing bytes.
size_t expectOnlyPacksDiffer(const std::string& a, const std::string& b, bool subcodeOnly = false) {
    const Bytes x = readBytes(a), y = readBytes(b);
    EXPECT_EQ(x.size(), y.size());
    std::vector<uint8_t> allowed(x.size(), 0);
    const size_t seqs = frameBytes(a, 0).size() / core::dv::kSequenceSize;
    std::vector<size_t> slots = packSlots();
    if (subcodeOnly) slots.resize(12);
    for (int64_t pos : framePositions(a)) {
        if (pos < 0) continue;
        for (size_t s = 0; s < seqs; ++s)
            for (size_t off : slots)
                for (size_t k = 0; k < 5; ++k) allowed[pos + s * core::dv::kSequenceSize + off + k] = 1;
    }
    media::File f;
    EXPECT_TRUE(f.open(a));
    if (auto t = findTdatList(f)) {
        // tc_O and tc_A data of our 160-byte list.
        for (size_t k = 0; k < 12; ++k) {
            allowed[t->listPos + 20 + k] = 1;
            allowed[t->listPos + 46 + k] = 1;
        }
    }
    size_t diffs = 0;
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
        if (x[i] == y[i]) continue;
        ++diffs;
        if (!allowed[i]) {
            ADD_FAILURE() << "byte " << i << " changed outside the rewritten packs";
            break;
        }
    }
    return diffs;
}

class DvMetadataModifierTest : public ::testing::Test {
protected:
    ModifyScratch dir;
};

TEST_F(DvMetadataModifierTest, OutputKeepsEveryByteOutsideRewrittenPacksAndDirectModeMatchesIt) {
    gen::ClipSpec clip = gen::palClip(40);
    clip.userBits = 0x01020304;
    clip.dropped = {7};
    clip.riffLimit = 2 * 1000 * 1000;  // several RIFF chunks: spans cross AVIX headers and indexes
    for (auto container : {gen::Container::Avi1, gen::Container::Avi2}) {
        const std::string in =
            clipCopy(container == gen::Container::Avi1 ? "mod-all-1" : "mod-all-2", clip, container, dir.file("in.avi"));
        ASSERT_FALSE(in.empty());
        addTdat(in);
        const Bytes original = readBytes(in);

        ModifySettings s = startTimecode(10, 0, 0, 0);
        s.dateTimeEnabled = true;
        s.dateTimeMode = core::ModifyMode::kAdjustBy;
        s.hours = 1;
        s.userBitsEnabled = true;
        s.userBits = {0x12, 0x34, 0x56, 0x78};
        s.widescreenEnabled = true;
        s.widescreenValue = core::WidescreenTarget::kWide16x9;
        const std::string out = dir.file("out.avi");
        ASSERT_TRUE(modify(s, in, out).ok());
        EXPECT_EQ(readBytes(in), original) << "output-file mode wrote to its input";
        EXPECT_GT(expectOnlyPacksDiffer(in, out), 0u);

        auto tc = timecodeOf(out, 0);
        EXPECT_EQ(tc.hours, 10);
        EXPECT_EQ(tc.frames, 0);
        tc = timecodeOf(out, 39);  // frame 7 is dropped: the count runs over written frames
        EXPECT_EQ(tc.seconds, 1);
        EXPECT_EQ(tc.frames, 13);
        const auto dt = dateTimeOf(out, 0);
        EXPECT_EQ(dt.hours, 11);
        EXPECT_EQ(dt.minutes, 30);
        EXPECT_EQ(premiereText(out), "10:00:00:00");
        const Bytes f0 = frameBytes(out, 0);
        EXPECT_EQ(f0[core::dv::subcodePackOffset(1) + 1], 0x78);
        EXPECT_EQ(f0[core::dv::subcodePackOffset(1) + 4], 0x12);

        // Direct mode on a copy gives the same bytes as the output file.
        DvMetadataModifier direct;
        direct.setSettings(s);
        direct.setInputPath(in);
        ASSERT_TRUE(direct.open());
        ASSERT_TRUE(direct.start());
        ASSERT_TRUE(direct.wait().ok());
        EXPECT_TRUE(readBytes(in) == readBytes(out));
        std::filesystem::remove(in);
    }
}

TEST_F(DvMetadataModifierTest, StartFromCountsOnAndWrapsAtMidnight) {
    const std::string in = gen::cachedClip("mod-pal10", gen::palClip(10), gen::Container::Avi1);
    const std::string out = dir.file("out.avi");
    ASSERT_TRUE(modify(startTimecode(23, 59, 59, 20), in, out).ok());
    auto tc = timecodeOf(out, 4);
    EXPECT_EQ((std::array{tc.hours, tc.minutes, tc.seconds, tc.frames}), (std::array{23, 59, 59, 24}));
    tc = timecodeOf(out, 5);
    EXPECT_EQ((std::array{tc.hours, tc.minutes, tc.seconds, tc.frames}), (std::array{0, 0, 0, 0}));
}

TEST_F(DvMetadataModifierTest, DropFrameStartSkipsLabelsThatDoNotExist) {
    const std::string in = gen::cachedClip("mod-ntsc-df", gen::ntscClip(4, true), gen::Container::Avi2);
    const std::string out = dir.file("out.avi");
    ASSERT_TRUE(modify(startTimecode(0, 1, 0, 0), in, out).ok());
    auto tc = timecodeOf(out, 0);
    EXPECT_TRUE(tc.dropFrame);
    EXPECT_EQ((std::array{tc.minutes, tc.seconds, tc.frames}), (std::array{1, 0, 2}));
    EXPECT_EQ(premiereText(out), "");  // the clip has no list: nothing written, no failure
    ASSERT_TRUE(modify(startTimecode(0, 10, 0, 0), in, out).ok());
    tc = timecodeOf(out, 0);
    EXPECT_EQ((std::array{tc.minutes, tc.seconds, tc.frames}), (std::array{10, 0, 0}));
}

TEST_F(DvMetadataModifierTest, AdjustByWrapsTheDayWithoutTouchingTheDate) {
    gen::ClipSpec clip = gen::palClip(3);
    clip.runs = {gen::Run{0, gen::Timecode{0, 30, 0, 0}, 1, gen::DateTime{2011, 6, 15, 10, 30, 0}}};
    const std::string in = gen::cachedClip("mod-adjust", clip, gen::Container::Avi1);
    const std::string out = dir.file("out.avi");
    ModifySettings s;
    s.timecodeEnabled = true;
    s.timecodeMode = core::ModifyMode::kAdjustBy;
    s.tcHours = -1;
    ASSERT_TRUE(modify(s, in, out).ok());
    auto tc = timecodeOf(out, 2);
    EXPECT_EQ((std::array{tc.hours, tc.minutes, tc.seconds, tc.frames}), (std::array{23, 30, 0, 2}));
    EXPECT_EQ(dateTimeOf(out, 2).day, 15);
}

TEST_F(DvMetadataModifierTest, DateStartFromAddsADayAtEachMidnightButNotAtTheFirstFrame) {
    const std::string in = gen::cachedClip("mod-pal60", gen::palClip(60), gen::Container::Avi1);
    const std::string out = dir.file("out.avi");
    ModifySettings s;
    s.dateTimeEnabled = true;
    s.dateTimeMode = core::ModifyMode::kStartFrom;
    s.years = 8, s.months = 12, s.days = 31, s.hours = 23, s.minutes = 59, s.seconds = 59;
    ASSERT_TRUE(modify(s, in, out).ok());
    auto dt = dateTimeOf(out, 24);
    EXPECT_EQ((std::array{dt.year, dt.month, dt.day, dt.hours, dt.minutes, dt.seconds}),
              (std::array{2008, 12, 31, 23, 59, 59}));
    dt = dateTimeOf(out, 25);
    EXPECT_EQ((std::array{dt.year, dt.month, dt.day, dt.hours, dt.minutes, dt.seconds}), (std::array{2009, 1, 1, 0, 0, 0}));
    dt = dateTimeOf(out, 59);
    EXPECT_EQ((std::array{dt.day, dt.seconds}), (std::array{1, 1}));

    // Year 00 is 2000, a leap year (1900 was not): 29 February stays; no midnight at frame 0.
    s.years = 0, s.months = 2, s.days = 29, s.hours = 0, s.minutes = 0, s.seconds = 0;
    ASSERT_TRUE(modify(s, in, out).ok());
    dt = dateTimeOf(out, 0);
    EXPECT_EQ((std::array{dt.year, dt.month, dt.day}), (std::array{2000, 2, 29}));
}

TEST_F(DvMetadataModifierTest, NonDropToDropRelabelsSubcodePacksOnly) {
    gen::ClipSpec clip = gen::ntscClip(3, false);
    clip.runs = {gen::Run{0, gen::Timecode{0, 1, 0, 0}, 1, gen::DateTime{}}};
    const std::string in = gen::cachedClip("mod-ntsc-ndf", clip, gen::Container::Avi1);
    const std::string out = dir.file("out.avi");
    ModifySettings s;
    s.timecodeKindEnabled = true;
    s.dropFrameWanted = true;
    ASSERT_TRUE(modify(s, in, out).ok());
    const auto tc = timecodeOf(out, 0);
    EXPECT_TRUE(tc.dropFrame);
    EXPECT_EQ((std::array{tc.minutes, tc.seconds, tc.frames}), (std::array{1, 0, 2}));
    EXPECT_GT(expectOnlyPacksDiffer(in, out, true), 0u);
}

TEST_F(DvMetadataModifierTest, FileNameDateStartsTheClock) {
    const std::string in =
        clipCopy("mod-pal10", gen::palClip(10), gen::Container::Avi1, dir.file("Holiday 08-07-15 14.30.05.avi"));
    ModifySettings s;
    s.dateTimeEnabled = true;
    s.dateTimeMode = core::ModifyMode::kFromFileName;
    const std::string out = dir.file("out.avi");
    ASSERT_TRUE(modify(s, in, out).ok());
    const auto dt = dateTimeOf(out, 0);
    EXPECT_EQ((std::array{dt.year, dt.month, dt.day, dt.hours, dt.minutes, dt.seconds}),
              (std::array{2008, 7, 15, 14, 30, 5}));

    const std::string bad = clipCopy("mod-pal10", gen::palClip(10), gen::Container::Avi1, dir.file("Holiday 8-7-15.avi"));
    const core::Status st = modify(s, bad, out);
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(st.message, kNoNameDateTimeMessage + bad);
}

TEST_F(DvMetadataModifierTest, RefusesFilesThatAreNotDvAvi) {
    const std::string raw = gen::cachedClip("mod-raw", gen::palClip(3), gen::Container::RawDv);
    const std::string text = dir.file("notes.txt");
    writeBytes(text, Bytes(200000, 'x'));
    for (const std::string& in : {raw, text}) {
        DvMetadataModifier m;
        m.setSettings(startTimecode(1, 0, 0, 0));
        m.setInputPath(in);
        m.setOutputPath(dir.file("out.avi"));
        EXPECT_FALSE(m.open());
        EXPECT_EQ(m.status().message, kModifyTypeNotSupported);
        EXPECT_FALSE(m.start());
    }
    DvMetadataModifier missing;
    missing.setInputPath(dir.file("none.avi"));
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.status().message, kModifyOpenFailed);
    EXPECT_EQ(missing.status().code, core::ErrorCode::kOpenFailed);
}

TEST_F(DvMetadataModifierTest, FailedWriteIsReportedAndInputUntouched) {
    const std::string in = clipCopy("mod-pal10", gen::palClip(10), gen::Container::Avi2, dir.file("in.avi"));
    const Bytes original = readBytes(in);
    bool failedFlag = false;
    DvMetadataModifier m;
    m.setSettings(startTimecode(1, 0, 0, 0));
    m.setInputPath(in);
    m.setOutputPath(dir.file("out.avi"));
    m.setCompletion([&](bool failed) { failedFlag = failed; });
    ASSERT_TRUE(m.open());
    // A disk that fills up: writes past 100 kB fail (EFBIG) while the limit holds.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_TRUE(m.start());
    const core::Status st = m.wait();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.avi")));
    EXPECT_EQ(st.code, core::ErrorCode::kWriteFailed);
    EXPECT_EQ(st.message, kModifyWriteFailed);
    EXPECT_NE(st.sysError, 0);
    EXPECT_TRUE(failedFlag);
    EXPECT_EQ(readBytes(in), original);

    // The output may not be the input itself.
    EXPECT_EQ(modify(startTimecode(1, 0, 0, 0), in, in).code, core::ErrorCode::kOutputIsInput);
    EXPECT_EQ(readBytes(in), original);
}

TEST_F(DvMetadataModifierTest, CancelLeavesNoOutputAndPostsNothing) {
    const std::string in = clipCopy("mod-pal60", gen::palClip(60), gen::Container::Avi1, dir.file("in.avi"));
    const Bytes original = readBytes(in);

    // Cancelled before the first frame: no output, not even a partial one, and the input is unchanged.
    {
        bool notified = false;
        DvMetadataModifier m;
        m.setSettings(startTimecode(5, 0, 0, 0));
        m.setInputPath(in);
        m.setOutputPath(dir.file("out.avi"));
        m.setCompletion([&](bool) { notified = true; });
        ASSERT_TRUE(m.open());
        m.abort();
        ASSERT_TRUE(m.start());
        EXPECT_EQ(m.wait().code, core::ErrorCode::kCancelled);
        EXPECT_FALSE(notified);
        EXPECT_EQ(m.framesDone(), 0);
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.avi")));
        EXPECT_EQ(readBytes(in), original);
    }
    // Direct mode cancelled in the middle: the frames done carry the new timecode, the rest the old.
    const std::string big = clipCopy("mod-pal400", gen::palClip(400), gen::Container::Avi1, dir.file("big.avi"));
    DvMetadataModifier m;
    m.setSettings(startTimecode(5, 0, 0, 0));
    m.setInputPath(big);
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.start());
    while (m.framesDone() < 3 && !m.finished()) std::this_thread::yield();
    m.abort();
    const core::Status st = m.wait();
    const int64_t done = m.framesDone();
    if (st.code != core::ErrorCode::kCancelled) GTEST_SKIP() << "the run ended before the cancel";
    ASSERT_GT(done, 0);
    ASSERT_LT(done, 400);
    EXPECT_EQ(timecodeOf(big, done - 1).hours, 5);
    EXPECT_EQ(timecodeOf(big, done).hours, 0);
}

TEST_F(DvMetadataModifierTest, FfprobeAndExifToolReadTheNewValues) {
    if (!haveTool("ffprobe") || !haveTool("ffmpeg")) GTEST_SKIP() << "ffprobe not installed";
    const std::string in = clipCopy("mod-pal10", gen::palClip(10), gen::Container::Avi1, dir.file("in.avi"));
    // ExifTool finds the recording date only with the video source pack where camcorders put it in
    // sequence 0 (VAUX pack 9 of block 5); the generator puts it first in each block.
    {
        media::File f;
        ASSERT_TRUE(f.open(in, media::File::Mode::kReadWrite));
        const int64_t pos = framePositions(in)[0];
        uint8_t vs[5];
        ASSERT_TRUE(f.readExact(pos + core::dv::vauxPackOffset(0), vs, 5));
        ASSERT_EQ(vs[0], 0x60);
        ASSERT_TRUE(f.writeAt(pos + core::dv::vauxPackOffset(39), vs, 5));
    }
    ModifySettings s = startTimecode(10, 0, 0, 0);
    s.dateTimeEnabled = true;
    s.dateTimeMode = core::ModifyMode::kStartFrom;
    s.years = 9, s.months = 2, s.days = 28, s.hours = 18, s.minutes = 45, s.seconds = 30;
    const std::string out = dir.file("out.avi");
    ASSERT_TRUE(modify(s, in, out).ok());
    const std::string dv = dir.file("out.dv");
    ASSERT_EQ(run("ffmpeg -v error -y -i '" + out + "' -map 0:v -c copy -f rawvideo '" + dv + "'").status, 0);
    const auto probe = run("ffprobe -v error -show_entries format_tags=timecode -of default=nw=1:nk=1 '" + dv + "'");
    EXPECT_NE(probe.output.find("10:00:00:00"), std::string::npos) << probe.output;
    if (!haveTool("exiftool")) GTEST_SKIP() << "exiftool not installed";
    const auto exif = run("exiftool -s3 -DateTimeOriginal '" + dv + "'");
    EXPECT_NE(exif.output.find("2009:02:28 18:45:30"), std::string::npos) << exif.output;
}

}  // namespace
}  // namespace zorv::tools
