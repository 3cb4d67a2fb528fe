// The AVC reader and the AVCHD descriptions over arbitrary bytes taken as a file: open, stream every
// sample with the synthetic metadata packets, and read the stream, audio and GPS descriptions.
#include <cstdint>
#include <vector>

#include "media/avchd_avc_reader.h"
#include "media/avchd_stream_info.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    const std::string& path = zorv::fuzz::memoryFile(data, size);
    AvcReader reader;
    if (reader.open(path, true)) {
        std::vector<uint8_t> sample(reader.maxSampleBytes());
        for (int i = 0; i < 1000 && reader.fillSample(sample.data(), sample.size()) > 0; ++i) {
        }
        reader.seek(reader.duration() / 2);
        reader.fillSample(sample.data(), sample.size());
    }
    AvchdStreamDescription d;
    describeAvchdStream(path, d);
    AvchdAudioDescription a;
    describeAvchdAudio(path, a);
    avchdHasGps(path);
    return 0;
}
