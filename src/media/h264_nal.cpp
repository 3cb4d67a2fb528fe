#include "media/h264_nal.h"

namespace zorv::media {

bool findStartCode(const uint8_t* p, size_t n, size_t from, StartCode& out) {
    if (n < 4) return false;
    for (size_t i = from; i + 3 < n; ++i) {
        if (p[i + 2] > 1) {  // neither 00 nor 01: no code can start at i, i + 1 or i + 2 with it
            i += 2;
            continue;
        }
        if (p[i] != 0 || p[i + 1] != 0) continue;
        if (p[i + 2] == 1) {
            out.pos = i;
            out.prefixLength = 3;
            return true;
        }
        if (p[i + 2] == 0 && p[i + 3] == 1 && i + 4 < n) {
            out.pos = i;
            out.prefixLength = 4;
            return true;
        }
    }
    return false;
}

size_t removeEmulationPrevention(const uint8_t* in, size_t n, uint8_t* out) {
    size_t w = 0;
    int zeros = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = in[i];
        if (zeros >= 2 && b == 0x03) {
            zeros = 0;
            continue;
        }
        out[w++] = b;
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return w;
}

void appendEscaped(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
    int zeros = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = in[i];
        if (zeros >= 2 && b <= 3) {
            out.push_back(0x03);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    if (zeros >= 2) out.push_back(0x03);
}

uint32_t BitReader::bits(int count) {
    uint32_t v = 0;
    for (int k = 0; k < count; ++k) {
        uint32_t bit = 0;
        if (pos_ < bits_) {
            bit = (p_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1;
            ++pos_;
        } else {
            failed_ = true;
        }
        v = (v << 1) | bit;
    }
    return v;
}

void BitReader::skip(int count) {
    if (bits_ - pos_ < static_cast<uint64_t>(count)) {
        pos_ = bits_;
        failed_ = true;
        return;
    }
    pos_ += static_cast<uint64_t>(count);
}

uint32_t BitReader::ue() {
    int zeros = 0;
    while (!flag()) {
        if (failed_ || ++zeros > 31) {
            failed_ = true;
            return 0;
        }
    }
    if (zeros == 0) return 0;
    return static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + bits(zeros));
}

int32_t BitReader::se() {
    const uint32_t k = ue();
    const int64_t mag = (static_cast<int64_t>(k) + 1) / 2;
    return static_cast<int32_t>((k & 1) ? mag : -mag);
}

}  // namespace zorv::media
