// HDV aux item runs from arbitrary bytes: the record parser (first occurrence wins), item 0x44, the
// full record for each pack-list choice, and the aux packet parse of the first 188 bytes.
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
    for (int counter : {0, 1, 2, 3})
        buildHdvFullMetadata(data, size, counter);
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
