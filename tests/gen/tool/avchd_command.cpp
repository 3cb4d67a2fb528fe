// zorv-gen avchd: writes an AVCHD transport stream (H.264 with per-picture MDPM metadata, AC-3 audio).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gen/avchd_writer.h"

using namespace zorv;

extern const char kAvchdUsage[] =
    "  zorv-gen avchd OUT [options]\n"
    "      --frames N                 picture count (default 50)\n"
    "      --packet 188|192           packet size (default 192)\n"
    "      --size WxH                 picture size (default 1920x1080)\n"
    "      --fps 25|30                pictures/s (30 is 30000/1001; default 25)\n"
    "      --gps-track                GPS position moving once per second (default: fixed position)\n"
    "      --no-gps                   no GPS tags\n"
    "      --drop-meta N,N,...        pictures (display order) written without MDPM metadata\n"
    "      --pcr-on-video             PCR in the video PID and no PID 0x1001 (as other tools write)\n"
    "      --lfe                      AC-3 2/0 with LFE\n"
    "      --no-audio                 no AC-3 stream\n"
    "      --leading-b                open with two B pictures shown before the first I picture\n"
    "      --tc HH:MM:SS:FF           timecode of the first picture (default 00:00:00:00)\n"
    "      --date YYYY-MM-DDTHH:MM:SS recording start (default 2008-12-31T23:16:24)\n";

int runAvchd(int argc, char** argv) {
    auto fail = [](const std::string& what) {
        std::fprintf(stderr, "zorv-gen: %s\n%s", what.c_str(), kAvchdUsage);
        return 2;
    };
    if (argc < 3) return fail("missing output file");
    const std::string out = argv[2];
    gen::AvchdSpec desc;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--gps-track") desc.gps = gen::GpsMode::Track;
        else if (a == "--no-gps") desc.gps = gen::GpsMode::None;
        else if (a == "--pcr-on-video") desc.pcrOnVideo = true;
        else if (a == "--lfe") desc.lfe = true;
        else if (a == "--no-audio") desc.audio = false;
        else if (a == "--leading-b") desc.leadingB = true;
        else {
            if (i + 1 >= argc) return fail("missing value for " + a);
            const std::string v = argv[++i];
            char* end = nullptr;
            if (a == "--frames") {
                desc.frames = std::strtoll(v.c_str(), &end, 10);
                if (*end || desc.frames < 1) return fail("bad frame count " + v);
            } else if (a == "--packet") {
                if (v != "188" && v != "192") return fail("packet size must be 188 or 192");
                desc.packetSize = std::atoi(v.c_str());
            } else if (a == "--size") {
                if (std::sscanf(v.c_str(), "%dx%d", &desc.width, &desc.height) != 2 || desc.width < 16 || desc.height < 16 ||
                    desc.width % 2 || desc.height % 2)
                    return fail("bad size " + v);
            } else if (a == "--fps") {
                if (v != "25" && v != "30") return fail("fps must be 25 or 30");
                desc.fps = std::atoi(v.c_str());
            } else if (a == "--drop-meta") {
                size_t p = 0;
                while (p <= v.size()) {
                    const size_t q = v.find(',', p);
                    const std::string part = v.substr(p, q == std::string::npos ? std::string::npos : q - p);
                    const long long n = std::strtoll(part.c_str(), &end, 10);
                    if (part.empty() || *end || n < 0) return fail("bad picture number " + part);
                    desc.dropMeta.push_back(n);
                    if (q == std::string::npos) break;
                    p = q + 1;
                }
            } else if (a == "--tc") {
                if (std::sscanf(v.c_str(), "%d:%d:%d:%d", &desc.tc.hours, &desc.tc.minutes, &desc.tc.seconds,
                                &desc.tc.frames) != 4)
                    return fail("bad timecode " + v);
            } else if (a == "--date") {
                gen::DateTime& d = desc.rec;
                if (std::sscanf(v.c_str(), "%d-%d-%dT%d:%d:%d", &d.year, &d.month, &d.day, &d.hour, &d.minute, &d.second) !=
                    6)
                    return fail("bad date " + v);
            } else {
                return fail("unknown option " + a);
            }
        }
    }
    const core::Status s = gen::writeAvchd(desc, out);
    if (s) return 0;
    std::fprintf(stderr, "zorv-gen: %s: %s\n", out.c_str(), s.message.c_str());
    return 1;
}
