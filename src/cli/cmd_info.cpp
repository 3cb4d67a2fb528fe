// zorv info FILE: what kind of file it is and its DV stream layout.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/stream_info.h"
#include "media/formats/format_table.h"
#include "media/avi_chunks.h"

namespace zorv::cli {

namespace {

void usage(FILE* out) {
    std::fputs(
        "usage: zorv info FILE\n"
        "Shows the file type, video subtype, frame count, TV system, frame rate, frame size, duration,\n"
        "and the reel name and Premiere start timecode when the file carries them.\n",
        out);
}

std::string fourccText(uint32_t f) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((f >> (8 * i)) & 0xFF);
        s[i] = (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

}  // namespace

int cmdInfo(int argc, char** argv) {
    // "--" before the file: its name may start with '-'.
    const bool ended = argc == 2 && std::strcmp(argv[0], "--") == 0;
    if (ended) {
        ++argv;
        --argc;
    }
    if (!ended && argc >= 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    if (argc != 1) {
        usage(stderr);
        return 2;
    }
    std::string path = argv[0];
    if (const int rc = streamInfo(path); rc >= 0) return rc;  // HDV and AVCHD streams
    media::DvMediaFile file;
    if (!openMedia(file, path, false)) return 1;

    media::FileType type = file.fileType();
    std::printf("File:        %s\n", path.c_str());
    std::printf("Type:        %s (%d)\n", media::typeName(type), static_cast<int>(type));
    std::printf("Subtype:     %s\n", fourccText(file.fourcc()).c_str());
    std::printf("Size:        %" PRId64 " bytes\n", file.fileSize());
    const media::FormatDescriptor& format = media::formatOf(type);
    if (format.isDv()) {
        size_t fs = file.frameSize();
        double rate = dvFrameRate(fs);
        int64_t frames = file.frameCount();
        std::printf("Frames:      %" PRId64 " (%" PRId64 " with data)\n", frames, file.nonEmptyFrames());
        std::printf("System:      %s\n", rate == 25.0 ? "PAL 625/50" : "NTSC 525/60");
        std::printf("Frame rate:  %s\n", rate == 25.0 ? "25" : "29.97");
        std::printf("Frame size:  %zu bytes\n", fs);
        std::printf("Duration:    %.3f s\n", static_cast<double>(frames) / rate);
    } else if (format.isStream()) {
        std::printf("Packets:     %d bytes, first at %" PRId64 "\n", file.tsPacketSize(), file.tsStart());
    }
    media::AviChunks chunks(file.file().fd(), type);
    if (auto reel = chunks.reelName(); reel && !reel->empty()) std::printf("Reel:        %s\n", reel->c_str());
    if (auto tc = chunks.premiereTimecode(); tc && !tc->empty()) std::printf("Premiere TC: %s\n", tc->c_str());
    return 0;
}

}  // namespace zorv::cli
