// The SPS reader and the start-code search over arbitrary bytes.
#include <cstdint>

#include "media/h264_nal.h"
#include "media/h264_sps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    H264Sps sps;
    if (parseH264Sps(data, size, sps)) {
        h264ProfileText(sps.profileIdc);
        h264LevelText(sps);
    }
    StartCode sc;
    size_t from = 0;
    while (findStartCode(data, size, from, sc)) {
        parseH264Sps(data + sc.nalStart(), size - sc.nalStart(), sps);
        from = sc.nalStart();
    }
    return 0;
}
