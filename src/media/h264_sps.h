// The H.264 sequence parameter set fields the program shows and builds graphs from: profile and
// level, coded picture size, frame rate from the VUI timing information and the sample aspect ratio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv::media {

// The frame rate used when a parameter set carries no timing information.
inline constexpr int64_t kDefaultAvcRateNum = 30000;
inline constexpr int64_t kDefaultAvcRateDen = 1001;

struct H264Sps {
    int profileIdc = 0;
    uint8_t constraintFlags = 0;  // constraint_set0..5 in bits 7..2
    int levelIdc = 0;
    int chromaFormatIdc = 1;
    bool frameMbsOnly = true;
    // Coded size: (pic_width_in_mbs_minus1 + 1) x 16 and (2 - frame_mbs_only_flag) x
    // (pic_height_in_map_units_minus1 + 1) x 16.
    int64_t codedWidth = 0;
    int64_t codedHeight = 0;
    // The picture as shown: the coded size less the frame cropping (1920 x 1080 for the 1088 lines
    // that 1080-line camcorders code). Equal to the coded size without cropping.
    int64_t width = 0;
    int64_t height = 0;
    bool hasTiming = false;
    uint32_t numUnitsInTick = 0;
    uint32_t timeScale = 0;
    // Frames per second: time_scale / (2 x num_units_in_tick), or 30000 / 1001 without timing
    // information (or with a zero field in it).
    int64_t rateNum = kDefaultAvcRateNum;
    int64_t rateDen = kDefaultAvcRateDen;
    int aspectRatioIdc = 0;  // 0 unspecified, 1-16 Table E-1, 255 explicit
    int sarWidth = 0;        // 0/0 when unspecified or unknown
    int sarHeight = 0;

    bool constraintSet3() const { return (constraintFlags & 0x10) != 0; }
    double frameRate() const { return rateDen ? static_cast<double>(rateNum) / static_cast<double>(rateDen) : 0.0; }
};

// Parses the SPS whose NAL unit starts at p (the NAL header byte, type 7), n bytes, emulation
// prevention bytes still in place. False when the unit is not an SPS or ends before the fields above.
bool parseH264Sps(const uint8_t* p, size_t n, H264Sps& out);

// "Baseline", "Main", "High", ... for profile_idc; "Unknown" for any other value.
std::string_view h264ProfileText(int profileIdc);
// "@L1b" for level 1b, otherwise "@L%d.%d" (level_idc / 10, level_idc % 10).
std::string h264LevelText(const H264Sps& sps);

}  // namespace zorv::media
