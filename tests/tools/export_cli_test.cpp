// `zorv export` and `zorv subtitles` end to end, and the CSV of a DV file made by ffmpeg checked
// against what ffprobe and ExifTool read from the same file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "export_test_util.h"
#include "gen/clip_spec.h"
#include "gen/clip_writer.h"

namespace zorv::tools {
namespace {

using test::crlfLines;
using test::readAll;
using test::runCommand;
using test::splitFields;

std::string zorv(const std::string& args) { return std::string(ZORV_CLI_PATH) + " " + args + " 2>&1"; }

std::string copyClip(const test::ScratchDir& dir, const std::string& name) {
    const std::string clip = gen::cachedClip("cli-sample.avi", gen::sampleClip(), gen::Container::Avi1);
    EXPECT_FALSE(clip.empty());
    const std::string to = dir.file(name);
    std::filesystem::copy_file(clip, to);
    return to;
}

TEST(ExportCli, DefaultNamesAndNoSilentOverwrite) {
    test::ScratchDir dir;
    const std::string in = copyClip(dir, "tape.one.avi");

    auto r = runCommand(zorv("export '" + in + "' --mode scenes --header"));
    ASSERT_EQ(r.status, 0) << r.output;
    const auto lines = crlfLines(readAll(dir.file("tape.one.csv")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(splitFields(lines[2])[0], "00:00:05:00");

    // A second run refuses to replace the file and says so on stderr.
    { std::ofstream(dir.file("tape.one.csv")) << "mine"; }
    r = runCommand(zorv("export '" + in + "'"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("already exists"), std::string::npos) << r.output;
    EXPECT_EQ(readAll(dir.file("tape.one.csv")), "mine");
    r = runCommand(zorv("export '" + in + "' --overwrite --mode all --frame-numbers"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(crlfLines(readAll(dir.file("tape.one.csv"))).size(), 250u);

    r = runCommand(zorv("subtitles '" + in + "' --layout 3"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(readAll(dir.file("tape.one.srt")).find("15/06/11 10:30:00"), std::string::npos);
    r = runCommand(zorv("subtitles '" + in + "' --format vtt -o '" + dir.file("x.vtt") + "'"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readAll(dir.file("x.vtt")).substr(0, 6), "WEBVTT");
}

TEST(ExportCli, TriggersAndBadArguments) {
    test::ScratchDir dir;
    const std::string in = copyClip(dir, "t.avi");
    auto r = runCommand(zorv("export '" + in + "' --mode scenes --triggers dropped -o '" + dir.file("d.csv") + "'"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(crlfLines(readAll(dir.file("d.csv"))).size(), 1u);

    EXPECT_NE(runCommand(zorv("export '" + in + "' --mode sometimes")).status, 0);
    EXPECT_NE(runCommand(zorv("subtitles '" + in + "' --layout 5")).status, 0);
    EXPECT_NE(runCommand(zorv("subtitles '" + in + "' --format ass")).status, 0);
    r = runCommand(zorv("export '" + dir.file("missing.avi") + "'"));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.output.empty());
}

// ffmpeg writes the timecode into the subcode and the creation time into the recording date and
// time packs of every frame. The export must read the same values as ffprobe and ExifTool for the
// first frame and advance them as the frames do.
TEST(ExportCli, FfmpegDvFileAgreesWithFfprobeAndExiftool) {
    if (!test::hasTool("ffmpeg") || !test::hasTool("ffprobe")) GTEST_SKIP() << "ffmpeg not installed";
    test::ScratchDir dir;
    const std::string dv = dir.file("x.dv");
    auto r = runCommand(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=720x576:rate=25 -t 2 -timecode 10:00:00:00 "
        "-metadata creation_time=2009-12-31T23:59:30 -f dv '" +
        dv + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.output;

    r = runCommand("ffprobe -v error -show_entries format_tags=timecode -of default=nw=1:nk=1 '" + dv + "'");
    ASSERT_EQ(r.status, 0);
    const std::string probeTimecode = r.output.substr(0, r.output.find('\n'));
    EXPECT_EQ(probeTimecode, "10:00:00:00");

    r = runCommand(zorv("export '" + dv + "' --mode all --date-format 3 -o '" + dir.file("x.csv") + "'"));
    ASSERT_EQ(r.status, 0) << r.output;
    const auto lines = crlfLines(readAll(dir.file("x.csv")));
    ASSERT_EQ(lines.size(), 50u);
    const auto first = splitFields(lines[0]);
    EXPECT_EQ(first[1], probeTimecode);

    std::string exifDateTime = "2009-12-31 23:59:30";
    if (test::hasTool("exiftool")) {
        r = runCommand("exiftool -s3 -d '%Y-%m-%d %H:%M:%S' -DateTimeOriginal '" + dv + "'");
        ASSERT_EQ(r.status, 0) << r.output;
        exifDateTime = r.output.substr(0, r.output.find('\n'));
    }
    EXPECT_EQ(first[3] + " " + first[4], exifDateTime);

    // Frame by frame: the timecode counts every frame, the recording clock every 25th.
    for (size_t n = 0; n < lines.size(); ++n) {
        const auto f = splitFields(lines[n]);
        char tc[16];
        std::snprintf(tc, sizeof tc, "10:00:%02zu:%02zu", n / 25, n % 25);
        EXPECT_EQ(f[1], tc) << "frame " << n;
        char pos[16];
        std::snprintf(pos, sizeof pos, "00:00:%02zu:%02zu", n / 25, n % 25);
        EXPECT_EQ(f[0], pos) << "frame " << n;
        EXPECT_EQ(f[3], "2009-12-31");
        EXPECT_EQ(f[4], n < 25 ? "23:59:30" : "23:59:31") << "frame " << n;
    }
}

}  // namespace
}  // namespace zorv::tools
