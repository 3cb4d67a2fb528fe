// HDV aux item runs from arbitrary bytes: the record parser (first occurrence wins), item 0x44, the
// full record for each pack-list choice, the burn-in cache fed the bytes as samples, and the aux packet
// parse of the first 188 bytes.
#include <algorithm>
#include <cstdint>

#include "media/hdv_aux_items.h"
#include "media/hdv_metadata.h"
#include "media/hdv_stream_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    HdvMetadataRecord rec;
    parseAuxItems(data, size, rec);
    rec.toPackTable();
    findPictureItem(data, size);
    readPictureItem(data, size);
    for (int counter : {0, 1, 2, 3}) buildHdvFullMetadata(data, size, counter);
    // The input cut into samples at its own byte values, keyed by times that may repeat or go back.
    HdvMetadataCache cache;
    cache.setActive(true);
    int64_t t = 0;
    for (size_t at = 0; at < size;) {
        const size_t n = std::min<size_t>(size - at, 1 + data[at] % 64);
        addHdvAuxSample(cache, data + at, n, t);
        t += (data[at] & 1) ? 400000 : -333667;
        if (data[at] & 2) cache.lookUp(t / 2);
        at += n;
    }
    if (cache.samplesReceived() < 1 && size > 0) __builtin_trap();
    if (size >= 188) {
        HdvMetadataRecord r2;
        HdvPictureItem pic;
        parseAuxPacket(data, r2, pic);
    }
    if (size >= 4) {
        MpegAudioFormat a;
        parseMpegAudioHeader(data, a);
        Mpeg2VideoFormat v;
        parseMpeg2SequenceHeader(data, size, v);
    }
    return 0;
}
