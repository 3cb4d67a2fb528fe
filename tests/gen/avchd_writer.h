// Writes AVCHD transport streams as AVCHD camcorders record them: H.264 from libx264 (access unit
// delimiters on) with an SEI user-data-unregistered message "MDPM" in every access unit carrying the
// camcorder's tags (recording date and time with time zone, timecode, user bits, camera packs,
// exposure 0xA1, GPS 0xB0-0xC4), AC-3 audio on PID 0x1100, the PCR on PID 0x1001 (or on the video
// PID, as other tools write it), PAT and PMT, in 188- or 192-byte packets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"
#include "gen/clip_spec.h"

namespace zorv::gen {

enum class GpsMode { None, Fixed, Track };

struct AvchdSpec {
    int64_t frames = 50;
    int width = 1920, height = 1080;
    int fps = 25;          // 25 or 30 pictures/s (30 is 30000/1001)
    int packetSize = 192;  // 192 (timestamped, .m2ts/.mts) or 188
    Timecode tc{0, 0, 0, 0};
    DateTime rec{2008, 12, 31, 23, 16, 24};
    uint8_t timeZone = 0x02;  // 0x18 PC1: UTC+1
    uint32_t userBits = 0x67452301;
    Pack camera1{0x70, {0x0D, 0x02, 0x60, 0x0F}};
    Pack camera2{0x71, {0xFF, 0x7F, 0xFF, 0xFF}};
    Pack shutter{0x7F, {0xFF, 0xFF, 0x65, 0x04}};  // code 1125: 1/25 s at 1/28125 s units
    uint16_t exposureNum = 28, exposureDen = 10;   // tag 0xA1: f2.8
    GpsMode gps = GpsMode::Fixed;
    std::vector<int64_t> dropMeta;  // pictures (display order) written without an MDPM SEI
    int64_t oversizePicture = -1;   // this picture's MDPM says 40 tags and carries 40
    bool pcrOnVideo = false;        // PCR in the video PID, no packet on PID 0x1001
    bool audio = true;
    bool lfe = false;         // AC-3 2/0 + LFE instead of 2/0
    int64_t ptsBase = 54000;  // PTS of the first picture shown (90 kHz)
    int gopSize = 12;
    int videoBitRate = 3000000;
    // Open groups of pictures, and the stream starts at the second one, as a camcorder file that
    // continues a recording does: its first I picture is followed by two B pictures shown before it.
    // The stream then holds frames + 2 pictures.
    bool leadingB = false;
};

// GPS position of one picture (whole degrees and minutes, seconds with two decimals).
struct GpsFix {
    char latRef = 'N', lonRef = 'E';
    int latDeg = 0, latMin = 0, latSecX100 = 0;
    int lonDeg = 0, lonMin = 0, lonSecX100 = 0;
    int altitudeX10 = 0;  // metres x 10, above sea level
    int speedX10 = 0;     // km/h x 10
    int trackX100 = 0;    // degrees x 100, true north
};

// One picture as written, in display order.
struct AvchdPicture {
    int64_t pts = 0, dts = 0;
    int pictureType = 0;  // primary_pic_type of its access unit delimiter
    bool meta = true;
};

struct AvchdWritten {
    std::vector<AvchdPicture> pictures;  // display order
    std::vector<uint8_t> ac3;            // every AC-3 frame written, in order
    int64_t audioFrames = 0;
    int64_t fileSize = 0;
};

core::Status writeAvchd(const AvchdSpec& desc, const std::string& path, AvchdWritten* written = nullptr);

// The GPS fix of picture n: fixed, or (Track) moving once per second.
GpsFix avchdGpsFix(const AvchdSpec& desc, int64_t display);
// The recording clock at picture n (one second per fps pictures).
DateTime avchdRecTime(const AvchdSpec& desc, int64_t display);
// The MDPM payload (count byte, then 5-byte tags) of picture n.
std::vector<uint8_t> avchdMdpmTags(const AvchdSpec& desc, int64_t display);

// A cache for tests: writes the stream once per process into a temporary folder and returns its path.
std::string cachedAvchd(const std::string& name, const AvchdSpec& desc, AvchdWritten* written = nullptr);

}  // namespace zorv::gen
