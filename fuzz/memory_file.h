// Fuzz inputs as files: the bytes go into one anonymous in-memory file per process, reopened
// through /proc so that the readers see an ordinary path and descriptor.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace zorv::fuzz {

inline const std::string& memoryFile(const uint8_t* data, size_t size) {
    static int fd = [] {
        int f = ::memfd_create("zorv-fuzz", 0);
        if (f < 0) std::abort();
        return f;
    }();
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (::ftruncate(fd, 0) != 0) std::abort();
    size_t done = 0;
    while (done < size) {
        ssize_t w = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (w <= 0) std::abort();
        done += static_cast<size_t>(w);
    }
    return path;
}

}  // namespace zorv::fuzz
