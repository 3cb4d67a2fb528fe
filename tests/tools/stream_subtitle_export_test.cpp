// Subtitles of generated HDV and AVCHD streams: cues from the pictures' times and the camcorder's
// clock, pictures without metadata leaving a gap, the "All metadata" rows with and without the GPS
// row, and ffmpeg reading the files back with the same cues.
#include "tools/stream_subtitle_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "export_test_util.h"
#include "gen/avchd_writer.h"
#include "gen/hdv_writer.h"
#include "subtitle_cues.h"

namespace zorv::tools {
namespace {

using test::Cue;

SubtitleSettings layout(SubtitleLayout l, SubtitleFormat f = SubtitleFormat::kSubRip) {
    SubtitleSettings s;
    s.layout = l;
    s.format = f;
    return s;
}

std::vector<Cue> exportCues(const std::string& stream, const SubtitleSettings& s) {
    test::ScratchDir dir;
    const std::string out = dir.file(std::string("out") + subtitleExtension(s.format));
    const core::Status st = exportStreamSubtitlesFile(stream, out, s, false);
    EXPECT_TRUE(st.ok()) << st.message;
    return test::parseCues(test::readAll(out), s.format == SubtitleFormat::kWebVtt);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

// 3 s of PAL HDV; pictures 30-32 carry no aux data.
const std::string& hdvGapPath() {
    static const std::string path = [] {
        gen::HdvSpec desc;
        desc.frames = 75;
        desc.dropAux = {30, 31, 32};
        return gen::cachedHdv("subs-gap.m2t", desc);
    }();
    return path;
}

// 2 s of 25p AVCHD moving once a second.
const std::string& avchdTrackPath() {
    static const std::string path = [] {
        gen::AvchdSpec desc;
        desc.gps = gen::GpsMode::Track;
        return gen::cachedAvchd("subs-track.mts", desc);
    }();
    return path;
}

TEST(StreamSubtitles, HdvCuesFollowTheCamcorderClockAndSkipPicturesWithoutAux) {
    ASSERT_FALSE(hdvGapPath().empty());
    const auto cues = exportCues(hdvGapPath(), layout(SubtitleLayout::kDateThenTime));
    ASSERT_EQ(cues.size(), 4u);
    // Pictures 0-24 at 10:30:00; 25-29 and 33-49 at 10:30:01 with the three bare pictures between;
    // 50-74 at 10:30:02, the last cue ending one picture after picture 74.
    const Cue expected[] = {{0, 1000, "15/06/11 10:30:00"},
                            {1000, 1200, "15/06/11 10:30:01"},
                            {1320, 2000, "15/06/11 10:30:01"},
                            {2000, 3000, "15/06/11 10:30:02"}};
    for (size_t i = 0; i < cues.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cues[i].startMs, expected[i].startMs);
        EXPECT_EQ(cues[i].endMs, expected[i].endMs);
        EXPECT_EQ(cues[i].text, expected[i].text);
    }
}

TEST(StreamSubtitles, HdvAllMetadataRowsChangeEveryPicture) {
    SubtitleSettings s = layout(SubtitleLayout::kAllMetadata, SubtitleFormat::kWebVtt);
    auto cues = exportCues(hdvGapPath(), s);
    ASSERT_EQ(cues.size(), 72u);  // 75 pictures, 3 without metadata
    const auto first = lines(cues[0].text);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].rfind("00:00:00:00  10:30:00  ", 0), 0u) << first[0];
    EXPECT_NE(first[1].find("15/06/11"), std::string::npos) << first[1];
    EXPECT_EQ(first[2].rfind("00:00:00.000  ", 0), 0u) << first[2];
    EXPECT_EQ(cues[25].startMs, 1000);
    EXPECT_EQ(lines(cues[25].text)[0].rfind("00:00:01:00  10:30:01", 0), 0u);
    EXPECT_EQ(cues[30].startMs, 1320);  // picture 33
    EXPECT_EQ(cues[29].endMs, 1200);

    s.display.progressAsFrameNumber = true;
    cues = exportCues(hdvGapPath(), s);
    ASSERT_EQ(cues.size(), 72u);
    EXPECT_EQ(lines(cues[1].text)[2].rfind("1  ", 0), 0u);
    // Numbered by the pictures that carry metadata.
    EXPECT_EQ(lines(cues[71].text)[2].rfind("71  ", 0), 0u);
}

TEST(StreamSubtitles, AvchdDateFromItsOwnTags) {
    ASSERT_FALSE(avchdTrackPath().empty());
    const auto cues = exportCues(avchdTrackPath(), layout(SubtitleLayout::kTimeAboveDate, SubtitleFormat::kWebVtt));
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].startMs, 0);
    EXPECT_EQ(cues[0].endMs, 1000);
    EXPECT_EQ(cues[0].text, "23:16:24\n31/12/08");
    EXPECT_EQ(cues[1].startMs, 1000);
    EXPECT_EQ(cues[1].endMs, 2000);
    EXPECT_EQ(cues[1].text, "23:16:25\n31/12/08");
}

TEST(StreamSubtitles, AvchdGpsRowOnlyWhenAskedFor) {
    SubtitleSettings s = layout(SubtitleLayout::kAllMetadata);
    auto cues = exportCues(avchdTrackPath(), s);
    ASSERT_EQ(cues.size(), 50u);
    for (const Cue& c : cues) ASSERT_EQ(lines(c.text).size(), 3u) << c.text;

    s.showGps = true;
    cues = exportCues(avchdTrackPath(), s);
    ASSERT_EQ(cues.size(), 50u);
    auto gps = lines(cues[0].text);
    ASSERT_EQ(gps.size(), 4u);
    // 51 deg 28' 40.12" N, 0 deg 0' 5.31" W, then one second on 0.12" north and 0.19" west.
    EXPECT_EQ(gps[3].rfind("51\xC2\xB0 28' 40.1\" N  00\xC2\xB0 00' 05.3\" W  ", 0), 0u) << gps[3];
    gps = lines(cues[25].text);
    EXPECT_EQ(gps[3].rfind("51\xC2\xB0 28' 40.2\" N  00\xC2\xB0 00' 05.5\" W  ", 0), 0u) << gps[3];

    s.display.gpsDecimal = true;
    cues = exportCues(avchdTrackPath(), s);
    gps = lines(cues[0].text);
    ASSERT_EQ(gps.size(), 4u);
    EXPECT_EQ(gps[3].rfind("51.47781\xC2\xB0  -0.00148\xC2\xB0  ", 0), 0u) << gps[3];
}

TEST(StreamSubtitles, RefusesDvFilesAndKeepsAnExistingOutput) {
    test::ScratchDir dir;
    const std::string out = dir.file("x.srt");
    ASSERT_TRUE(exportStreamSubtitlesFile(hdvGapPath(), out, layout(SubtitleLayout::kDateAboveTime), false).ok());
    EXPECT_EQ(exportStreamSubtitlesFile(hdvGapPath(), out, layout(SubtitleLayout::kDateAboveTime), false).message,
              "The output file already exists: " + out + " (use --overwrite)");
    EXPECT_TRUE(exportStreamSubtitlesFile(hdvGapPath(), out, layout(SubtitleLayout::kDateAboveTime), true).ok());
    const std::string notStream = dir.file("notes.txt");
    std::FILE* f = std::fopen(notStream.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a recording", f);
    std::fclose(f);
    EXPECT_FALSE(exportStreamSubtitlesFile(notStream, dir.file("y.srt"), SubtitleSettings{}, false).ok());
}

// ffmpeg reads both streams' cues in both formats with our times.
TEST(StreamSubtitles, FfmpegReadsTheCuesBack) {
    if (!test::hasTool("ffmpeg") || !test::hasTool("ffprobe")) GTEST_SKIP() << "ffmpeg not installed";
    for (const std::string* stream : {&hdvGapPath(), &avchdTrackPath()}) {
        for (SubtitleFormat f : {SubtitleFormat::kSubRip, SubtitleFormat::kWebVtt}) {
            for (SubtitleLayout l : {SubtitleLayout::kAllMetadata, SubtitleLayout::kDateAboveTime}) {
                SubtitleSettings s = layout(l, f);
                s.showGps = true;
                test::ScratchDir dir;
                const std::string out = dir.file(std::string("t") + subtitleExtension(f));
                ASSERT_TRUE(exportStreamSubtitlesFile(*stream, out, s, false).ok());
                const auto cues = test::parseCues(test::readAll(out), f == SubtitleFormat::kWebVtt);
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
                    EXPECT_NEAR(pts * 1000, cues[i].startMs, 0.5) << out << " cue " << i;
                    EXPECT_NEAR(duration * 1000, cues[i].endMs - cues[i].startMs, 0.5) << out << " cue " << i;
                    ++i;
                }
                EXPECT_EQ(i, cues.size()) << *stream;
            }
        }
    }
}

}  // namespace
}  // namespace zorv::tools
