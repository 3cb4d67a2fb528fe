// Writes HDV transport streams as HDV camcorders record them: MPEG-2 video (1440x1080 on PID 0x0810,
// or 1280x720 on PID 0x1000 for 720-line HDV1) with PTS and DTS, MPEG-1 Layer II audio, PAT, PMT,
// the table packet on PID 0x0134, and for each picture one aux packet (adaptation-field stuffing then
// a private_stream_2 PES with the camcorder's item run). The stream is padded with null packets to a
// constant rate, as a tape camcorder sends it. Video and audio are real libavcodec encodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "gen/clip_spec.h"

namespace zorv::gen {

struct HdvSpec {
    bool line720 = false;  // HDV1 (720-line) instead of HDV2 (1080-line)
    bool ntsc = false;     // 29.97 pictures/s (drop-frame timecode) instead of 25
    int64_t frames = 50;
    int packetSize = 188;     // 188, or 192 with arrival time prefixes
    Timecode tc{0, 0, 0, 0};  // timecode of the first picture shown
    DateTime rec;             // recording clock at the first picture
    uint32_t userBits = 0x67452301;
    Pack camera1{0x70, {0x0D, 0x02, 0x60, 0x0F}};  // iris f3.1, auto exposure, gain 3 dB, WB preset 0
    Pack camera2{0x71, {0xFF, 0x7F, 0xFF, 0xFF}};  // stabilizer on
    Pack shutter{0x7F, {0xFF, 0xFF, 0x65, 0x04}};  // shutter code 1125: 1/25 s at 1/28125 s units
    std::vector<int64_t> dropAux;                  // pictures (display order) written without aux data
    std::string reelName;                          // written in a PID 0x1FFD packet at the start when set
    int64_t muxRate = 25000000;                    // bits per second, padded with null packets
    int videoBitRate = 4000000;
    bool audio = true;
    int64_t ptsBase = 54000;     // PTS of the first picture shown (90 kHz)
    int64_t uniquePictures = 0;  // encode this many pictures (whole GOPs) and repeat them; 0 = all
    int gopSize = 12;
};

// One picture as written, in decode order.
struct HdvPicture {
    int64_t display = 0;  // index in display order
    int64_t pts = 0, dts = 0;
    int pictureCode = 0;  // 1 I, 2 B, 3 P
    bool aux = true;
    int64_t tcFrames = -1;  // timecode frame count (style 2, or 4 for ntsc)
    bool sequenceHeader = false;
};

struct HdvWritten {
    std::vector<HdvPicture> pictures;
    int64_t audioFrames = 0;
    int64_t firstAudioPts = -1;
    int64_t fileSize = 0;
    int width = 0, height = 0;
};

core::Status writeHdv(const HdvSpec& desc, const std::string& path, HdvWritten* written = nullptr);

// The aux item run of one picture (items 0x01, 0x05, 0x06, 0x44, 0x48-0x4B).
std::vector<uint8_t> hdvAuxItems(const HdvSpec& desc, int64_t display, int64_t pts, int pictureCode);

// A cache for tests: writes the stream once per process into a temporary folder and returns its path.
std::string cachedHdv(const std::string& name, const HdvSpec& desc, HdvWritten* written = nullptr);

}  // namespace zorv::gen
