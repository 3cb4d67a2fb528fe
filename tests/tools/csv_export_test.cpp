// The metadata CSV: the column text forms from packs, the row selection of the three modes, and
// whole exports of generated DV files (dropped frames, write failures, cancel).
#include "tools/csv_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "core/dv_decode.h"
#include "core/metadata_record.h"
#include "export_test_util.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"

namespace zorv::tools {
namespace {

using core::MetadataRecord;
using test::crlfLines;
using test::readAll;
using test::splitFields;

constexpr double kPalLine = 6.4e-05;

// A record as a camcorder frame would give it, with the video source pack of the system.
MetadataRecord palRecord() {
    MetadataRecord rec;
    rec.set(0x60, 0xFF, 0xFF, 0x20, 0xFF);  // PC3 bit 5: 50 fields
    return rec;
}
MetadataRecord ntscRecord() {
    MetadataRecord rec;
    rec.set(0x60, 0xFF, 0xFF, 0xDF, 0xFF);
    return rec;
}

std::vector<std::string> fieldsOf(const MetadataRecord& rec, const CsvExportSettings& s = {}, int64_t n = 0,
                                  core::DecodedValues* values = nullptr) {
    core::DecodedValues local;
    core::DecodedValues& v = values ? *values : local;
    core::decodeRecord(rec, v);
    CsvRowFormatter f(s, kPalLine);
    const std::string row(f.data(), f.format(n, rec, v));
    EXPECT_EQ(row.substr(row.size() - 2), "\r\n");
    return splitFields(row.substr(0, row.size() - 2));
}

enum Col {
    kPos,
    kTc,
    kUb,
    kDate,
    kTime,
    kShutter,
    kIris,
    kStab,
    kGain,
    kExpo,
    kWb,
    kFocusDist,
    kFocusMode,
    kSampling,
    kLock
};

TEST(CsvRow, FrameWithoutPacksIsPositionAndFourteenCommas) {
    MetadataRecord rec;
    core::DecodedValues v;
    core::decodeRecord(rec, v);  // decides style 2: nothing says otherwise
    CsvRowFormatter f({}, kPalLine);
    const std::string row(f.data(), f.format(37, rec, v));
    EXPECT_EQ(row, "00:00:01:12,,,,,,,,,,,,,,\r\n");
}

TEST(CsvRow, HeaderNamesFifteenColumns) {
    const std::string h = csvHeaderLine();
    ASSERT_EQ(h.substr(h.size() - 2), "\r\n");
    const auto names = splitFields(h.substr(0, h.size() - 2));
    ASSERT_EQ(names.size(), 15u);
    EXPECT_EQ(names[0], "Position");
    EXPECT_EQ(names[1], "Timecode");
    EXPECT_EQ(names[14], "Audio Lock");
}

TEST(CsvRow, DateHasFourDigitYearsInEachOrder) {
    struct Case {
        uint8_t yearByte;
        const char* year;
    } cases[] = {{0x09, "2009"}, {0x98, "1998"}, {0x89, "2089"}, {0x69, "2069"}, {0x70, "2070"}};
    for (const Case& c : cases) {
        MetadataRecord rec = palRecord();
        rec.set(0x62, 0xFF, 0x31, 0x12, c.yearByte);  // 31 December
        CsvExportSettings s;
        s.dateFormat = core::DateFormat::kDayMonthYear;
        EXPECT_EQ(fieldsOf(rec, s)[kDate], std::string("31/12/") + c.year);
        s.dateFormat = core::DateFormat::kMonthDayYear;
        EXPECT_EQ(fieldsOf(rec, s)[kDate], std::string("12/31/") + c.year);
        s.dateFormat = core::DateFormat::kYearMonthDay;
        EXPECT_EQ(fieldsOf(rec, s)[kDate], std::string(c.year) + "-12-31");
    }
    // Day and month tens use only their own bits; a units digit above 9 in the year hides the date.
    MetadataRecord rec = palRecord();
    rec.set(0x62, 0xFF, 0xC5, 0xF1, 0x11);
    EXPECT_EQ(fieldsOf(rec)[kDate], "05/11/2011");
    rec.set(0x62, 0xFF, 0x05, 0x01, 0x1A);
    EXPECT_EQ(fieldsOf(rec)[kDate], "");
}

TEST(CsvRow, RecordingTimeAndUserBits) {
    MetadataRecord rec = palRecord();
    rec.set(0x63, 0xFF, 0xD9, 0x85, 0xE3);  // high bits set as camcorders do
    rec.set(0x14, 0x01, 0x23, 0x45, 0x67);
    auto f = fieldsOf(rec);
    EXPECT_EQ(f[kTime], "23:05:59");
    EXPECT_EQ(f[kUb], "67:45:23:01");
    rec.set(0x63, 0xFF, 0x00, 0x00, 0x0B);
    EXPECT_EQ(fieldsOf(rec)[kTime], "");
}

TEST(CsvRow, IrisForms) {
    struct Case {
        int code;
        const char* text;
    } cases[] = {{13, "3.1"}, {40, "32"}, {61, "<1"}, {62, "CLOSE"}, {63, ""}, {0, "1.0"}, {27, "10"}, {60, "181"}};
    for (const Case& c : cases) {
        MetadataRecord rec = palRecord();
        rec.set(0x70, static_cast<uint8_t>(0xC0 | c.code), 0x01, 0x00, 0x0D);
        EXPECT_EQ(fieldsOf(rec)[kIris], c.text) << "code " << c.code;
    }
}

TEST(CsvRow, FocusForms) {
    struct Case {
        uint8_t byte;
        const char* distance;
        const char* mode;
    } cases[] = {{0xFF, "", ""},       {0x7F, "INF", "AUTO"}, {0x0D, "0.30", "AUTO"}, {0x8D, "0.30", "MANL"},
                 {0x56, "21", "AUTO"}, {0x1E, "7.0", "AUTO"}, {0x04, "0.01", "AUTO"}};
    for (const Case& c : cases) {
        MetadataRecord rec = palRecord();
        rec.set(0x70, 0xC5, 0x01, 0x00, c.byte);
        auto f = fieldsOf(rec);
        EXPECT_EQ(f[kFocusDist], c.distance) << std::hex << int(c.byte);
        EXPECT_EQ(f[kFocusMode], c.mode) << std::hex << int(c.byte);
    }
}

TEST(CsvRow, CameraAndAudioColumns) {
    MetadataRecord rec = palRecord();
    rec.set(0x70, 0xC5, 0x40, 0x64, 0x0D);  // exposure MANL, gain -3 dB, white balance preset sunlight
    rec.set(0x71, 0xFF, 0x80, 0xFF, 0xFF);  // stabilizer off
    rec.set(0x7F, 0xFF, 0xFF, 0x38, 0x01);  // shutter code 312
    rec.set(0x50, 0x80, 0xFF, 0xFF, 0xC8);  // unlocked, 44.1 kHz
    auto f = fieldsOf(rec);
    EXPECT_EQ(f[kExpo], "MANL");
    EXPECT_EQ(f[kGain], "-3");
    EXPECT_EQ(f[kWb], "SUNLGT");
    EXPECT_EQ(f[kStab], "OFF");
    EXPECT_EQ(f[kShutter], "50");
    EXPECT_EQ(f[kSampling], "44.1");
    EXPECT_EQ(f[kLock], "UNLOCKED");

    rec.set(0x70, 0xC5, 0x5E, 0x7F, 0x0D);  // exposure 5 is out of range, gain 14; lighting 31
    rec.set(0x71, 0xFF, 0x00, 0xFF, 0xFF);
    rec.set(0x7F, 0xFF, 0xFF, 0xFF, 0xFF);
    rec.set(0x50, 0x00, 0xFF, 0xFF, 0xD0);  // locked, 32 kHz
    f = fieldsOf(rec);
    EXPECT_EQ(f[kExpo], "");
    EXPECT_EQ(f[kGain], "39");
    EXPECT_EQ(f[kWb], "");
    EXPECT_EQ(f[kStab], "ON");
    EXPECT_EQ(f[kShutter], "");
    EXPECT_EQ(f[kSampling], "32");
    EXPECT_EQ(f[kLock], "LOCKED");

    const struct {
        uint8_t pc3;
        const char* text;
    } wb[] = {{0x1F, "AWB"}, {0x25, "HOLD"}, {0x40, "1-PUSH"}, {0x60, "CANDLE"}, {0x65, "CLOUDY"}, {0x66, ""}, {0x9F, ""}};
    for (const auto& c : wb) {
        rec.set(0x70, 0xC5, 0x01, c.pc3, 0x0D);
        EXPECT_EQ(fieldsOf(rec)[kWb], c.text) << std::hex << int(c.pc3);
    }
}

TEST(CsvRow, DropFrameSeparatorsFollowThisFramesFlag) {
    MetadataRecord rec = ntscRecord();
    rec.set(0x13, 0x42, 0x00, 0x01, 0x00);  // 00:01:00;02 with the drop-frame flag
    core::DecodedValues v;
    CsvExportSettings s;
    auto f = fieldsOf(rec, s, 1800, &v);
    ASSERT_EQ(v.timecodeStyle, 4);
    EXPECT_EQ(f[kPos], "00:01:00;02");
    EXPECT_EQ(f[kTc], "00:01:00;02");
    s.dropFrameFormat = core::DropFrameDisplay::kEverywhere;
    f = fieldsOf(rec, s, 17982, &v);
    EXPECT_EQ(f[kPos], "00;10;00;00");
    EXPECT_EQ(f[kTc], "00;01;00;02");

    // The same drop-frame file, a frame whose pack has no flag: colons only in both columns.
    rec.set(0x13, 0x02, 0x00, 0x01, 0x00);
    f = fieldsOf(rec, s, 1800, &v);
    EXPECT_EQ(f[kPos], "00:01:00:02");
    EXPECT_EQ(f[kTc], "00:01:00:02");

    // No timecode pack in this frame: the flag left in the entry by the last frame decides the position.
    rec.set(0x13, 0x42, 0x00, 0x01, 0x00);
    rec[0x13][0] = core::kNoPack;
    f = fieldsOf(rec, s, 1800, &v);
    EXPECT_EQ(f[kPos], "00;01;00;02");
    EXPECT_EQ(f[kTc], "");

    // 50-field material never uses drop-frame separators.
    MetadataRecord pal = palRecord();
    pal.set(0x13, 0x45, 0x59, 0x59, 0x23);
    EXPECT_EQ(fieldsOf(pal, s, 0)[kTc], "23:59:59:05");
}

TEST(CsvRow, TimecodeDigitsAndPlaceholder) {
    MetadataRecord rec = palRecord();
    rec.set(0x13, 0xFF, 0xFF, 0x12, 0x01);
    EXPECT_EQ(fieldsOf(rec)[kTc], "");
    rec.set(0x13, 0x3A, 0x00, 0x00, 0x00);  // units above 9 are printed as they stand
    EXPECT_EQ(fieldsOf(rec)[kTc], "00:00:00:310");
}

TEST(CsvRow, PositionAsFrameNumber) {
    CsvExportSettings s;
    s.progressAsFrameNumber = true;
    EXPECT_EQ(fieldsOf(palRecord(), s, 1234567)[kPos], "1234567");
    EXPECT_EQ(fieldsOf(palRecord(), {}, 90000)[kPos], "01:00:00:00");
}

TEST(CsvRowSelection, Modes) {
    using M = CsvExportMode;
    EXPECT_TRUE(csvRowSelected(M::kAllFrames, 0, 5, 0));
    EXPECT_TRUE(csvRowSelected(M::kAnyChange, 0, 0, 0));
    EXPECT_FALSE(csvRowSelected(M::kAnyChange, 0, 5, 0));
    EXPECT_TRUE(csvRowSelected(M::kAnyChange, 0, 5, 0x4000));
    EXPECT_FALSE(csvRowSelected(M::kAnyChange, 0xFFFFFFFF, 5, 0x20000));  // a tape index point alone
    EXPECT_TRUE(csvRowSelected(M::kSceneChanges, 0x10, 0, 0));
    EXPECT_FALSE(csvRowSelected(M::kSceneChanges, 0x10, 5, 0x1));
    EXPECT_TRUE(csvRowSelected(M::kSceneChanges, 0x11, 5, 0x1));
    EXPECT_FALSE(csvRowSelected(M::kSceneChanges, 0x40000, 5, 0x40000 | 0x20000));
}

TEST(CsvSettings, FromOptions) {
    core::Options o = core::Options::defaults();
    o.exportFrequency = 9;  // reads as 1
    o.exportHeader = true;
    o.sceneTriggerMask = 0x41;
    o.dateFormat = 2;
    o.dropFrameDisplay = 1;
    const CsvExportSettings s = CsvExportSettings::fromOptions(o);
    EXPECT_EQ(s.mode, CsvExportMode::kAnyChange);
    EXPECT_TRUE(s.header);
    EXPECT_EQ(s.sceneTriggerMask, 0x41u);
    EXPECT_EQ(s.dateFormat, core::DateFormat::kMonthDayYear);
    EXPECT_EQ(s.dropFrameFormat, core::DropFrameDisplay::kEverywhere);
}

// ---- Whole exports of generated files ----

struct Export {
    core::Status status;
    std::vector<std::string> lines;
};

Export exportFile(const std::string& clip, const CsvExportSettings& s, core::Progress* progress = nullptr) {
    test::ScratchDir dir;
    const std::string out = dir.file("out.csv");
    Export e;
    e.status = exportMetadataCsvFile(clip, out, s, false, progress);
    e.lines = crlfLines(readAll(out));
    return e;
}

std::vector<std::string> positions(const std::vector<std::string>& lines) {
    std::vector<std::string> p;
    for (const auto& l : lines) p.push_back(splitFields(l)[0]);
    return p;
}

CsvExportSettings framesAsNumbers(CsvExportMode mode, uint32_t mask = 0x10) {
    CsvExportSettings s;
    s.mode = mode;
    s.sceneTriggerMask = mask;
    s.progressAsFrameNumber = true;
    return s;
}

TEST(CsvExport, ChangesModeOnUnchangingMetadataWritesFrameZeroOnly) {
    const std::string clip = gen::cachedClip("steady.avi", gen::palClip(80), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    const Export e = exportFile(clip, framesAsNumbers(CsvExportMode::kAnyChange));
    ASSERT_TRUE(e.status.ok()) << e.status.message;
    EXPECT_EQ(positions(e.lines), std::vector<std::string>{"0"});
}

gen::ClipSpec droppedClip() {
    // A scene cut at frame 30 (timecode and recording time jump) and two dropped frames.
    gen::ClipSpec desc = gen::palClip(60);
    desc.runs.push_back(gen::Run{30, gen::Timecode{1, 0, 0, 0}, 1, gen::DateTime{2012, 1, 2, 8, 0, 0}});
    desc.dropped = {10, 11, 45};
    return desc;
}

TEST(CsvExport, AllFramesSkipsDroppedFrames) {
    const std::string clip = gen::cachedClip("dropped.avi", droppedClip(), gen::Container::Avi2);
    ASSERT_FALSE(clip.empty());
    CsvExportSettings s = framesAsNumbers(CsvExportMode::kAllFrames);
    s.header = true;
    const Export e = exportFile(clip, s);
    ASSERT_TRUE(e.status.ok()) << e.status.message;
    ASSERT_EQ(e.lines.size(), 1u + 57u);
    EXPECT_EQ(e.lines[0] + "\r\n", csvHeaderLine());
    const auto p = positions(e.lines);
    EXPECT_EQ(p[10], "9");
    EXPECT_EQ(p[11], "12");
    for (const auto& l : e.lines) EXPECT_EQ(splitFields(l).size(), 15u) << l;
    // The generated camera packs, as the columns show them.
    const auto f = splitFields(e.lines[1]);
    EXPECT_EQ(f[kTc], "00:00:00:00");
    EXPECT_EQ(f[kDate], "15/06/2011");
    EXPECT_EQ(f[kTime], "10:30:00");
    EXPECT_EQ(f[kSampling], "48");
    EXPECT_EQ(f[kLock], "LOCKED");
    EXPECT_EQ(splitFields(e.lines[31 - 2])[kTime], "08:00:00");
}

TEST(CsvExport, SceneModeFollowsTheMask) {
    const std::string clip = gen::cachedClip("dropped.avi", droppedClip(), gen::Container::Avi2);
    ASSERT_FALSE(clip.empty());
    // Only "Dropped Frame" selected: dropped frames get no row, so frame 0 is all there is.
    Export e = exportFile(clip, framesAsNumbers(CsvExportMode::kSceneChanges, 0x40000));
    ASSERT_TRUE(e.status.ok()) << e.status.message;
    EXPECT_EQ(positions(e.lines), std::vector<std::string>{"0"});
    // Date/time discontinuity: the cut.
    e = exportFile(clip, framesAsNumbers(CsvExportMode::kSceneChanges, 0x10));
    EXPECT_EQ(positions(e.lines), (std::vector<std::string>{"0", "30"}));
    // Any change, whatever the mask: the cut, and the timecode jumps over the dropped frames.
    e = exportFile(clip, framesAsNumbers(CsvExportMode::kAnyChange, 0x40000));
    EXPECT_EQ(positions(e.lines), (std::vector<std::string>{"0", "12", "30", "46"}));
}

TEST(CsvExport, TapeIndexPointAloneSelectsNothing) {
    gen::ClipSpec desc = gen::palClip(40);
    desc.recordingStarts = {0, 20};
    const std::string clip = gen::cachedClip("index.dv", desc, gen::Container::RawDv);
    ASSERT_FALSE(clip.empty());
    const Export e = exportFile(clip, framesAsNumbers(CsvExportMode::kSceneChanges, 0xFFFFFFFF));
    ASSERT_TRUE(e.status.ok());
    EXPECT_EQ(positions(e.lines), std::vector<std::string>{"0"});
}

TEST(CsvExport, DropFrameFileWithOneUnflaggedFrame) {
    gen::ClipSpec desc = gen::ntscClip(40, true);
    desc.runs = {gen::Run{0, gen::Timecode{0, 0, 59, 28}, 1, gen::DateTime{}}};
    desc.customize = [](int64_t n, gen::FrameMeta& m) {
        if (n == 5) m.dropFrameFlag = false;
    };
    const std::string clip = gen::cachedClip("df.avi", desc, gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    CsvExportSettings s;
    s.mode = CsvExportMode::kAllFrames;
    const Export e = exportFile(clip, s);
    ASSERT_TRUE(e.status.ok()) << e.status.message;
    ASSERT_EQ(e.lines.size(), 40u);
    EXPECT_EQ(splitFields(e.lines[0])[kTc], "00:00:59;28");
    EXPECT_EQ(splitFields(e.lines[2])[kTc], "00:01:00;02");
    EXPECT_EQ(splitFields(e.lines[2])[kPos], "00:00:00;02");
    EXPECT_EQ(splitFields(e.lines[5])[kTc], "00:01:00:05");
    EXPECT_EQ(splitFields(e.lines[5])[kPos], "00:00:00:05");
    EXPECT_EQ(splitFields(e.lines[6])[kTc], "00:01:00;06");
}

TEST(CsvExport, ExistingOutputIsKeptUnlessOverwrite) {
    const std::string clip = gen::cachedClip("steady.avi", gen::palClip(80), gen::Container::Avi1);
    test::ScratchDir dir;
    const std::string out = dir.file("x.csv");
    { std::ofstream(out) << "keep"; }
    core::Status st = exportMetadataCsvFile(clip, out, {}, false);
    EXPECT_FALSE(st.ok());
    EXPECT_EQ(readAll(out), "keep");
    st = exportMetadataCsvFile(clip, out, {}, true);
    EXPECT_TRUE(st.ok());
    EXPECT_EQ(crlfLines(readAll(out)).size(), 1u);
}

TEST(CsvExport, WriteFailureIsErrorFourAndEarlierRowsStay) {
    const std::string clip = gen::cachedClip("steady.avi", gen::palClip(80), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    CsvExportSettings s;
    s.mode = CsvExportMode::kAllFrames;
    // Every row of this clip has the same length.
    const Export full = exportFile(clip, s);
    ASSERT_TRUE(full.status.ok());
    const int64_t kRow = static_cast<int64_t>(full.lines[0].size()) + 2;

    test::ScratchDir dir;
    const std::string path = dir.file("limited.csv");
    media::DvMediaFile source;
    ASSERT_TRUE(source.open(clip));
    media::File out;
    ASSERT_TRUE(out.open(path, media::File::Mode::kCreate));

    // Let the file grow to 10 full rows and a bit: the write of row 11 fails.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old;
    lim.rlim_cur = 10 * kRow + 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
    const core::Status st = exportMetadataCsv(source, out, s);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(st.code, core::ErrorCode::kWriteFailed);
    EXPECT_EQ(st.message, "Failed to export metadata");
    EXPECT_NE(st.sysError, 0);
    const auto lines = crlfLines(readAll(path));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[9], full.lines[9]);
    EXPECT_EQ(lines[10], full.lines[10].substr(0, 20));  // the failed row's first bytes
    EXPECT_FALSE(source.scanned());
}

TEST(CsvExport, CancelStopsWithErrorSevenAndLeavesNoFile) {
    const std::string clip = gen::cachedClip("steady.avi", gen::palClip(80), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    core::Progress progress;
    progress.cancel();
    const Export e = exportFile(clip, framesAsNumbers(CsvExportMode::kAllFrames), &progress);
    EXPECT_EQ(e.status.code, core::ErrorCode::kCancelled);
    EXPECT_EQ(e.status.message, "Operation Cancelled");
    EXPECT_TRUE(e.lines.empty());
}

TEST(CsvExport, FileAlreadyScannedIsScannedAgain) {
    const std::string clip = gen::cachedClip("steady.avi", gen::palClip(80), gen::Container::Avi1);
    media::DvMediaFile source;
    ASSERT_TRUE(source.open(clip));
    ASSERT_TRUE(source.scan());
    test::ScratchDir dir;
    media::File out;
    ASSERT_TRUE(out.open(dir.file("a.csv"), media::File::Mode::kCreate));
    const core::Status st = exportMetadataCsv(source, out, framesAsNumbers(CsvExportMode::kAllFrames));
    ASSERT_TRUE(st.ok());
    EXPECT_EQ(crlfLines(readAll(dir.file("a.csv"))).size(), 80u);
    EXPECT_TRUE(source.scanned());
}

}  // namespace
}  // namespace zorv::tools
