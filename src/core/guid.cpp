#include "core/guid.h"

#include <cstring>

namespace zorv::core {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Positions of the dashes in the 38-character text form.
bool isDashPosition(std::size_t i) { return i == 9 || i == 14 || i == 19 || i == 24; }

// Minimal SHA-1, enough for name-based identifiers.
class Sha1 {
public:
    void update(const std::uint8_t* data, std::size_t len) {
        for (std::size_t i = 0; i < len; ++i) {
            block_[blockLen_++] = data[i];
            if (blockLen_ == 64) {
                compress();
                blockLen_ = 0;
            }
        }
        totalBits_ += static_cast<std::uint64_t>(len) * 8;
    }

    std::array<std::uint8_t, 20> finish() {
        const std::uint64_t bits = totalBits_;
        const std::uint8_t pad = 0x80;
        update(&pad, 1);
        const std::uint8_t zero = 0;
        while (blockLen_ != 56) update(&zero, 1);
        std::uint8_t len[8];
        for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
        update(len, 8);
        std::array<std::uint8_t, 20> out{};
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<std::uint8_t>(h_[i] >> (24 - 8 * j));
        return out;
    }

private:
    static std::uint32_t rotl(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

    void compress() {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = (std::uint32_t{block_[4 * i]} << 24) | (std::uint32_t{block_[4 * i + 1]} << 16) |
                   (std::uint32_t{block_[4 * i + 2]} << 8) | std::uint32_t{block_[4 * i + 3]};
        for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotl(b, 30);
            b = a;
            a = t;
        }
        h_[0] += a;
        h_[1] += b;
        h_[2] += c;
        h_[3] += d;
        h_[4] += e;
    }

    std::uint32_t h_[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::uint8_t block_[64] = {};
    std::size_t blockLen_ = 0;
    std::uint64_t totalBits_ = 0;
};

// Namespace of the program's name-based identifiers: {6A3F0E52-9C41-4B7D-8E15-2D0C7B9A4F61}.
constexpr std::uint8_t kNameSpace[16] = {0x6A, 0x3F, 0x0E, 0x52, 0x9C, 0x41, 0x4B, 0x7D,
                                         0x8E, 0x15, 0x2D, 0x0C, 0x7B, 0x9A, 0x4F, 0x61};

}  // namespace

bool Guid::isNull() const {
    for (auto b : bytes)
        if (b != 0) return false;
    return true;
}

std::optional<Guid> Guid::parse(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    Guid g;
    std::size_t out = 0;
    int high = -1;
    for (std::size_t i = 1; i < 37; ++i) {
        const char c = text[i];
        if (isDashPosition(i)) {
            if (c != '-') return std::nullopt;
            continue;
        }
        const int v = hexValue(c);
        if (v < 0) return std::nullopt;
        if (high < 0) {
            high = v;
        } else {
            g.bytes[out++] = static_cast<std::uint8_t>(high << 4 | v);
            high = -1;
        }
    }
    return g;
}

std::string Guid::toString() const {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(38);
    s += '{';
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 0xF];
    }
    s += '}';
    return s;
}

Guid Guid::fromName(std::string_view name) {
    Sha1 sha;
    sha.update(kNameSpace, sizeof kNameSpace);
    sha.update(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
    const auto digest = sha.finish();
    Guid g;
    std::memcpy(g.bytes.data(), digest.data(), 16);
    g.bytes[6] = static_cast<std::uint8_t>((g.bytes[6] & 0x0F) | 0x50);  // version 5
    g.bytes[8] = static_cast<std::uint8_t>((g.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return g;
}

}  // namespace zorv::core
