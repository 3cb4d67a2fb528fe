// Subtitle export: cue grouping and timing on generated DV files, both formats, every layout, and
// ffmpeg reading the result as a subtitle track.
#include "tools/subtitle_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <sstream>
#include <string>
#include <vector>

#include "core/dv_decode.h"
#include "export_test_util.h"
#include "subtitle_cues.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"
#include "media/dv_media_file.h"

namespace zorv::tools {
namespace {

using test::Cue;
using test::parseCues;
using test::readAll;

std::vector<Cue> exportCues(const std::string& clip, const SubtitleSettings& s, std::string* raw = nullptr) {
    test::ScratchDir dir;
    const std::string out = dir.file(std::string("out") + subtitleExtension(s.format));
    const core::Status st = exportSubtitlesFile(clip, out, s, false);
    EXPECT_TRUE(st.ok()) << st.message;
    const std::string text = readAll(out);
    if (raw) *raw = text;
    return parseCues(text, s.format == SubtitleFormat::kWebVtt);
}

SubtitleSettings layout(SubtitleLayout l, SubtitleFormat f = SubtitleFormat::kSubRip, uint32_t mask = 0x10) {
    SubtitleSettings s;
    s.layout = l;
    s.format = f;
    s.sceneTriggerMask = mask;
    return s;
}

TEST(SubtitleTiming, FrameStartsOnTheFilesTimeline) {
    EXPECT_EQ(subtitleFrameStartMs(0, true), 0);
    EXPECT_EQ(subtitleFrameStartMs(25, true), 1000);
    EXPECT_EQ(subtitleFrameStartMs(90000, true), 3600000);
    EXPECT_EQ(subtitleFrameStartMs(1, false), 33);  // 33.367
    EXPECT_EQ(subtitleFrameStartMs(2, false), 67);  // 66.733
    EXPECT_EQ(subtitleFrameStartMs(30, false), 1001);
    EXPECT_EQ(subtitleFrameStartMs(107892, false), 3599996);  // one hour of drop-frame timecode
}

TEST(SubtitleLayoutNames, AsListed) {
    EXPECT_STREQ(subtitleLayoutName(0), "All metadata");
    EXPECT_STREQ(subtitleLayoutName(2), "Time above Date (2 lines)");
    EXPECT_STREQ(subtitleLayoutName(4), "Time then Date (1 line)");
    EXPECT_EQ(subtitleLayoutName(5), nullptr);
}

TEST(SubtitleText, DateAndTimeLayouts) {
    core::MetadataRecord rec;
    rec.set(0x60, 0xFF, 0xFF, 0x20, 0xFF);
    rec.set(0x62, 0xFF, 0x31, 0x12, 0x09);
    rec.set(0x63, 0xFF, 0x59, 0x58, 0x23);
    core::DecodedValues v;
    core::decodeRecord(rec, v);
    const struct {
        SubtitleLayout l;
        const char* text;
    } cases[] = {{SubtitleLayout::kDateAboveTime, "31/12/09\n23:58:59"},
                 {SubtitleLayout::kTimeAboveDate, "23:58:59\n31/12/09"},
                 {SubtitleLayout::kDateThenTime, "31/12/09 23:58:59"},
                 {SubtitleLayout::kTimeThenDate, "23:58:59 31/12/09"}};
    for (const auto& c : cases) {
        SubtitleTextFormatter f(layout(c.l), 6.4e-05);
        EXPECT_EQ(std::string(f.data(), f.format(0, rec, v)), c.text);
    }
    // Neither pack: nothing to show.
    core::MetadataRecord bare;
    SubtitleTextFormatter f(layout(SubtitleLayout::kDateThenTime), 6.4e-05);
    EXPECT_EQ(f.format(0, bare, v), 0u);
}

TEST(SubtitleText, AllMetadataIsThreeRowsOfTheFixedLayout) {
    core::MetadataRecord rec;
    rec.set(0x60, 0xFF, 0xFF, 0x20, 0xFF);
    rec.set(0x13, 0x05, 0x04, 0x03, 0x12);
    rec.set(0x14, 0x01, 0x23, 0x45, 0x67);
    rec.set(0x62, 0xFF, 0x31, 0x12, 0x09);
    rec.set(0x63, 0xFF, 0x59, 0x58, 0x23);
    rec.set(0x70, 0xCD, 0x01, 0x1F, 0x0D);
    rec.set(0x71, 0xFF, 0x7F, 0xFF, 0xFF);
    rec.set(0x7F, 0xFF, 0xFF, 0x38, 0x01);
    rec.set(0x50, 0x00, 0xFF, 0xFF, 0xC0);
    core::DecodedValues v;
    core::decodeRecord(rec, v);
    SubtitleTextFormatter f(layout(SubtitleLayout::kAllMetadata), 6.4e-05);
    EXPECT_EQ(std::string(f.data(), f.format(30, rec, v)),
              "12:03:04:05  23:58:59  50  0dB  AWB\n"
              "67:45:23:01  31/12/09  f3.1  0.30  ~ON\n"
              "00:00:01:05  AUTO  AUTO  48/L");
}

TEST(SubtitleExport, DateTimeLayoutChangesOncePerSecondAndAtTheCut) {
    const std::string clip = gen::cachedClip("sample.avi", gen::sampleClip(), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    const auto cues = exportCues(clip, layout(SubtitleLayout::kDateThenTime));
    ASSERT_EQ(cues.size(), 10u);
    for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(cues[i].startMs, static_cast<int64_t>(i) * 1000);
        EXPECT_EQ(cues[i].endMs, static_cast<int64_t>(i + 1) * 1000);
    }
    EXPECT_EQ(cues[0].text, "15/06/11 10:30:00");
    EXPECT_EQ(cues[4].text, "15/06/11 10:30:04");
    EXPECT_EQ(cues[5].text, "15/06/11 12:00:00");
    EXPECT_EQ(cues[9].text, "15/06/11 12:00:04");
}

TEST(SubtitleExport, SceneCutStartsANewCueEvenWithTheSameText) {
    // The timecode jumps at frame 10, inside the first recorded second.
    gen::ClipSpec desc = gen::palClip(50);
    desc.runs.push_back(gen::Run{10, gen::Timecode{5, 0, 0, 0}, 1, std::nullopt});
    const std::string clip = gen::cachedClip("tcjump.dv", desc, gen::Container::RawDv);
    ASSERT_FALSE(clip.empty());
    auto cues = exportCues(clip, layout(SubtitleLayout::kDateAboveTime, SubtitleFormat::kSubRip, 0x10));
    ASSERT_EQ(cues.size(), 2u);
    cues = exportCues(clip, layout(SubtitleLayout::kDateAboveTime, SubtitleFormat::kSubRip, 0x11));
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[0].endMs, 400);
    EXPECT_EQ(cues[1].startMs, 400);
    EXPECT_EQ(cues[0].text, cues[1].text);
    EXPECT_EQ(cues[0].text, "15/06/11\n10:30:00");
}

TEST(SubtitleExport, NtscCuesFollowTheFramesRecordedTime) {
    const std::string clip = gen::cachedClip("ntsc.avi", gen::ntscClip(100, true), gen::Container::Avi2);
    ASSERT_FALSE(clip.empty());
    const auto cues = exportCues(clip, layout(SubtitleLayout::kTimeAboveDate, SubtitleFormat::kWebVtt));
    // Each cue starts at a frame boundary of 1001/30000 s and ends where the next begins.
    ASSERT_GE(cues.size(), 3u);
    EXPECT_EQ(cues.front().startMs, 0);
    EXPECT_EQ(cues.back().endMs, subtitleFrameStartMs(100, false));
    for (size_t i = 0; i + 1 < cues.size(); ++i) {
        EXPECT_EQ(cues[i].endMs, cues[i + 1].startMs);
        EXPECT_NE(cues[i].text, cues[i + 1].text);
        // A recording second holds 29 or 30 frames.
        if (i > 0) {
            EXPECT_NEAR(cues[i].endMs - cues[i].startMs, 1000, 34);
        }
    }
    EXPECT_EQ(cues[0].text, "10:30:00\n15/06/11");
}

TEST(SubtitleExport, AllMetadataHasOneCuePerFrameAndDroppedFramesExtendACue) {
    gen::ClipSpec desc = gen::palClip(30);
    desc.dropped = {7, 8};
    const std::string clip = gen::cachedClip("drop30.avi", desc, gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    const auto cues = exportCues(clip, layout(SubtitleLayout::kAllMetadata));
    ASSERT_EQ(cues.size(), 28u);
    EXPECT_EQ(cues[6].startMs, 240);
    EXPECT_EQ(cues[6].endMs, 360);  // frame 6 shown until frame 9 starts
    EXPECT_EQ(cues[7].startMs, 360);
    EXPECT_EQ(cues.back().endMs, 1200);
    for (const Cue& c : cues) EXPECT_EQ(std::count(c.text.begin(), c.text.end(), '\n'), 2) << c.text;
}

TEST(SubtitleExport, DroppedFrameTriggerCutsTheCue) {
    gen::ClipSpec desc = gen::palClip(30);
    desc.dropped = {7, 8};
    const std::string clip = gen::cachedClip("drop30.avi", desc, gen::Container::Avi1);
    auto cues = exportCues(clip, layout(SubtitleLayout::kDateThenTime, SubtitleFormat::kSubRip, 0x10));
    EXPECT_EQ(cues.size(), 2u);  // 10:30:00 and 10:30:01 (from frame 25)
    cues = exportCues(clip, layout(SubtitleLayout::kDateThenTime, SubtitleFormat::kSubRip, 0x40000));
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[1].startMs, 360);
}

// ffmpeg must read every layout in both formats as a subtitle track with the cues we wrote.
TEST(SubtitleExport, FfmpegReadsEveryLayout) {
    if (!test::hasTool("ffmpeg") || !test::hasTool("ffprobe")) GTEST_SKIP() << "ffmpeg not installed";
    const std::string clip = gen::cachedClip("sample.avi", gen::sampleClip(), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    for (int l = 0; l < kSubtitleLayoutCount; ++l) {
        for (SubtitleFormat f : {SubtitleFormat::kSubRip, SubtitleFormat::kWebVtt}) {
            test::ScratchDir dir;
            const std::string out = dir.file(std::string("t") + subtitleExtension(f));
            ASSERT_TRUE(exportSubtitlesFile(clip, out, layout(static_cast<SubtitleLayout>(l), f), false).ok());
            const auto cues = parseCues(readAll(out), f == SubtitleFormat::kWebVtt);
            // Decoding every cue: this ffmpeg has no encoder for the null muxer's subtitle default,
            // so the track is decoded and re-encoded as ASS.
            auto r = test::runCommand("ffmpeg -nostdin -v error -i '" + out + "' -c:s ass -f null - 2>&1");
            EXPECT_EQ(r.status, 0) << r.output;
            EXPECT_EQ(r.output, "");
            r = test::runCommand(
                "ffprobe -v error -select_streams s -show_entries packet=pts_time,duration_time "
                "-of csv=p=0 '" +
                out + "' 2>&1");
            ASSERT_EQ(r.status, 0) << r.output;
            std::istringstream in(r.output);
            std::string line;
            size_t i = 0;
            while (std::getline(in, line)) {
                ASSERT_LT(i, cues.size());
                double pts = 0, duration = 0;
                ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration), 2) << line;
                EXPECT_NEAR(pts * 1000, cues[i].startMs, 0.5) << "layout " << l << " cue " << i;
                EXPECT_NEAR(duration * 1000, cues[i].endMs - cues[i].startMs, 0.5) << "layout " << l << " cue " << i;
                ++i;
            }
            EXPECT_EQ(i, cues.size()) << "layout " << l;
        }
    }
}

TEST(SubtitleExport, WriteFailureIsErrorFour) {
    const std::string clip = gen::cachedClip("sample.avi", gen::sampleClip(), gen::Container::Avi1);
    ASSERT_FALSE(clip.empty());
    media::DvMediaFile source;
    ASSERT_TRUE(source.open(clip));
    media::File out;
    if (!out.open("/dev/full", media::File::Mode::kCreate)) GTEST_SKIP() << "no /dev/full";
    const core::Status st = exportSubtitles(source, out, layout(SubtitleLayout::kDateAboveTime));
    EXPECT_EQ(st.code, core::ErrorCode::kWriteFailed);
    EXPECT_EQ(st.message, "Failed to export subtitles");
    EXPECT_EQ(st.sysError, ENOSPC);
}

}  // namespace
}  // namespace zorv::tools
