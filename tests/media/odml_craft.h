// Hand-made OpenDML AVI headers for index tests: the header list of a DV Type 1 file whose only
// index is a super index ("indx", index of indexes) with the given entries, nothing else.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "dv_test_media.h"
#include "media/file_io.h"

namespace zorv::media::testing {

struct SuperEntry {
    uint64_t chunkPos;  // file position of the "ix00" chunk header
    uint32_t chunkSize;
    uint32_t duration;
};

// RIFF "AVI ", hdrl (avih, strl with strh "iavs"/"dvsd", strf) and the super index at byte 204. The
// RIFF and list sizes are left for the caller; the index walk does not use them.
inline Bytes odmlHeader(const std::vector<SuperEntry>& entries) {
    auto tag = [](Bytes& b, size_t at, const char(&id)[5]) { put32(b, at, fourcc(id)); };
    Bytes h(212 + 24 + 16 * entries.size(), 0);
    tag(h, 0, "RIFF");
    tag(h, 8, "AVI ");
    tag(h, 12, "LIST");
    put32(h, 16, static_cast<uint32_t>(h.size() - 20));
    tag(h, 20, "hdrl");
    tag(h, 24, "avih");
    put32(h, 28, 56);
    tag(h, 88, "LIST");
    put32(h, 92, static_cast<uint32_t>(h.size() - 96));
    tag(h, 96, "strl");
    tag(h, 100, "strh");
    put32(h, 104, 56);
    tag(h, 108, "iavs");
    tag(h, 112, "dvsd");
    tag(h, 164, "strf");
    put32(h, 168, 32);
    tag(h, 204, "indx");
    put32(h, 208, static_cast<uint32_t>(24 + 16 * entries.size()));
    h[212] = 4;  // longs per entry; sub type 0, index type 0 (index of indexes)
    put32(h, 216, static_cast<uint32_t>(entries.size()));
    tag(h, 220, "00__");
    for (size_t i = 0; i < entries.size(); ++i) {
        put64(h, 236 + 16 * i, entries[i].chunkPos);
        put32(h, 244 + 16 * i, entries[i].chunkSize);
        put32(h, 248 + 16 * i, entries[i].duration);
    }
    return h;
}

// A standard index chunk ("ix00", index of chunks) of frames at base + offset, size each.
inline Bytes odmlChunkIndex(uint64_t base, const std::vector<std::pair<uint32_t, uint32_t>>& frames) {
    Bytes ix(8 + 24 + 8 * frames.size(), 0);
    put32(ix, 0, fourcc("ix00"));
    put32(ix, 4, static_cast<uint32_t>(24 + 8 * frames.size()));
    ix[8] = 2;
    ix[11] = 1;
    put32(ix, 12, static_cast<uint32_t>(frames.size()));
    put32(ix, 16, fourcc("00__"));
    put64(ix, 20, base);
    for (size_t i = 0; i < frames.size(); ++i) {
        put32(ix, 32 + 8 * i, frames[i].first);
        put32(ix, 36 + 8 * i, frames[i].second);
    }
    return ix;
}

}  // namespace zorv::media::testing
