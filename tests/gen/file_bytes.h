// The whole content of a file, read in large blocks (empty when it cannot be read). The tests' own code
// runs unoptimised under the sanitizers, where reading a file a character at a time through a stream
// iterator took most of the time of the tests that compare whole files.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace zorv::gen {

template <class Bytes = std::string>
Bytes fileBytes(const std::filesystem::path& path) {
    Bytes out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

}  // namespace zorv::gen
