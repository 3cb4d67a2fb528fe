#include "media/recognize.h"

#include <cstring>

#include "media/formats/format_table.h"

namespace zorv::media {

namespace {

constexpr size_t kTsPacket = 188;
constexpr size_t kPesSearchLimit = 48;  // start codes must lie in the packet's first 48 bytes

bool hasHighNibble(uint8_t b, int nibble) { return (b >> 4) == nibble; }

// Header block, two subcode blocks and the first VAUX block of the sequence at buf + base,
// with the given value of ID byte 1 (sequence number in the high nibble, 0x07 / 0x67 ...).
bool difBlocksAt(const uint8_t* buf, size_t base, uint8_t id1) {
    const uint8_t* b = buf + base;
    return hasHighNibble(b[0], 1) && b[1] == id1 && b[2] == 0x00 && hasHighNibble(b[80], 3) && b[81] == id1 &&
           b[82] == 0x00 && hasHighNibble(b[160], 3) && b[161] == id1 && b[162] == 0x01 && hasHighNibble(b[240], 5);
}

// Offset of the PES payload inside a 188-byte packet that starts a payload unit; 0 when the packet
// cannot hold one. flags receives the PES flags byte (PTS/DTS in bits 6-7).
size_t pesPayloadOffset(const uint8_t* p, uint8_t& flags) {
    size_t off = 4;
    if (p[3] & 0x20) off += 1 + static_cast<size_t>(p[4]);
    if (off + 9 > kTsPacket) return 0;
    flags = p[off + 7];
    off += 9 + static_cast<size_t>(p[off + 8]);
    return off < kTsPacket ? off : 0;
}

bool findCode(const uint8_t* p, size_t from, size_t limit, const uint8_t* code, size_t codeLen) {
    for (size_t i = from; i + codeLen <= limit; ++i)
        if (std::memcmp(p + i, code, codeLen) == 0) return true;
    return false;
}

uint16_t packetPid(const uint8_t* p) { return static_cast<uint16_t>(((p[1] & 0x1F) << 8) | p[2]); }
bool payloadUnitStart(const uint8_t* p) { return (p[1] & 0x40) != 0; }

Recognition fail(Recognition r, core::ErrorCode code, int sys) {
    r.status = core::Status::failure(code, {}, sys);
    r.type = FileType::kUnknown;
    return r;
}

}  // namespace

bool isRawDvStart(const uint8_t* buf, size_t n) {
    if (n < kRawDvTestBytes) return false;
    return difBlocksAt(buf, 0, 0x07) && difBlocksAt(buf, 72000, 0x67);
}

bool findTsGeometry(const uint8_t* buf, size_t n, TsGeometry& geom) {
    auto syncAt = [&](size_t pos) { return pos < n && buf[pos] == 0x47; };
    if (syncAt(0) && syncAt(188) && syncAt(376) && syncAt(564)) {
        geom = {188, 0};
        return true;
    }
    if (syncAt(4) && syncAt(196) && syncAt(388) && syncAt(580)) {
        geom = {192, 4};
        return true;
    }
    for (size_t start = 0; start < 188; ++start) {
        if (!syncAt(start)) continue;
        for (size_t size = 188; size <= 375; ++size) {
            bool all = true;
            for (size_t k = 1; k <= 10 && all; ++k) all = syncAt(start + k * size);
            if (all) {
                geom = {static_cast<int>(size), static_cast<int64_t>(start)};
                return true;
            }
        }
    }
    return false;
}

FileType detectHdv(const uint8_t* buf, size_t n, const TsGeometry& geom) {
    static const uint8_t kSequenceHeader[] = {0x00, 0x00, 0x01, 0xB3};
    if (geom.packetSize < static_cast<int>(kTsPacket) || geom.start < 0) return FileType::kUnknown;
    int videoPid = 0;
    bool audioSeen = false, otherSeen = false;
    for (size_t pos = static_cast<size_t>(geom.start); pos + kTsPacket <= n; pos += static_cast<size_t>(geom.packetSize)) {
        const uint8_t* p = buf + pos;
        if (p[0] != 0x47) return FileType::kUnknown;
        const uint16_t pid = packetPid(p);
        if (videoPid == 0 && (pid == 0x810 || pid == 0x1000) && payloadUnitStart(p)) {
            uint8_t flags = 0;
            size_t off = pesPayloadOffset(p, flags);
            if (off != 0 && (flags & 0xC0) == 0xC0 &&
                findCode(p, off, kPesSearchLimit, kSequenceHeader, sizeof kSequenceHeader))
                videoPid = pid;
        }
        if (pid == 0x814 || pid == 0x1002) audioSeen = true;
        if (pid == 0x811 || pid == 0xF02) otherSeen = true;
        if (videoPid != 0 && audioSeen && otherSeen) return videoPid == 0x1000 ? FileType::kHdv1 : FileType::kHdv2;
    }
    return FileType::kUnknown;
}

bool detectAvchd(const uint8_t* buf, size_t n, const TsGeometry& geom) {
    static const uint8_t kAccessUnitDelimiter[] = {0x00, 0x00, 0x00, 0x01, 0x09};
    if (geom.packetSize < static_cast<int>(kTsPacket) || geom.start < 0) return false;
    bool videoSeen = false, pid1100Seen = false;
    for (size_t pos = static_cast<size_t>(geom.start); pos + kTsPacket <= n; pos += static_cast<size_t>(geom.packetSize)) {
        const uint8_t* p = buf + pos;
        if (p[0] != 0x47) return false;
        const uint16_t pid = packetPid(p);
        if (!videoSeen && pid == 0x1011 && payloadUnitStart(p)) {
            uint8_t flags = 0;
            size_t off = pesPayloadOffset(p, flags);
            if (off != 0 && findCode(p, off, kPesSearchLimit, kAccessUnitDelimiter, sizeof kAccessUnitDelimiter))
                videoSeen = true;
        }
        if (pid == 0x1100) pid1100Seen = true;
        if (videoSeen && pid1100Seen) return true;
    }
    return false;
}

bool isModStart(const uint8_t* buf, size_t n) {
    static const uint8_t kPack[] = {0x00, 0x00, 0x01, 0xBA};
    static const uint8_t kSystem[] = {0x00, 0x00, 0x01, 0xBB};
    if (n < kModTestBytes) return false;
    return std::memcmp(buf, kPack, 4) == 0 && std::memcmp(buf + 2048, kPack, 4) == 0 &&
           std::memcmp(buf + 4096, kPack, 4) == 0 && std::memcmp(buf + 14, kSystem, 4) == 0;
}

Recognition recognize(const std::string& path) {
    File file;
    if (!file.open(path, File::Mode::kRead)) return fail({}, core::ErrorCode::kOpenFailed, file.sysError());
    return recognize(file);
}

Recognition recognize(const File& file) {
    Recognition r;
    if (!file.isOpen()) return fail(r, core::ErrorCode::kOpenFailed, 0);
    const int64_t size = file.size();
    if (size < 0) return fail(r, core::ErrorCode::kReadFailed, file.sysError());
    r.fileSize = size;

    uint8_t head[kAviHeaderBytes];
    const int64_t got = file.readAt(0, head, sizeof head);
    if (got != static_cast<int64_t>(sizeof head))
        return fail(r, core::ErrorCode::kReadFailed, got < 0 ? file.sysError() : 0);

    ProbeContext ctx(file, size, head);
    for (const FormatDescriptor* d : formatTable()) {
        switch (d->probe(ctx, r)) {
        case ProbeVerdict::kNotMine: continue;
        case ProbeVerdict::kMine:
            r.status = core::Status::success();
            r.type = d->type;
            return r;
        case ProbeVerdict::kRefused: return r;
        case ProbeVerdict::kFailed: return fail(r, r.status.code, r.status.sysError);
        }
    }
    return r;
}

}  // namespace zorv::media
