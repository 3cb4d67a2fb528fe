// The HDV/AVCHD burn-in source over arbitrary bytes taken as a file: demultiplexing, PES gathering,
// the metadata of each picture, libavcodec's decoders and the sound hand-over. The first byte picks
// the family, whether sound is decoded and whether the decoder's frames or RGB pictures come out.
#include <cstdint>
#include <vector>

#include "memory_file.h"
#include "tools/ts_burn_source.h"

extern "C" {
#include <libavutil/log.h>
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::tools;
    if (size < 1) return 0;
    av_log_set_level(AV_LOG_QUIET);
    const uint8_t mode = data[0];
    const bool hdv = (mode & 1) != 0;
    const std::string& path = zorv::fuzz::memoryFile(data + 1, size - 1);
    TsBurnSource source;
    if (!source.open(path, hdv ? zorv::core::MediaFamily::kHdv : zorv::core::MediaFamily::kAvchd,
                     hdv ? "mpeg2video" : "h264", (mode & 2) != 0, 1))
        return 0;
    if (mode & 4) source.deliverFrames();
    int64_t num = 0, den = 0;
    source.pictureRate(num, den);
    (void)source.duration();
    DecodedPicture picture;
    std::vector<int16_t> sound;
    int rate = 0, channels = 0;
    // Each call feeds at most one read unit, so the bound covers every input the fuzzer makes.
    for (int i = 0; i < 4000; ++i) {
        const PictureSource::Result r = source.next(picture);
        if (r == PictureSource::Result::kEnd || r == PictureSource::Result::kFailed) break;
        // The last byte of an RGB picture must be within what the source holds.
        if (r == PictureSource::Result::kPicture && picture.picture.data && picture.picture.rowCount > 0) {
            const auto& p = picture.picture;
            volatile uint8_t last = p.row(p.firstRow + p.rowCount - 1)[p.width * 3 - 1];
            (void)last;
        }
        source.takeAudio(sound, rate, channels);
    }
    source.takeAudio(sound, rate, channels);
    return 0;
}
