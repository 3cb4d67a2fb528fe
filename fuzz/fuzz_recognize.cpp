// Recognition and opening of arbitrary bytes: every file type test, then the frame index and a
// scan when the bytes pass as DV.
#include <cstdint>
#include <vector>

#include "media/dv_media_file.h"
#include "media/recognize.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    const std::string& path = zorv::fuzz::memoryFile(data, size);
    recognize(path);

    // The transport-stream pieces directly, so that small inputs reach the packet walks.
    TsGeometry geom;
    if (findTsGeometry(data, size, geom)) {
        detectHdv(data, size, geom);
        detectAvchd(data, size, geom);
    }
    isModStart(data, size);
    isRawDvStart(data, size);

    DvMediaFile file;
    if (file.open(path) && file.frameCount() > 0) {
        std::vector<uint8_t> buf(file.frameSize());
        const int64_t last = file.frameCount() - 1;
        file.readFrame(last, buf.data());
        DvMediaFile::Timecode tc;
        file.readTimecode(0, tc);
        DvMediaFile::RecordingDateTime dt;
        file.readRecordingDateTime(last, dt);
        DvMediaFile::StreamProperties props;
        file.readStreamProperties(0, props);
        if (file.frameCount() <= 64) file.scan();
    }
    return 0;
}
