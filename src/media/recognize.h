// Recognition of the file types the program opens: DV in AVI (Type 1 and 2), Raw DV, HDV and AVCHD
// transport streams and MPEG-2 program-stream MOD files, from their first bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "media/file_io.h"
#include "media/file_type.h"

namespace zorv::media {

// What recognition found. status: success, kOpenFailed (the file could not be opened), kReadFailed
// (a read failed, the size could not be read, or the file is shorter than the AVI headers; errno in
// sysError), kOutOfMemory, or kNotRecognised (a readable file of no supported format).
struct Recognition {
    core::Status status = core::Status::failure(core::ErrorCode::kNotRecognised);
    FileType type = FileType::kUnknown;
    uint32_t fourcc = 0;   // video FourCC as stored ("dvsd", "CDVC", ...; four spaces for TS/MOD)
    int tsPacketSize = 0;  // 188 or 192 (or what the search found) for HDV and AVCHD
    int64_t tsStart = 0;   // offset of the first sync byte
    int64_t fileSize = 0;

    bool ok() const { return status.ok(); }
};

Recognition recognize(const std::string& path);
Recognition recognize(const File& file);

// The pieces of recognition, exposed for the stream readers and for tests.
inline constexpr size_t kAviHeaderBytes = 164;
inline constexpr size_t kRawDvTestBytes = 84000;
inline constexpr int64_t kRawDvMinSize = 120000;
inline constexpr size_t kTsTestBytes = 3145616;
inline constexpr int64_t kTsMinSize = 94000;
inline constexpr size_t kAvchdMinRead = 376000;
inline constexpr int64_t kModMinSize = 65536;
inline constexpr size_t kModTestBytes = 4100;

// The DIF block IDs of a Raw DV frame's first sequence and of its sequence 6; buf holds >= 84000 bytes.
bool isRawDvStart(const uint8_t* buf, size_t n);

struct TsGeometry {
    int packetSize = 0;
    int64_t start = 0;
};
// Finds the packet size and the first sync byte of a transport stream; false when none.
bool findTsGeometry(const uint8_t* buf, size_t n, TsGeometry& geom);
// HDV test over the packets in buf: kHdv2, kHdv1, or kUnknown.
FileType detectHdv(const uint8_t* buf, size_t n, const TsGeometry& geom);
// AVCHD test over the packets in buf.
bool detectAvchd(const uint8_t* buf, size_t n, const TsGeometry& geom);
// MPEG-2 program-stream test over the first bytes of a MOD file (needs >= 4100 bytes).
bool isModStart(const uint8_t* buf, size_t n);

}  // namespace zorv::media
