// The MDPM search over arbitrary bytes taken as an SEI NAL unit, and the tags it yields sorted into
// an AVCHD metadata record and its text table.
#include <array>
#include <cstdint>

#include "media/avchd_mdpm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    std::array<uint8_t, kSeiWorkBytes> work;
    std::span<const uint8_t> payload;
    AvchdMetadataRecord rec;
    if (findMdpmPayload(data, size, work, payload)) applyMdpmTags(payload, rec);
    // The tag walk on its own, with the raw bytes as a payload.
    applyMdpmTags(std::span<const uint8_t>(data, size), rec);
    zorv::core::MetadataRecord table;
    rec.toMetadataRecord(table);
    return 0;
}
