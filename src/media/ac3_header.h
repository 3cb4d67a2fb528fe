// The AC-3 (ATSC A/52) sync frame header: sample rate, bit rate, frame size and the channel layout
// with the LFE channel, read from the first bytes of a frame (sync word 0x0B77).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorv::media {

inline constexpr size_t kAc3HeaderBytes = 7;

struct Ac3Header {
    int sampleRate = 0;   // 48000, 44100 or 32000 (fscod 2 and 3 both read as 32000)
    int bitRateKbps = 0;  // 0 for a frame size code of 19 or above
    int fscod = 0;
    int frmsizecod = 0;
    int acmod = 0;
    bool lfe = false;
    int channels = 0;         // channels of acmod, plus one with LFE
    std::string_view layout;  // "L, R", "L, C, R, SL, SR", ... without the ", LFE" suffix
    int frameBytes = 0;       // bytes of the whole sync frame; 0 when fscod or frmsizecod is invalid
};

// Parses the header at p (n bytes, at least 7). False without the sync word.
bool parseAc3Header(const uint8_t* p, size_t n, Ac3Header& out);

}  // namespace zorv::media
