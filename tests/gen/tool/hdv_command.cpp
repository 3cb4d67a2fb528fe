// zorv-gen hdv: writes an HDV transport stream (MPEG-2 video, MPEG-1 Layer II audio, per-picture aux
// metadata).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gen/hdv_writer.h"

using namespace zorv;

extern const char kHdvUsage[] =
    "  zorv-gen hdv OUT [options]\n"
    "      --frames N                 picture count (default 50)\n"
    "      --720                      HDV1 720-line stream (video on PID 0x1000) instead of HDV2 1080\n"
    "      --ntsc                     29.97 pictures/s with drop-frame timecode (default 25)\n"
    "      --packet 188|192           packet size (default 188)\n"
    "      --drop-aux N,N,...         pictures (display order) written without aux metadata\n"
    "      --tc HH:MM:SS:FF           timecode of the first picture (default 00:00:00:00)\n"
    "      --date YYYY-MM-DDTHH:MM:SS recording start (default 2011-06-15T10:30:00)\n"
    "      --reel NAME                reel name packet on PID 0x1FFD\n"
    "      --unique N                 encode N pictures and repeat them (long streams)\n";

int runHdv(int argc, char** argv) {
    auto fail = [](const std::string& what) {
        std::fprintf(stderr, "zorv-gen: %s\n%s", what.c_str(), kHdvUsage);
        return 2;
    };
    if (argc < 3) return fail("missing output file");
    const std::string out = argv[2];
    gen::HdvSpec desc;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--720") {
            desc.line720 = true;
            continue;
        }
        if (a == "--ntsc") {
            desc.ntsc = true;
            continue;
        }
        if (i + 1 >= argc) return fail("missing value for " + a);
        const std::string v = argv[++i];
        char* end = nullptr;
        if (a == "--frames" || a == "--packet" || a == "--unique") {
            const long long n = std::strtoll(v.c_str(), &end, 10);
            if (end == v.c_str() || *end || n < 1) return fail("bad number " + v);
            if (a == "--frames") desc.frames = n;
            else if (a == "--unique") desc.uniquePictures = n;
            else if (n == 188 || n == 192) desc.packetSize = static_cast<int>(n);
            else return fail("packet size must be 188 or 192");
        } else if (a == "--drop-aux") {
            size_t p = 0;
            while (p <= v.size()) {
                const size_t q = v.find(',', p);
                const std::string part = v.substr(p, q == std::string::npos ? std::string::npos : q - p);
                const long long n = std::strtoll(part.c_str(), &end, 10);
                if (part.empty() || *end || n < 0) return fail("bad picture number " + part);
                desc.dropAux.push_back(n);
                if (q == std::string::npos) break;
                p = q + 1;
            }
        } else if (a == "--tc") {
            if (std::sscanf(v.c_str(), "%d:%d:%d:%d", &desc.tc.hours, &desc.tc.minutes, &desc.tc.seconds, &desc.tc.frames) !=
                4)
                return fail("bad timecode " + v);
        } else if (a == "--date") {
            auto& d = desc.rec;
            if (std::sscanf(v.c_str(), "%d-%d-%dT%d:%d:%d", &d.year, &d.month, &d.day, &d.hour, &d.minute, &d.second) != 6)
                return fail("bad date " + v);
        } else if (a == "--reel") {
            desc.reelName = v;
        } else {
            return fail("unknown option " + a);
        }
    }
    const core::Status s = gen::writeHdv(desc, out);
    if (s) return 0;
    std::fprintf(stderr, "zorv-gen: %s: %s%s%s\n", out.c_str(), s.message.c_str(), s.sysError ? ": " : "",
                 s.sysError ? std::strerror(s.sysError) : "");
    return 1;
}
