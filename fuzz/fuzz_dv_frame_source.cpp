// Arbitrary bytes as a DV file read front to back the way convert, split and extract-audio read it:
// the frame source joining an AVI Type 2 audio stream back into the frames, and the AVI audio-stream
// walker on its own over every RIFF chunk.
#include <cstdint>
#include <vector>

#include "media/avi_audio_reader.h"
#include "media/file_io.h"
#include "memory_file.h"
#include "tools/dv_frame_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv;
    const std::string& path = fuzz::memoryFile(data, size);

    media::File file;
    if (file.open(path)) {
        media::AviAudioReader audio;
        if (audio.open(file)) {
            std::vector<uint8_t> out;
            size_t total = 0;
            for (int i = 0; i < 256; ++i) {
                out.clear();
                const size_t got = audio.read(out, 4096);
                if (got != out.size() || got > 4096) __builtin_trap();
                if (got == 0) break;
                total += got;
            }
            if (total > size) __builtin_trap();  // nothing is read that the file does not hold
        }
    }

    for (bool join : {true, false}) {
        tools::DvFrameSource source;
        if (!source.open(path, join)) continue;
        tools::DvFrame f;
        for (int i = 0; i < 64 && source.next(f); ++i) {
            if (f.pcmSamples < 0 || f.pcmSamples > media::dvaudio::kMaxSamplesPerFrame) __builtin_trap();
            if (f.stop < f.start) __builtin_trap();
        }
    }
    return 0;
}
