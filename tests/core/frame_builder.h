// A zeroed DV frame buffer with helpers to place packs at their DIF positions.
#pragma once

#include <cstdint>
#include <vector>

#include "core/dv_layout.h"

namespace zorv::core::testing {

class FrameBuilder {
public:
    explicit FrameBuilder(size_t frameSize = dv::kFrameSize625) : bytes_(frameSize, 0) {
        // Every pack slot starts empty, as on tape.
        for (int s = 0; s < dv::sequenceCount(frameSize); ++s) {
            for (int j = 0; j < dv::kSubcodePacksPerSequence; ++j)
                put(seq(s) + dv::subcodePackOffset(j), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF);
            for (int k = 0; k < dv::kVauxPacksPerSequence; ++k)
                put(seq(s) + dv::vauxPackOffset(k), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF);
            for (int a = 0; a < dv::kAauxPacksPerSequence; ++a)
                put(seq(s) + dv::aauxPackOffset(a), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF);
        }
    }
    void subcode(int s, int j, uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        put(seq(s) + dv::subcodePackOffset(j), id, a, b, c, d);
    }
    void vaux(int s, int k, uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        put(seq(s) + dv::vauxPackOffset(k), id, a, b, c, d);
    }
    void aaux(int s, int i, uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        put(seq(s) + dv::aauxPackOffset(i), id, a, b, c, d);
    }
    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }
    int sequences() const { return dv::sequenceCount(bytes_.size()); }

private:
    static size_t seq(int s) { return dv::kSequenceSize * static_cast<size_t>(s); }
    void put(size_t off, uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        bytes_[off] = id;
        bytes_[off + 1] = a;
        bytes_[off + 2] = b;
        bytes_[off + 3] = c;
        bytes_[off + 4] = d;
    }
    std::vector<uint8_t> bytes_;
};

}  // namespace zorv::core::testing
