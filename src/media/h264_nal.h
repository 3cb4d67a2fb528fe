// H.264 byte-stream (Annex B) helpers: start codes, NAL unit types, emulation prevention, and a
// bit reader for the Exp-Golomb fields of parameter sets. Every function takes a bounded buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorv::media {

namespace nal {
inline constexpr int kSei = 6;
inline constexpr int kSps = 7;
inline constexpr int kPps = 8;
inline constexpr int kAccessUnitDelimiter = 9;
}  // namespace nal

// A start code found in a buffer: 00 00 01 (3 bytes) or 00 00 00 01 (4 bytes).
struct StartCode {
    size_t pos = 0;                                                              // offset of the first zero byte
    int prefixLength = 0;                                                        // 3 or 4
    size_t nalStart() const { return pos + static_cast<size_t>(prefixLength); }  // the NAL header byte
};

// The first start code at or after from whose NAL header byte lies inside [p, p + n). A 00 00 00 01
// is reported as one 4-byte code, not as 00 00 01 one byte later.
bool findStartCode(const uint8_t* p, size_t n, size_t from, StartCode& out);

// Low 5 bits of the NAL header byte.
inline int nalType(uint8_t header) { return header & 0x1F; }
// nal_ref_idc: bits 5-6 of the NAL header byte.
inline int nalRefIdc(uint8_t header) { return (header >> 5) & 3; }

// Copies n bytes from in to out (room for n bytes), dropping every 0x03 byte that follows two zero
// bytes. Returns the bytes written.
size_t removeEmulationPrevention(const uint8_t* in, size_t n, uint8_t* out);

// Appends in to out with an 0x03 byte inserted wherever two zero bytes are followed by a byte of 0-3
// (and after a trailing pair of zeros), so that no start code can appear inside a NAL unit.
void appendEscaped(const uint8_t* in, size_t n, std::vector<uint8_t>& out);

// Reads bits MSB first from an unescaped buffer. Reading past the end sets the failed flag and
// yields zeros; callers check ok() once at the end of a structure.
class BitReader {
public:
    BitReader(const uint8_t* p, size_t n) : p_(p), bits_(static_cast<uint64_t>(n) * 8) {}

    uint32_t bits(int count);  // count 0..32
    bool flag() { return bits(1) != 0; }
    void skip(int count);
    // Unsigned and signed Exp-Golomb codes; more than 31 leading zeros fails.
    uint32_t ue();
    int32_t se();

    bool ok() const { return !failed_; }
    uint64_t position() const { return pos_; }

private:
    const uint8_t* p_;
    uint64_t bits_;
    uint64_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace zorv::media
