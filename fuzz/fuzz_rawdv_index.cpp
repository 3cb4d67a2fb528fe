// The Raw DV frame index over arbitrary bytes (inputs are padded to a frame so that the block-ID
// tests are reached).
#include <algorithm>
#include <cstdint>
#include <vector>

#include "media/rawdv_index.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    // The fuzzer's bytes form the start of the file; the rest of the first 250000 bytes repeats them.
    std::vector<uint8_t> bytes(size == 0 ? 0 : std::max<size_t>(size, 250000));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = data[i % size];
    if (size > 0 && data[0] == 0xAA) bytes.resize(size);  // also short files as they are
    File file;
    if (!file.open(zorv::fuzz::memoryFile(bytes.data(), bytes.size()))) return 0;
    FrameIndex index;
    if (buildRawDvIndex(file, index)) {
        if (index.frameSize != 120000 && index.frameSize != 144000) __builtin_trap();
        if (static_cast<uint64_t>(index.frameCount()) * index.frameSize > bytes.size()) __builtin_trap();
    }
    return 0;
}
