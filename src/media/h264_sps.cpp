#include "media/h264_sps.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "media/h264_nal.h"

namespace zorv::media {
namespace {

// Sample aspect ratios of aspect_ratio_idc 1-16 (H.264 Table E-1).
static const std::array<std::array<int, 2>, 17> kSarTable = {{
    {0, 0},
    {1, 1},
    {12, 11},
    {10, 11},
    {16, 11},
    {40, 33},
    {24, 11},
    {20, 11},
    {32, 11},
    {80, 33},
    {18, 11},
    {15, 11},
    {64, 33},
    {160, 99},
    {4, 3},
    {3, 2},
    {2, 1},
}};

struct ProfileName {
    int idc;
    const char* text;
};
static const ProfileName kProfiles[] = {
    {44, "CAVLC 4:4:4 Intra"},
    {66, "Baseline"},
    {77, "Main"},
    {83, "Scalable Baseline"},
    {86, "Scalable High"},
    {88, "Extended"},
    {100, "High"},
    {110, "High 10"},
    {122, "High 4:2:2"},
    {144, "High 4:4:4"},
    {244, "High 4:4:4 Predictive"},
};

// Profiles whose SPS carries chroma format, bit depths and scaling matrices.
bool hasChromaFields(int p) {
    switch (p) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135: return true;
    default: return false;
    }
}

void skipScalingList(BitReader& br, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size && br.ok(); ++j) {
        if (next != 0) {
            const int64_t delta = br.se();
            next = static_cast<int>(((last + delta) % 256 + 256) % 256);
        }
        last = next == 0 ? last : next;
    }
}

// An SPS is a few dozen bytes; anything past this is not read.
constexpr size_t kMaxSpsBytes = 1024;

}  // namespace

bool parseH264Sps(const uint8_t* p, size_t n, H264Sps& out) {
    if (n < 4 || nalType(p[0]) != nal::kSps) return false;
    uint8_t rbsp[kMaxSpsBytes];
    const size_t len = removeEmulationPrevention(p + 1, std::min(n - 1, kMaxSpsBytes), rbsp);
    BitReader br(rbsp, len);
    H264Sps s;
    s.profileIdc = static_cast<int>(br.bits(8));
    s.constraintFlags = static_cast<uint8_t>(br.bits(8));
    s.levelIdc = static_cast<int>(br.bits(8));
    br.ue();  // seq_parameter_set_id
    if (hasChromaFields(s.profileIdc)) {
        s.chromaFormatIdc = static_cast<int>(br.ue());
        if (s.chromaFormatIdc == 3) br.skip(1);  // separate_colour_plane_flag
        br.ue();                                 // bit_depth_luma_minus8
        br.ue();                                 // bit_depth_chroma_minus8
        br.skip(1);                              // qpprime_y_zero_transform_bypass_flag
        if (br.flag()) {                         // seq_scaling_matrix_present_flag
            const int lists = s.chromaFormatIdc != 3 ? 8 : 12;
            for (int i = 0; i < lists && br.ok(); ++i)
                if (br.flag()) skipScalingList(br, i < 6 ? 16 : 64);
        }
    }
    br.ue();  // log2_max_frame_num_minus4
    const uint32_t pocType = br.ue();
    if (pocType == 0) {
        br.ue();  // log2_max_pic_order_cnt_lsb_minus4
    } else if (pocType == 1) {
        br.skip(1);
        br.se();
        br.se();
        const uint32_t cycle = br.ue();
        if (cycle > 255) return false;
        for (uint32_t i = 0; i < cycle && br.ok(); ++i) br.se();
    }
    br.ue();     // max_num_ref_frames
    br.skip(1);  // gaps_in_frame_num_value_allowed_flag
    const uint32_t widthMbs = br.ue() + 1;
    const uint32_t heightUnits = br.ue() + 1;
    s.frameMbsOnly = br.flag();
    if (!br.ok()) return false;
    s.codedWidth = static_cast<int64_t>(widthMbs) * 16;
    s.codedHeight = (s.frameMbsOnly ? 1 : 2) * static_cast<int64_t>(heightUnits) * 16;
    if (!s.frameMbsOnly) br.skip(1);  // mb_adaptive_frame_field_flag
    br.skip(1);                       // direct_8x8_inference_flag
    s.width = s.codedWidth;
    s.height = s.codedHeight;
    if (br.flag()) {  // frame_cropping_flag
        const int64_t left = br.ue(), right = br.ue(), top = br.ue(), bottom = br.ue();
        // Crop units: chroma samples across (2 for 4:2:0 and 4:2:2) and chroma rows times fields
        // down (2 for 4:2:0), one sample for monochrome and 4:4:4.
        const bool sub = s.chromaFormatIdc == 1 || s.chromaFormatIdc == 2;
        const int64_t unitX = sub ? 2 : 1;
        const int64_t unitY = (s.chromaFormatIdc == 1 ? 2 : 1) * (s.frameMbsOnly ? 1 : 2);
        const int64_t w = s.codedWidth - unitX * (left + right);
        const int64_t h = s.codedHeight - unitY * (top + bottom);
        if (br.ok() && w > 0 && h > 0) {
            s.width = w;
            s.height = h;
        }
    }
    if (br.flag() && br.ok()) {  // vui_parameters_present_flag
        if (br.flag()) {         // aspect_ratio_info_present_flag
            s.aspectRatioIdc = static_cast<int>(br.bits(8));
            if (s.aspectRatioIdc == 255) {
                s.sarWidth = static_cast<int>(br.bits(16));
                s.sarHeight = static_cast<int>(br.bits(16));
            } else if (s.aspectRatioIdc < static_cast<int>(kSarTable.size())) {
                s.sarWidth = kSarTable[s.aspectRatioIdc][0];
                s.sarHeight = kSarTable[s.aspectRatioIdc][1];
            }
        }
        if (br.flag()) br.skip(1);  // overscan_info_present_flag, overscan_appropriate_flag
        if (br.flag()) {            // video_signal_type_present_flag
            br.skip(4);
            if (br.flag()) br.skip(24);  // colour primaries, transfer, matrix
        }
        if (br.flag()) {  // chroma_loc_info_present_flag
            br.ue();
            br.ue();
        }
        if (br.flag()) {  // timing_info_present_flag
            const uint32_t units = br.bits(32);
            const uint32_t scale = br.bits(32);
            if (br.ok()) {
                s.hasTiming = true;
                s.numUnitsInTick = units;
                s.timeScale = scale;
                // A tick is one field: a frame lasts two ticks (H.264 Annex E), so a 1080i camcorder's
                // 60000/1001 gives 29.97 frames per second and x264's 25p (50/1) gives 25.
                if (units != 0 && scale != 0) {
                    s.rateNum = scale;
                    s.rateDen = 2 * static_cast<int64_t>(units);
                }
            }
        }
    }
    out = s;
    return true;
}

std::string_view h264ProfileText(int profileIdc) {
    for (const auto& p : kProfiles)
        if (p.idc == profileIdc) return p.text;
    return "Unknown";
}

std::string h264LevelText(const H264Sps& sps) {
    const int p = sps.profileIdc;
    const bool baseFamily = p == 66 || p == 77 || p == 88;
    const bool highFamily = p == 100 || p == 110 || p == 122 || p == 144 || p == 244;
    if ((baseFamily && sps.levelIdc == 11 && sps.constraintSet3()) || (highFamily && sps.levelIdc == 9)) return "@L1b";
    char buf[32];
    std::snprintf(buf, sizeof buf, "@L%d.%d", sps.levelIdc / 10, sps.levelIdc % 10);
    return buf;
}

}  // namespace zorv::media
