#include "playback/bitmap_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "playback/player.h"

namespace zorv::playback {

namespace {

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr uint32_t kUncompressed = 0;  // BI_RGB

}  // namespace

uint32_t bitmapColourCount(const uint8_t* h) {
    const uint32_t used = get32(h + 32);
    if (used != 0) return used;
    const uint16_t bits = get16(h + 14);
    return bits <= 8 ? (1u << bits) : 0;
}

uint32_t bitmapImageSize(const uint8_t* h) {
    const uint32_t stated = get32(h + 20);
    if (stated != 0 || get32(h + 16) != kUncompressed) return stated;
    const int64_t width = static_cast<int32_t>(get32(h + 4));
    const int64_t height = std::llabs(static_cast<int32_t>(get32(h + 8)));
    const int64_t row = (width * get16(h + 14) + 31) / 32 * 4;
    return static_cast<uint32_t>(row * height);
}

std::array<uint8_t, kBitmapFileHeaderSize> bitmapFileHeader(const uint8_t* h) {
    const uint32_t headerSize = get32(h);
    const uint32_t table = 4 * bitmapColourCount(h);
    std::array<uint8_t, kBitmapFileHeaderSize> f{};
    f[0] = 0x42;  // 'B'
    f[1] = 0x4D;  // 'M'
    put32(&f[2], static_cast<uint32_t>(kBitmapFileHeaderSize) + headerSize + table + bitmapImageSize(h));
    put32(&f[10], static_cast<uint32_t>(kBitmapFileHeaderSize) + headerSize + table);
    return f;
}

void packBitmap(const ShownPicture& pic, std::vector<uint8_t>& out) {
    const uint32_t row = static_cast<uint32_t>((pic.width * 24 + 31) / 32 * 4);
    const uint32_t image = row * static_cast<uint32_t>(pic.height);
    out.assign(kBitmapInfoHeaderSize + image, 0);
    uint8_t* h = out.data();
    put32(h, kBitmapInfoHeaderSize);
    put32(h + 4, static_cast<uint32_t>(pic.width));
    put32(h + 8, static_cast<uint32_t>(pic.height));
    put16(h + 12, 1);
    put16(h + 14, 24);
    put32(h + 16, kUncompressed);
    put32(h + 20, image);
    uint8_t* pixels = h + kBitmapInfoHeaderSize;
    for (int y = 0; y < pic.height; ++y) {
        const uint8_t* src = pic.rgb.data() + static_cast<size_t>(y) * pic.stride;
        uint8_t* dst = pixels + static_cast<size_t>(pic.height - 1 - y) * row;
        for (int x = 0; x < pic.width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
}

core::Status writeBitmapFile(const std::string& path, const uint8_t* packed, size_t size, const media::OutputRules& rules) {
    if (size < kBitmapInfoHeaderSize || get32(packed) < kBitmapInfoHeaderSize || get32(packed) > size)
        return core::Status::failure(core::ErrorCode::kWriteFailed, kGetImageFailedText);
    const auto header = bitmapFileHeader(packed);
    media::OutputFile out;
    if (core::Status s = out.begin(path, rules); !s) return s;
    std::FILE* f = std::fopen(out.tempPath().c_str(), "wb");
    if (!f) return core::Status::failure(core::ErrorCode::kOpenFailed, "Failed to create image file", errno);
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size() && std::fwrite(packed, 1, size, f) == size;
    int err = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed write to image file", err);
    return out.commit();
}

std::string saveImageName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".bmp";
    return path.substr(0, dot) + ".bmp";
}

}  // namespace zorv::playback
