// Parses hostile "Tdat" list bodies and HDV reel-name packets.
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/avi_chunks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    std::span<const uint8_t> body(data, size);
    reelNameFromTdat(body);
    timecodeFromTdat(body);
    findTdatEntry(body, fourcc("rn_O"));
    reelNameFromHdvPackets(body);
    return 0;
}
