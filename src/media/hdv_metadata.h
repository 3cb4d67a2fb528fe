// The full metadata record of one HDV picture for the player's metadata window ("M2T Metadata"): a
// 256-entry pack table filled from one pack list of the picture's aux data, plus the timecode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/metadata_record.h"
#include "media/hdv_aux_items.h"
#include "media/metadata_cache.h"

namespace zorv::media {

struct HdvFullMetadata {
    core::MetadataRecord packs;  // every pack of the chosen list (and the short items before it)
    int64_t timecode = -1;       // frame count of style; -1 when none
    int style = 2;
    uint8_t pictureCode = 0xFF;
    int64_t pictureTimeStamp = -1;
};

// The pack list the picture counter selects: 0 -> 0x4A, 1 -> 0x4B, 2 -> 0x49, anything else 0x48.
uint8_t hdvPackListFor(int pictureCounter);

// Builds the full record from an item run. The walk stops at the selected list item.
HdvFullMetadata buildHdvFullMetadata(const uint8_t* data, size_t n, int pictureCounter = -1);

// Spacing of the metadata window's pictures in 100-ns units: 400000 at 25 frames/s (style 2),
// 333667 otherwise.
inline int64_t hdvPictureDuration(int style) { return style == 2 ? 400000 : 333667; }

// The burn-in graph's cache of HDV records.
using HdvMetadataCache = MetadataCache<HdvMetadataRecord>;

// One "Vaux" sample into the cache: counted; while the cache is active a record is made from the
// sample's pack data (an item run) with its start time (100 ns) and inserted unless the key is taken.
bool addHdvAuxSample(HdvMetadataCache& cache, const uint8_t* data, size_t n, int64_t startTime);

}  // namespace zorv::media
