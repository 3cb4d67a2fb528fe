// Every output of zorv convert read by MediaInfo and ffprobe, and the AVI stream headers read byte by
// byte: AVI Type 1 is one interleaved "iavs"/"dvsd" stream, AVI Type 2 a "vids"/"dvsd" video stream and
// an "auds" PCM stream, Raw DV the bare frames; frame count and duration as in the input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"

using zorv::testing::quote;
using zorv::testing::runCommand;
using zorv::testing::runGen;
using zorv::testing::runZorv;
using zorv::testing::TempDir;

namespace {

bool haveTool(const char* name) { return runCommand(std::string("command -v ") + name + " >/dev/null").status == 0; }

struct StreamHeader {
    std::string type, handler;
};

uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// The fccType and fccHandler of every strh chunk under RIFF AVI / LIST hdrl / LIST strl.
std::vector<StreamHeader> streamHeaders(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> head(1 << 16);
    f.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(size_t(f.gcount()));
    std::vector<StreamHeader> out;
    if (head.size() < 24 || std::string(head.begin(), head.begin() + 4) != "RIFF" ||
        std::string(head.begin() + 8, head.begin() + 12) != "AVI ")
        return out;
    auto id = [&](size_t at) { return std::string(head.begin() + long(at), head.begin() + long(at) + 4); };
    // Walks the chunks in [from, to), descending into the lists named in `into`.
    auto walk = [&](auto&& self, size_t from, size_t to) -> void {
        for (size_t at = from; at + 8 <= to;) {
            uint32_t size = le32(&head[at + 4]);
            size_t end = at + 8 + size + (size & 1);
            if (end > to && id(at) != "LIST") break;
            if (id(at) == "LIST" && at + 12 <= to && (id(at + 8) == "hdrl" || id(at + 8) == "strl"))
                self(self, at + 12, std::min(end, to));
            else if (id(at) == "strh" && size >= 8 && at + 16 <= to) out.push_back({id(at + 8), id(at + 12)});
            else if (id(at) == "LIST" && id(at + 8) == "movi") return;
            at = end;
        }
    };
    walk(walk, 12, head.size());
    return out;
}

// The fccType/fccHandler pairs that MediaInfo's detailed trace shows.
std::vector<StreamHeader> mediainfoStreamHeaders(const std::string& path) {
    auto r = runCommand("mediainfo --Details=1 " + quote(path), false);
    std::vector<StreamHeader> out;
    std::istringstream in(r.out);
    std::string line;
    auto value = [](const std::string& l) {
        size_t c = l.find(':');
        size_t b = l.find_first_not_of(' ', c + 1);
        return b == std::string::npos ? std::string() : l.substr(b, 4);
    };
    while (std::getline(in, line)) {
        if (line.find("fccType:") != std::string::npos) out.push_back({value(line), {}});
        else if (line.find("fccHandler:") != std::string::npos && !out.empty()) out.back().handler = value(line);
    }
    return out;
}

std::string inform(const std::string& path, const std::string& form) {
    auto r = runCommand("mediainfo --Inform=" + quote(form) + " " + quote(path), false);
    while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == '\r')) r.out.pop_back();
    return r.out;
}

struct Input {
    const char* name;
    const char* genArgs;
    int64_t frames;
    bool pal;
    bool aviIn;
};

const Input kInputs[] = {
    {"pal1.avi", "--frames 50 --container avi1", 50, true, true},
    {"pal2.avi", "--frames 50 --container avi2", 50, true, true},
    {"ntsc.dv", "--system ntsc --frames 45 --container rawdv --df", 45, false, false},
    {"ntsc2.avi", "--system ntsc --frames 45 --container avi2", 45, false, true},
};

// Duration in milliseconds as readers round it: 40 ms per PAL frame, 1001/30 ms per NTSC frame.
double durationMs(const Input& in) { return in.pal ? 40.0 * double(in.frames) : double(in.frames) * 1001.0 / 30.0; }

}  // namespace

TEST(ConvertReaders, MediaInfoAndFfprobeReadEveryOutput) {
    if (!haveTool("mediainfo") || !haveTool("ffprobe")) GTEST_SKIP() << "mediainfo or ffprobe not installed";
    TempDir tmp;
    for (const Input& in : kInputs) {
        std::string src = tmp.file(in.name);
        ASSERT_EQ(runGen("clip " + quote(src) + " " + in.genArgs).status, 0) << in.name;
        for (const char* to : {"avi1", "avi2", "dv"}) {
            if (!in.aviIn && std::string(to) == "dv") continue;
            SCOPED_TRACE(std::string(in.name) + " to " + to);
            std::string out = tmp.file(std::string(in.name) + "." + to);
            auto r = runZorv("convert --to " + std::string(to) + " -o " + quote(out) + " " + quote(src) + " </dev/null");
            ASSERT_EQ(r.status, 0) << r.out;

            const std::string frames = std::to_string(in.frames);
            std::string general = inform(out, "General;%Format%|%VideoCount%|%AudioCount%|%FrameCount%");
            std::string video = inform(out, "Video;%Format%|%FrameCount%|%Standard%");
            std::string audio = inform(out, "Audio;%ID%|%Format%|%CodecID%|%MuxingMode%|%SamplingRate%|%Channels%");
            EXPECT_EQ(video, "DV|" + frames + (in.pal ? "|PAL" : "|NTSC"));
            double ms = std::atof(inform(out, "General;%Duration%").c_str());
            EXPECT_NEAR(ms, durationMs(in), 1.0);

            std::string probe = runCommand(
                                    "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                    "stream=codec_name,nb_read_frames -of csv=p=0 " +
                                        quote(out),
                                    false)
                                    .out;
            EXPECT_EQ(probe, "dvvideo," + frames + "\n");
            std::string probeAudio = runCommand(
                                         "ffprobe -v error -select_streams a -show_entries "
                                         "stream=codec_name,sample_rate,channels -of csv=p=0 " +
                                             quote(out),
                                         false)
                                         .out;
            EXPECT_EQ(probeAudio, "pcm_s16le,48000,2\n");

            // Every sample of every frame: 1920 per PAL frame, 8008 per five NTSC frames at 48 kHz.
            int64_t samples =
                in.pal ? in.frames * 1920 : in.frames / 5 * 8008 + (in.frames % 5 ? 1600 + (in.frames % 5 - 1) * 1602 : 0);
            std::string bytes = runCommand("ffmpeg -v error -i " + quote(out) + " -map 0:a:0 -f s16le - | wc -c", false).out;
            EXPECT_EQ(std::atoll(bytes.c_str()), samples * 4);

            std::vector<StreamHeader> ours = streamHeaders(out), theirs = mediainfoStreamHeaders(out);
            if (std::string(to) == "avi1") {
                EXPECT_EQ(general, "AVI|1|1|" + frames);
                EXPECT_EQ(audio, "0-0|PCM||DV|48000|2");  // the sound rides inside the video stream
                ASSERT_EQ(ours.size(), 1u);
                EXPECT_EQ(ours[0].type, "iavs");
                EXPECT_EQ(ours[0].handler, "dvsd");
                ASSERT_EQ(theirs.size(), 1u);
                EXPECT_EQ(theirs[0].type, "iavs");
                EXPECT_EQ(theirs[0].handler, "dvsd");
            } else if (std::string(to) == "avi2") {
                EXPECT_EQ(general, "AVI|1|1|" + frames);
                EXPECT_EQ(audio, "1|PCM|1||48000|2");
                ASSERT_EQ(ours.size(), 2u);
                EXPECT_EQ(ours[0].type, "vids");
                EXPECT_EQ(ours[0].handler, "dvsd");
                EXPECT_EQ(ours[1].type, "auds");
                ASSERT_EQ(theirs.size(), 2u);
                EXPECT_EQ(theirs[0].type, "vids");
                EXPECT_EQ(theirs[0].handler, "dvsd");
                EXPECT_EQ(theirs[1].type, "auds");
            } else {
                EXPECT_EQ(general, "DV|1|1|" + frames);
                EXPECT_TRUE(ours.empty());
            }
        }
    }
}
