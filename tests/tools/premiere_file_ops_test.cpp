// Fixing the Premiere start timecode, appending the start date/time to a name and setting Date
// Modified, on generated clips.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "media/avi_chunks.h"
#include "media/file_io.h"
#include "modify_test_util.h"
#include "tools/file_dates.h"
#include "tools/modify_settings.h"
#include "tools/premiere_timecode.h"
#include "tools/rename_by_date.h"

namespace zorv::tools {
namespace {

using namespace zorv::tools::test;

std::string tdatEntryText(const std::string& path, const char* tag) {
    media::File f;
    if (!f.open(path)) return {};
    media::AviChunks chunks(f.fd(), media::FileType::kAviType1);
    auto body = chunks.findChunk(media::fourcc("Tdat"));
    if (!body) return {};
    const uint32_t id = media::le32(reinterpret_cast<const uint8_t*>(tag));
    auto e = media::findTdatEntry(*body, id);
    if (!e) return {};
    return std::string(reinterpret_cast<const char*>(e->data()));
}

class PremiereFileOps : public ::testing::Test {
protected:
    ModifyScratch dir;
};

TEST_F(PremiereFileOps, RewritesTimecodeEntriesInPlaceAndKeepsReelNames) {
    gen::ClipSpec clip = gen::palClip(3);
    clip.runs = {gen::Run{0, gen::Timecode{1, 2, 3, 4}, 1, gen::DateTime{}}};
    const std::string path = clipCopy("prem-01020304", clip, gen::Container::Avi1, dir.file("a.avi"));
    {
        media::File f;
        ASSERT_TRUE(f.open(path, media::File::Mode::kReadWrite));
        ASSERT_TRUE(media::writeTimecodeList(f.fd(), media::timecodeText(0, 0, 0, 0, false), "Tape 3"));
    }
    const auto size = std::filesystem::file_size(path);
    const PremiereFixOutcome o = fixPremiereStartTimecode(path);
    EXPECT_EQ(o.result, PremiereFixResult::kFixed);
    EXPECT_FALSE(o.appended);
    EXPECT_EQ(premiereFixLogLine(o), "Fixed");
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(tdatEntryText(path, "tc_O"), "01:02:03:04");
    EXPECT_EQ(tdatEntryText(path, "tc_A"), "01:02:03:04");
    EXPECT_EQ(tdatEntryText(path, "rn_O"), "Tape 3");
    EXPECT_EQ(tdatEntryText(path, "rn_A"), "Tape 3");
}

TEST_F(PremiereFileOps, AppendsA172ByteListWithDropFrameText) {
    gen::ClipSpec clip = gen::ntscClip(3, true);
    clip.runs = {gen::Run{0, gen::Timecode{1, 2, 3, 4}, 1, gen::DateTime{}}};
    const std::string path = clipCopy("prem-df", clip, gen::Container::Avi2, dir.file("b.avi"));
    const Bytes before = readBytes(path);
    const PremiereFixOutcome o = fixPremiereStartTimecode(path);
    ASSERT_EQ(o.result, PremiereFixResult::kFixed);
    EXPECT_TRUE(o.appended);
    const Bytes after = readBytes(path);
    ASSERT_EQ(after.size(), before.size() + 172);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
    EXPECT_EQ(std::string(after.end() - 172, after.end() - 160), std::string("RIFF\xA4\0\0\0AVIX", 12));
    EXPECT_EQ(tdatEntryText(path, "tc_A"), "01;02;03;04");
    // A second fix finds the appended list and does not grow the file again.
    EXPECT_EQ(fixPremiereStartTimecode(path).result, PremiereFixResult::kFixed);
    EXPECT_EQ(readBytes(path).size(), after.size());
}

TEST_F(PremiereFileOps, NoTimecodeLeavesTheFileAndOtherTypesAreSkipped) {
    gen::ClipSpec clip = gen::palClip(3);
    clip.customize = [](int64_t, gen::FrameMeta& m) { m.hasTimecode = false; };
    const std::string path = clipCopy("prem-notc", clip, gen::Container::Avi1, dir.file("c.avi"));
    const Bytes before = readBytes(path);
    const PremiereFixOutcome o = fixPremiereStartTimecode(path);
    EXPECT_EQ(o.result, PremiereFixResult::kNoTimecode);
    EXPECT_EQ(premiereFixLogLine(o), "WARNING: Timecode not found in DV metadata - Premiere start timecode not fixed");
    EXPECT_EQ(readBytes(path), before);

    const std::string raw = clipCopy("prem-raw", gen::palClip(3), gen::Container::RawDv, dir.file("d.dv"));
    EXPECT_EQ(fixPremiereStartTimecode(raw).result, PremiereFixResult::kUnsupported);
    EXPECT_EQ(premiereSkipMessage(media::FileType::kRawDv),
              "File skipped - Raw DV file type does not support a Premiere start timecode");
    EXPECT_EQ(premiereSkipMessage(media::FileType::kAviType2), "");
    EXPECT_EQ(fixPremiereStartTimecode(dir.file("missing.avi")).result, PremiereFixResult::kOpenFailed);
}

TEST_F(PremiereFileOps, RenameAppendsAFormTheModifierReadsBackAndNeverOverwrites) {
    gen::ClipSpec clip = gen::palClip(3);
    clip.runs = {gen::Run{0, gen::Timecode{}, 1, gen::DateTime{2008, 7, 15, 14, 30, 5}}};
    const std::string path = clipCopy("ren-clip", clip, gen::Container::Avi1, dir.file("Holiday.avi"));
    // Something already has the name the file would get.
    const std::string taken = dir.file("Holiday 08-07-15 14.30.05.avi");
    writeBytes(taken, Bytes{1, 2, 3});
    std::string renamed;
    core::Status st = renameWithStartDateTime(path, renamed);
    EXPECT_EQ(st.message, kRenameTargetExists);
    EXPECT_EQ(renamed, path);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(readBytes(taken), (Bytes{1, 2, 3}));

    std::filesystem::remove(taken);
    st = renameWithStartDateTime(path, renamed);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_EQ(renamed, taken);
    EXPECT_FALSE(std::filesystem::exists(path));
    const auto d = dateTimeFromFileName(renamed);
    ASSERT_TRUE(d);
    EXPECT_EQ((std::array{d->year, d->month, d->day, d->hour, d->minute, d->second}), (std::array{8, 7, 15, 14, 30, 5}));
    // Renaming again leaves the name as it is.
    std::string again;
    ASSERT_TRUE(renameWithStartDateTime(renamed, again).ok());
    EXPECT_EQ(again, renamed);

    EXPECT_EQ(pathWithStartDateTime("/v/clip", StartDateTime{1999, 1, 2, 3, 4, 5}), "/v/clip 99-01-02 03.04.05");
    EXPECT_EQ(pathWithStartDateTime("/v.x/clip.dv", StartDateTime{2010, 12, 31, 23, 59, 59}),
              "/v.x/clip 10-12-31 23.59.59.dv");
}

TEST_F(PremiereFileOps, DateModifiedIsTheRecordingStartInLocalTimeOnly) {
    gen::ClipSpec clip = gen::palClip(3);
    clip.runs = {gen::Run{0, gen::Timecode{}, 1, gen::DateTime{2008, 7, 15, 14, 30, 5}}};
    const std::string path = clipCopy("ren-clip", clip, gen::Container::Avi2, dir.file("m.avi"));
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(setDateModifiedFromRecording(path).ok());
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    std::tm local{};
    const std::time_t t = after.st_mtim.tv_sec;
    ::localtime_r(&t, &local);
    EXPECT_EQ((std::array{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec}),
              (std::array{2008, 7, 15, 14, 30, 5}));
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);

    int sys = 0;
    EXPECT_FALSE(setFileLastWriteTime(dir.file("missing"), 2008, 1, 1, 0, 0, 0, &sys));
    EXPECT_EQ(sys, ENOENT);

    clip.customize = [](int64_t, gen::FrameMeta& m) { m.hasRec = false; };
    const std::string noDate = clipCopy("mtime-nodate", clip, gen::Container::Avi1, dir.file("n.avi"));
    EXPECT_EQ(setDateModifiedFromRecording(noDate).message, kStartNotFound);
}

}  // namespace
}  // namespace zorv::tools
