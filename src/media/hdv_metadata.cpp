#include "media/hdv_metadata.h"

#include "media/hdv_aux_items.h"

namespace zorv::media {

uint8_t hdvPackListFor(int pictureCounter) {
    switch (pictureCounter) {
    case 0: return 0x4A;
    case 1: return 0x4B;
    case 2: return 0x49;
    default: return 0x48;
    }
}

HdvFullMetadata buildHdvFullMetadata(const uint8_t* data, size_t n, int pictureCounter) {
    HdvFullMetadata out;
    const uint8_t wanted = hdvPackListFor(pictureCounter);
    bool picture = false;
    size_t i = 0;
    while (i < n) {
        const uint8_t id = data[i];
        if (id > 0x7F) break;
        size_t len = 5;
        if (id >= 0x40) {
            if (i + 2 > n) break;
            len = 2 + static_cast<size_t>(data[i + 1]);
        }
        if (len > n - i) break;
        const uint8_t* p = data + i;
        if (id < 0x40) {
            uint8_t packId = id == 0x01   ? core::pack::kBinaryGroup
                             : id == 0x05 ? core::pack::kRecDate
                             : id == 0x06 ? core::pack::kRecTime
                                          : 0xFF;
            if (packId != 0xFF && p[1] != 0xFF) out.packs.set(packId, p[1], p[2], p[3], p[4]);
        } else if (id == 0x44 && !picture) {
            picture = true;
            const HdvPictureItem item = readPictureItem(p, len);
            out.style = item.style;
            out.pictureCode = item.pictureCode;
            out.pictureTimeStamp = item.timeStamp;
            out.timecode = item.hasTimecode ? item.timecode : -1;
            if (item.hasDate) out.packs.set(core::pack::kRecDate, item.date[0], item.date[1], item.date[2], item.date[3]);
            if (item.hasTime) out.packs.set(core::pack::kRecTime, item.time[0], item.time[1], item.time[2], item.time[3]);
        } else if (id == wanted) {
            const size_t count = p[1] / 5;
            for (size_t k = 0; k < count && 2 + 5 * k + 5 <= len; ++k) {
                const uint8_t* pk = p + 2 + 5 * k;
                if (pk[0] != 0xFF) out.packs.set(pk[0], pk[1], pk[2], pk[3], pk[4]);
            }
            break;
        }
        i += len;
    }
    return out;
}

bool addHdvAuxSample(HdvMetadataCache& cache, const uint8_t* data, size_t n, int64_t startTime) {
    HdvMetadataRecord rec;
    rec.startTime = startTime;
    parseAuxItems(data, n, rec);
    return cache.add(startTime, rec, rec.timecodeStyle);
}

}  // namespace zorv::media
