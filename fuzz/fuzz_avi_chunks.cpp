// Walks hostile AVI bytes with every chunk service: chunk and reserved-list search, editor-chunk
// collection and copying (into a second copy of the same bytes), reel name and timecode text.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "media/avi_chunks.h"

namespace {
int memFile(const uint8_t* data, size_t size) {
    int fd = memfd_create("fuzz", 0);
    if (fd >= 0 && size > 0 && ::write(fd, data, size) != ssize_t(size)) {
        ::close(fd);
        return -1;
    }
    return fd;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv::media;
    int in = memFile(data, size);
    int out = memFile(data, size);
    if (in < 0 || out < 0) {
        if (in >= 0) ::close(in);
        if (out >= 0) ::close(out);
        return 0;
    }
    const auto type = static_cast<FileType>(size > 0 ? 1 + data[0] % 4 : 1);
    AviChunks chunks(in, type);
    chunks.findChunk(fourcc("Tdat"));
    chunks.reelName();
    chunks.premiereTimecode();
    chunks.findReservedList();
    chunks.collectEditorChunks(true);
    chunks.copyEditorChunks(out);
    writeTimecodeList(out, timecodeText(1, 2, 3, 4, false), "R");
    ::close(in);
    ::close(out);
    return 0;
}
