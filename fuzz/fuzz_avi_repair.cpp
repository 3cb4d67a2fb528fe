// Rebuilds hostile AVI bytes as a damaged DV AVI: the chunk walk, the header and audio-format reads
// and the rebuilt file's own read-back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "memory_file.h"
#include "tools/avi_repair.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string out = "/tmp/zorv-fuzz-repair-" + std::to_string(::getpid()) + ".avi";
    const std::string& in = zorv::fuzz::memoryFile(data, size);
    zorv::tools::RepairResult r;
    (void)zorv::tools::repairDvAvi(in, out, &r);
    ::unlink(out.c_str());
    return 0;
}
