// The AC-3 header reader at every offset of arbitrary bytes.
#include <cstdint>

#include "media/ac3_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    Ac3Header h;
    for (size_t i = 0; i < size; ++i) parseAc3Header(data + i, size - i, h);
    return 0;
}
