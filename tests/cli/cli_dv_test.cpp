// The zorv info, frame and scenes commands on generated DV files and on DV that ffmpeg wrote,
// checked against ffprobe and ExifTool.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "cli/cli_run.h"

using zorv::testing::quote;
using zorv::testing::runCommand;
using zorv::testing::runGen;
using zorv::testing::RunResult;
using zorv::testing::runZorv;
using zorv::testing::TempDir;

namespace {

std::string jsonField(const std::string& json, const std::string& key) {
    std::smatch m;
    std::regex re("\"" + key + "\":\"([^\"]*)\"");
    return std::regex_search(json, m, re) ? m[1].str() : std::string("<missing " + key + ">");
}

bool haveTool(const char* name) { return runCommand(std::string("command -v ") + name + " >/dev/null").status == 0; }

}  // namespace

TEST(CliInfo, DescribesGeneratedAviAndRawDv) {
    TempDir tmp;
    std::string avi = tmp.file("s.avi");
    ASSERT_EQ(runGen("sample " + quote(avi)).status, 0);
    auto r = runZorv("info " + quote(avi));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("AVI Type 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Frames:      250"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PAL 625/50"), std::string::npos) << r.out;

    std::string dv = tmp.file("n.dv");
    ASSERT_EQ(runGen("clip " + quote(dv) + " --system ntsc --frames 31 --container rawdv --df").status, 0);
    r = runZorv("info " + quote(dv));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Raw DV"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Frames:      31"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("29.97"), std::string::npos) << r.out;
}

TEST(CliInfo, RefusesWhatItCannotRead) {
    TempDir tmp;
    std::string junk = tmp.file("junk.avi");
    std::ofstream(junk) << std::string(200000, 'x');
    auto r = runZorv("info " + quote(junk));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("File is not a recognised DV AVI, Raw DV, HDV M2T or AVCHD MTS/M2TS format:"), std::string::npos)
        << r.out;

    r = runZorv("info " + quote(tmp.file("missing.avi")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Unable to open the requested file:"), std::string::npos) << r.out;

    std::string tiny = tmp.file("tiny.avi");
    std::ofstream(tiny) << "RIFF";
    r = runZorv("info " + quote(tiny));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Unable to read the requested file:"), std::string::npos) << r.out;

    EXPECT_EQ(runZorv("info").status, 2);
    EXPECT_EQ(runZorv("nonsense").status, 2);
    EXPECT_EQ(runZorv("--help").status, 0);
}

TEST(CliFrame, AgreesWithFfprobeAndExiftoolOnFfmpegDv) {
    if (!haveTool("ffmpeg") || !haveTool("ffprobe")) GTEST_SKIP() << "ffmpeg not installed";
    TempDir tmp;
    std::string dv = tmp.file("ff.dv");
    auto made = runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine=r=48000 -t 3 "
        "-timecode 10:00:00:00 -metadata creation_time=2009-12-31T23:59:30 -pix_fmt yuv420p -ac 2 "
        "-f dv " +
        quote(dv));
    ASSERT_EQ(made.status, 0) << made.out;

    auto probe = runCommand("ffprobe -v error -show_entries format_tags=timecode -of default=nw=1:nk=1 " + quote(dv));
    ASSERT_EQ(probe.status, 0);
    std::string ffTimecode = probe.out.substr(0, probe.out.find('\n'));
    EXPECT_EQ(ffTimecode, "10:00:00:00");

    auto f0 = runZorv("frame " + quote(dv) + " 0 --json --date-format 3");
    ASSERT_EQ(f0.status, 0) << f0.out;
    EXPECT_EQ(jsonField(f0.out, "timecode"), ffTimecode);
    EXPECT_EQ(jsonField(f0.out, "recDate"), "09-12-31");
    EXPECT_EQ(jsonField(f0.out, "recTime"), "23:59:30");

    if (haveTool("exiftool")) {
        auto exif = runCommand("exiftool -s3 -DateTimeOriginal " + quote(dv));
        ASSERT_EQ(exif.status, 0);
        EXPECT_EQ(exif.out.substr(0, 19), "2009:12:31 23:59:30");
    }

    // The timecode advances frame by frame, the recording time once a second.
    auto f26 = runZorv("frame " + quote(dv) + " 26 --json");
    ASSERT_EQ(f26.status, 0);
    EXPECT_EQ(jsonField(f26.out, "timecode"), "10:00:01:01");
    EXPECT_EQ(jsonField(f26.out, "recTime"), "23:59:31");
    auto f74 = runZorv("frame " + quote(dv) + " 74 --json --date-format 3");
    EXPECT_EQ(jsonField(f74.out, "timecode"), "10:00:02:24");
    EXPECT_EQ(jsonField(f74.out, "recTime"), "23:59:32");
}

TEST(CliFrame, DropFrameTimecodeAndDroppedFrames) {
    TempDir tmp;
    std::string avi = tmp.file("ntsc.avi");
    ASSERT_EQ(runGen("clip " + quote(avi) +
                     " --system ntsc --frames 40 --container avi2 --index idx1-movi "
                     "--tc 00:00:59:28 --df --drop 5")
                  .status,
              0);
    auto r = runZorv("frame " + quote(avi) + " 2 --json");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(jsonField(r.out, "timecode"), "00:01:00;02");  // ;00 and ;01 are skipped labels
    r = runZorv("frame " + quote(avi) + " 2 --json --df-format 1");
    EXPECT_EQ(jsonField(r.out, "timecode"), "00;01;00;02");
    EXPECT_NE(r.out.find("\"timecodeStyle\":4"), std::string::npos) << r.out;

    r = runZorv("frame " + quote(avi) + " 5 --json");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"dropped\":true"), std::string::npos) << r.out;

    r = runZorv("frame " + quote(avi) + " 40");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("past the end"), std::string::npos) << r.out;
    EXPECT_EQ(runZorv("frame " + quote(avi) + " -1").status, 2);
}

// A recording that starts on a frame without timecode packs still counts and shows drop-frame time
// from the first frame that carries them: no false cut at the minute, and ";" in the timecode.
TEST(CliFrame, DropFrameStyleFromTheFirstFrameWithTimecode) {
    TempDir tmp;
    const std::string dv = tmp.file("blank-start.dv");
    ASSERT_EQ(runGen("clip " + quote(dv) + " --system ntsc --df --tc 00:00:59:20 --frames 20 --container rawdv").status, 0);
    {
        std::fstream f(dv, std::ios::in | std::ios::out | std::ios::binary);
        for (int seq = 0; seq < 10; ++seq)
            for (int block = 1; block <= 2; ++block)
                for (int j = 0; j < 6; ++j) {
                    const std::streamoff at = seq * 12000 + block * 80 + 6 + 8 * j;
                    char id = 0;
                    f.seekg(at);
                    f.read(&id, 1);
                    if (static_cast<uint8_t>(id) != 0x13) continue;
                    const char blank[5] = {'\xFF', '\xFF', '\xFF', '\xFF', '\xFF'};
                    f.seekp(at);
                    f.write(blank, 5);
                }
    }
    auto r = runZorv("frame " + quote(dv) + " 0 --json");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(jsonField(r.out, "timecode"), "--:--:--:--");
    r = runZorv("frame " + quote(dv) + " 12 --json");
    EXPECT_EQ(jsonField(r.out, "timecode"), "00:01:00;04") << r.out;
    EXPECT_NE(r.out.find("\"timecodeStyle\":4"), std::string::npos) << r.out;
    // The timecode appears at frame 1; the drop-frame minute at frame 10 is no cut.
    r = runZorv("scenes " + quote(dv) + " --triggers timecode");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("1 scene starts"), std::string::npos) << r.out;
}

// MediaInfo reads the first timecode and the recording date of generated DV as we do.
TEST(CliFrame, FirstTimecodeAndRecordingDateAgreeWithMediaInfo) {
    if (runCommand("mediainfo --Version >/dev/null 2>&1").status != 0) GTEST_SKIP() << "mediainfo is not installed";
    TempDir tmp;
    struct Case {
        const char* file;
        const char* args;
    } cases[] = {{"pal.dv", "--container rawdv --tc 10:20:30:12"}, {"ntsc.avi", "--system ntsc --df --tc 00:09:59:20"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = tmp.file(c.file);
        ASSERT_EQ(runGen("clip " + quote(path) + " --frames 4 " + c.args).status, 0);
        const RunResult ours = runZorv("frame " + quote(path) + " 0 --json --date-format 3");
        ASSERT_EQ(ours.status, 0) << ours.out;
        const RunResult tc = runCommand("mediainfo --Inform='Video;%TimeCode_FirstFrame%' " + quote(path), false);
        EXPECT_EQ(jsonField(ours.out, "timecode") + "\n", tc.out);
        const RunResult when = runCommand("mediainfo --Inform='General;%Recorded_Date%' " + quote(path), false);
        if (when.out.size() > 1) {  // 20yy-mm-dd hh:mm:ss.000
            EXPECT_EQ(when.out.substr(2, 17), jsonField(ours.out, "recDate") + " " + jsonField(ours.out, "recTime"));
        }
    }
}

TEST(CliFrame, TimesNoRecordingReachesAreRefused) {
    TempDir tmp;
    const std::string dv = tmp.file("t.dv");
    ASSERT_EQ(runGen("clip " + quote(dv) + " --frames 2 --container rawdv").status, 0);
    for (const char* t : {"nan", "inf", "1e300", "-1", "-0.5"}) {
        const RunResult r = runZorv("frame " + quote(dv) + " --time " + t);
        EXPECT_EQ(r.status, 2) << t << ": " << r.out;
        EXPECT_NE(r.out.find("the time must be a number of seconds from 0 to 1000000000"), std::string::npos) << r.out;
    }
}

TEST(CliScenes, ListsTheCutOfTheSample) {
    TempDir tmp;
    std::string avi = tmp.file("s.avi");
    ASSERT_EQ(runGen("sample " + quote(avi)).status, 0);
    auto r = runZorv("scenes " + quote(avi) + " --triggers timecode,datetime");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("1 scene starts"), std::string::npos) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\n\s+125\s+00:00:05:00\s)"))) << r.out;
    EXPECT_NE(r.out.find("timecode,datetime"), std::string::npos) << r.out;

    // Only dropped frames selected: nothing in a file without any.
    r = runZorv("scenes " + quote(avi) + " --triggers dropped");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("0 scene starts"), std::string::npos) << r.out;

    EXPECT_EQ(runZorv("scenes " + quote(avi) + " --triggers sunshine").status, 2);
}
