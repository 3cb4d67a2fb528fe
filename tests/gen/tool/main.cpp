// zorv-gen: writes camcorder-like DV test files (real DV video with timecode, recording date/time
// and camera packs) as Raw DV, AVI Type 1 or AVI Type 2.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gen/clip_writer.h"

using namespace zorv;

int runHdv(int argc, char** argv);
extern const char kHdvUsage[];
int runAvchd(int argc, char** argv);
extern const char kAvchdUsage[];
int runBroken(int argc, char** argv);
extern const char kBrokenUsage[];

namespace {

const char kUsage[] =
    "Usage:\n"
    "  zorv-gen sample OUT\n"
    "      a 10-second PAL AVI Type 1 with a scene cut at 5 s (timecode and recording time jump)\n"
    "  zorv-gen clip OUT [options]\n"
    "      --system pal|ntsc          video system (default pal)\n"
    "      --frames N                 frame count (default 250)\n"
    "      --container avi1|avi2|rawdv (default avi1)\n"
    "      --index idx1-file|idx1-movi|odml  AVI index style (default odml)\n"
    "      --riff-limit BYTES         largest RIFF chunk of an OpenDML file\n"
    "      --drop N,N,...             frames written as empty index entries\n"
    "      --omit N,N,...             frames left out of the file (a transfer that lost them)\n"
    "      --first N                  the file starts at frame N of the clip\n"
    "      --damage F:STA:SHARE[@AT],...  frame F read badly: SHARE (0..1) of its video blocks get the\n"
    "                                 status STA (hex: a/2 concealed from the previous frame, c/4 from\n"
    "                                 the next, e/6 unspecified, f/7 not concealed), one run in frame\n"
    "                                 order from AT (0..1) of the way into the frame\n"
    "      --audio-errors F:CH:COUNT[@FIRST],...  COUNT error samples on channel CH (1-4) of frame F\n"
    "      --tc HH:MM:SS:FF           start timecode (default 00:00:00:00)\n"
    "      --date YYYY-MM-DDTHH:MM:SS recording start (default 2011-06-15T10:30:00)\n"
    "      --df                       drop-frame timecode\n"
    "      --audio tone|silence|none  a sine per channel, silent samples (default), or no audio pack\n"
    "      --rate 48000|44100|32000   audio sampling frequency (default 48000)\n"
    "      --bits 16|12               12: non-linear four-channel audio (32 kHz only)\n"
    "  zorv-gen --help\n";

int usageError(const std::string& what) {
    std::fprintf(stderr, "zorv-gen: %s\n%s", what.c_str(), kUsage);
    return 2;
}

// Splits a comma-separated list.
std::vector<std::string> splitList(const std::string& s) {
    std::vector<std::string> parts;
    size_t p = 0;
    while (p <= s.size()) {
        size_t q = s.find(',', p);
        parts.push_back(s.substr(p, q == std::string::npos ? std::string::npos : q - p));
        if (q == std::string::npos) break;
        p = q + 1;
    }
    return parts;
}

bool parseDamage(const std::string& item, gen::BlockDamage& d) {
    long long frame = 0;
    unsigned sta = 0;
    double share = 0, at = 0;
    char end = 0;
    int got = std::sscanf(item.c_str(), "%lld:%x:%lf@%lf%c", &frame, &sta, &share, &at, &end);
    if ((got != 3 && got != 4) || frame < 0 || sta > 15 || share < 0 || share > 1 || at < 0 || at >= 1) return false;
    d = gen::BlockDamage{frame, static_cast<int>(sta), share, got == 4 ? at : 0.0};
    return true;
}

bool parseAudioDamage(const std::string& item, gen::AudioDamage& a) {
    long long frame = 0;
    int ch = 0, count = 0, first = 0;
    char end = 0;
    int got = std::sscanf(item.c_str(), "%lld:%d:%d@%d%c", &frame, &ch, &count, &first, &end);
    if ((got != 3 && got != 4) || frame < 0 || ch < 1 || ch > 4 || count < 0 || first < 0) return false;
    a = gen::AudioDamage{frame, ch - 1, count, got == 4 ? first : 0};
    return true;
}

bool parseInt64(const char* s, int64_t& out) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s, &end, 10);
    if (errno || end == s || *end) return false;
    out = v;
    return true;
}

int report(const core::Status& s, const std::string& path) {
    if (s) return 0;
    std::fprintf(stderr, "zorv-gen: %s: %s%s%s\n", path.c_str(), s.message.c_str(), s.sysError ? ": " : "",
                 s.sysError ? std::strerror(s.sysError) : "");
    return 1;
}

int runClip(int argc, char** argv) {
    if (argc < 3) return usageError("missing output file");
    std::string out = argv[2];
    gen::ClipSpec desc;
    gen::Container container = gen::Container::Avi1;
    gen::IndexStyle style = gen::IndexStyle::OpenDml;
    gen::Timecode tc;
    gen::DateTime date;
    for (int i = 3; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--df") {
            desc.dropFrame = true;
            continue;
        }
        const char* v = value();
        if (!v) return usageError("missing value for " + a);
        std::string s = v;
        if (a == "--system") {
            if (s == "pal") desc.system = gen::System::Pal;
            else if (s == "ntsc") desc.system = gen::System::Ntsc;
            else return usageError("unknown system " + s);
        } else if (a == "--frames") {
            if (!parseInt64(v, desc.frames) || desc.frames < 1) return usageError("bad frame count " + s);
        } else if (a == "--container") {
            if (s == "avi1") container = gen::Container::Avi1;
            else if (s == "avi2") container = gen::Container::Avi2;
            else if (s == "rawdv") container = gen::Container::RawDv;
            else return usageError("unknown container " + s);
        } else if (a == "--index") {
            if (s == "idx1-file") style = gen::IndexStyle::Idx1FromFile;
            else if (s == "idx1-movi") style = gen::IndexStyle::Idx1FromMovi;
            else if (s == "odml") style = gen::IndexStyle::OpenDml;
            else return usageError("unknown index style " + s);
        } else if (a == "--riff-limit") {
            int64_t n = 0;
            if (!parseInt64(v, n) || n < 1) return usageError("bad RIFF limit " + s);
            desc.riffLimit = static_cast<uint64_t>(n);
        } else if (a == "--drop") {
            size_t p = 0;
            while (p < s.size()) {
                size_t q = s.find(',', p);
                std::string part = s.substr(p, q == std::string::npos ? std::string::npos : q - p);
                int64_t n = 0;
                if (!parseInt64(part.c_str(), n) || n < 0) return usageError("bad frame number " + part);
                desc.dropped.push_back(n);
                if (q == std::string::npos) break;
                p = q + 1;
            }
        } else if (a == "--omit") {
            for (const std::string& part : splitList(s)) {
                int64_t n = 0;
                if (!parseInt64(part.c_str(), n) || n < 0) return usageError("bad frame number " + part);
                desc.omitted.push_back(n);
            }
        } else if (a == "--first") {
            if (!parseInt64(v, desc.firstFrame) || desc.firstFrame < 0) return usageError("bad first frame " + s);
        } else if (a == "--damage") {
            for (const std::string& part : splitList(s)) {
                gen::BlockDamage d;
                if (!parseDamage(part, d)) return usageError("bad damage " + part);
                desc.damage.push_back(d);
            }
        } else if (a == "--audio-errors") {
            for (const std::string& part : splitList(s)) {
                gen::AudioDamage d;
                if (!parseAudioDamage(part, d)) return usageError("bad audio errors " + part);
                desc.audioErrors.push_back(d);
            }
        } else if (a == "--audio") {
            if (s == "tone") desc.audio.tone = true;
            else if (s == "none") desc.audio.present = false;
            else if (s != "silence") return usageError("unknown audio " + s);
        } else if (a == "--rate") {
            if (s != "48000" && s != "44100" && s != "32000") return usageError("unsupported audio rate " + s);
            desc.audio.sampleRate = std::atoi(v);
        } else if (a == "--bits") {
            if (s != "16" && s != "12") return usageError("unsupported audio bits " + s);
            desc.audio.bits = std::atoi(v);
        } else if (a == "--tc") {
            if (std::sscanf(v, "%d:%d:%d:%d", &tc.hours, &tc.minutes, &tc.seconds, &tc.frames) != 4)
                return usageError("bad timecode " + s);
        } else if (a == "--date") {
            if (std::sscanf(v, "%d-%d-%dT%d:%d:%d", &date.year, &date.month, &date.day, &date.hour, &date.minute,
                            &date.second) != 6)
                return usageError("bad date " + s);
        } else {
            return usageError("unknown option " + a);
        }
    }
    if (desc.audio.bits == 12 && desc.audio.sampleRate != 32000) return usageError("12-bit audio is 32 kHz only");
    desc.runs = {gen::Run{0, tc, 1, date}};
    return report(gen::writeClip(desc, out, container, style), out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usageError("missing command");
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        std::fputs(kHdvUsage, stdout);
        std::fputs(kAvchdUsage, stdout);
        std::fputs(kBrokenUsage, stdout);
        return 0;
    }
    if (cmd == "sample") {
        if (argc != 3) return usageError("sample takes one output file");
        return report(gen::writeClip(gen::sampleClip(), argv[2], gen::Container::Avi1), argv[2]);
    }
    if (cmd == "clip") return runClip(argc, argv);
    if (cmd == "hdv") return runHdv(argc, argv);
    if (cmd == "avchd") return runAvchd(argc, argv);
    if (cmd == "broken") return runBroken(argc, argv);
    return usageError("unknown command " + cmd);
}
