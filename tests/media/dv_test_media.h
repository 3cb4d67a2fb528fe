// Small hand-built media for the recognition, index and DV file tests: DV frames with proper DIF
// block IDs, Raw DV files, DV AVI files through the project's AVI writer, and transport-stream packets.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/dv_layout.h"
#include "media/avi_writer.h"
#include "gen/file_bytes.h"

namespace zorv::media::testing {

using Bytes = std::vector<uint8_t>;

// A per-test temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::path(::testing::TempDir()) /
                ("zorv-media-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put64(Bytes& b, size_t at, uint64_t v) {
    put32(b, at, static_cast<uint32_t>(v));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

// One DV frame: every DIF block carries its ID (section type, sequence, block number), every pack
// slot is empty (0xFF) and the packs given afterwards with pack() are placed in all sequences.
class DvFrame {
public:
    explicit DvFrame(bool pal = true) : bytes_(pal ? core::dv::kFrameSize625 : core::dv::kFrameSize525, 0) {
        using namespace core::dv;
        for (int s = 0; s < sequences(); ++s) {
            for (int b = 0; b < static_cast<int>(kBlocksPerSequence); ++b) {
                uint8_t* p = block(s, b);
                int type;  // section type: 0 header, 1 subcode, 2 VAUX, 3 audio, 4 video
                int dbn;
                if (b == 0) type = 0, dbn = 0;
                else if (b <= 2) type = 1, dbn = b - 1;
                else if (b <= 5) type = 2, dbn = b - 3;
                else if ((b - 6) % 16 == 0) type = 3, dbn = (b - 6) / 16;
                else type = 4, dbn = b - 7 - (b - 6) / 16;
                p[0] = static_cast<uint8_t>((type << 5) | 0x1F);
                p[1] = static_cast<uint8_t>((s << 4) | 0x07);
                p[2] = static_cast<uint8_t>(dbn);
                if (type == 0) p[3] = pal ? 0xBF : 0x3F;  // DSF: 625/50 lines when set
            }
            for (int j = 0; j < kSubcodePacksPerSequence; ++j) empty(s, subcodePackOffset(j));
            for (int k = 0; k < kVauxPacksPerSequence; ++k) empty(s, vauxPackOffset(k));
            for (int a = 0; a < kAauxPacksPerSequence; ++a) empty(s, aauxPackOffset(a));
        }
        // Source pack: 50 fields (bit 5 of PC3) for 625 lines.
        vaux(0x60, 0x00, 0x00, pal ? 0x20 : 0x00, 0x00);
    }
    int sequences() const { return core::dv::sequenceCount(bytes_.size()); }
    uint8_t* block(int s, int b) {
        return bytes_.data() + core::dv::kSequenceSize * static_cast<size_t>(s) + 80 * static_cast<size_t>(b);
    }
    // Places the pack in slot `slot` of every sequence's subcode / VAUX / AAUX area.
    void subcode(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d, int slot = 0, int onlySeq = -1) {
        for (int s = 0; s < sequences(); ++s)
            if (onlySeq < 0 || s == onlySeq) put(s, core::dv::subcodePackOffset(slot), {id, a, b, c, d});
    }
    void vaux(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d, int slot = -1) {
        if (slot < 0) slot = id == 0x60 ? 0 : id == 0x61 ? 1 : id == 0x62 ? 2 : id == 0x63 ? 3 : 4;
        for (int s = 0; s < sequences(); ++s) put(s, core::dv::vauxPackOffset(slot), {id, a, b, c, d});
    }
    void aaux(uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d, int slot = 0) {
        for (int s = 0; s < sequences(); ++s) put(s, core::dv::aauxPackOffset(slot), {id, a, b, c, d});
    }
    // Subcode timecode in BCD (no drop-frame flag unless asked).
    void timecode(int h, int m, int s, int f, bool drop = false) {
        subcode(0x13, static_cast<uint8_t>(bcd(f) | (drop ? 0x40 : 0)), bcd(s), bcd(m), bcd(h));
    }
    // Recording date and time packs in VAUX (two-digit year).
    void recorded(int yy, int mo, int d, int h, int mi, int s) {
        vaux(0x62, 0xFF, bcd(d), bcd(mo), bcd(yy));
        vaux(0x63, 0xFF, bcd(s), bcd(mi), bcd(h));
    }
    const Bytes& bytes() const { return bytes_; }

    static uint8_t bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

private:
    void empty(int s, size_t off) { put(s, off, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}); }
    void put(int s, size_t off, std::initializer_list<uint8_t> v) {
        std::memcpy(bytes_.data() + core::dv::kSequenceSize * static_cast<size_t>(s) + off, v.begin(), v.size());
    }
    Bytes bytes_;
};

inline void writeRawDv(const std::string& path, const std::vector<Bytes>& frames) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const Bytes& f : frames) out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
}

// Writes an AVI with the project's writer; an empty element of `frames` becomes a dropped frame.
inline void writeAvi(const std::string& path, const std::vector<Bytes>& frames, AviWriterOptions options) {
    AviWriter w;
    ASSERT_TRUE(w.open(path, options).ok());
    for (const Bytes& f : frames) {
        if (f.empty()) ASSERT_TRUE(w.writeEmptyFrame().ok());
        else ASSERT_TRUE(w.writeFrame(f).ok());
    }
    ASSERT_TRUE(w.close().ok());
}

// Frames 0..count-1 with a running 25-frame timecode from 00:00:00:00 and a recording time that
// stays in one second per 25 frames.
inline std::vector<Bytes> palFrames(int count) {
    std::vector<Bytes> out;
    for (int n = 0; n < count; ++n) {
        DvFrame f(true);
        f.timecode(0, 0, n / 25, n % 25);
        f.recorded(11, 6, 15, 10, 30, n / 25);
        out.push_back(f.bytes());
    }
    return out;
}

inline Bytes readAll(const std::string& path) { return zorv::gen::fileBytes<Bytes>(path); }

// A 188-byte transport packet on pid, filled with 0xFF after the header.
inline Bytes tsPacket(uint16_t pid, bool unitStart = false) {
    Bytes p(188, 0xFF);
    p[0] = 0x47;
    p[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F));
    p[2] = static_cast<uint8_t>(pid & 0xFF);
    p[3] = 0x10;  // payload only
    return p;
}
// A packet starting a PES packet whose payload begins with `payload`; withDts sets PTS and DTS.
inline Bytes pesPacket(uint16_t pid, bool withDts, const Bytes& payload) {
    Bytes p = tsPacket(pid, true);
    size_t o = 4;
    const Bytes pes = {0x00,
                       0x00,
                       0x01,
                       0xE0,
                       0x00,
                       0x00,
                       0x80,
                       static_cast<uint8_t>(withDts ? 0xC0 : 0x80),
                       static_cast<uint8_t>(withDts ? 10 : 5)};
    std::memcpy(&p[o], pes.data(), pes.size());
    o += pes.size();
    const size_t headerData = withDts ? 10 : 5;
    std::memset(&p[o], 0x21, headerData);
    o += headerData;
    std::memcpy(&p[o], payload.data(), payload.size());
    return p;
}

// A stream of `total` bytes: the given packets first, then null packets; packetSize 192 puts a 4-byte
// time stamp before every packet.
inline Bytes tsStream(const std::vector<Bytes>& first, size_t total, size_t packetSize = 188) {
    Bytes out;
    out.reserve(total + packetSize);
    size_t i = 0;
    while (out.size() + packetSize <= total) {
        if (packetSize == 192) out.insert(out.end(), {0x00, 0x00, 0x00, 0x00});
        const Bytes p = i < first.size() ? first[i] : tsPacket(0x1FFF);
        out.insert(out.end(), p.begin(), p.end());
        ++i;
    }
    out.resize(total, 0xFF);
    return out;
}

}  // namespace zorv::media::testing
