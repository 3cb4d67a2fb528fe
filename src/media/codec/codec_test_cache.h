// The outcomes of codec tests kept between runs.
//
// Testing a codec means opening it and coding a real sample; for a lossless compressor that alone
// can take a quarter of a second (ffv1 zeroes a 250 MB output buffer for a 1440 x 1080 picture), and
// a selection dialog tests every candidate. The outcome only changes when the libraries change, so it
// is kept in a file per set of libraries: "<cache>/ZORV/codec-tests/<build>", <cache> being
// $XDG_CACHE_HOME when it is an absolute path, else "~/.cache". A file that cannot be read or written
// only means the tests are run again.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zorv::media::codec {

class CodecTestCache {
public:
    // The cache of the build named by `build` (any text; files are named by its hash) in `folder`.
    CodecTestCache(std::filesystem::path folder, std::string_view build);

    // The cache of the libraries loaded in this process (libavcodec among them) in the user's folder.
    static CodecTestCache forThisProcess();

    // The recorded outcome of the test of `codec` in `role` (a small number naming the role).
    std::optional<bool> lookup(int role, std::string_view codec);
    // Records an outcome; the file is replaced whole, so a reader never sees half of it.
    void store(int role, std::string_view codec, bool passed);

    const std::filesystem::path& file() const { return file_; }

private:
    void load();

    std::filesystem::path file_;
    std::string build_;
    bool loaded_ = false;
    std::map<std::pair<int, std::string>, bool> outcomes_;
};

// What identifies the libraries of this process: the path, size and time of every shared object
// loaded, the FFmpeg version and the revision of the tests themselves.
std::string loadedLibrariesIdentity();

}  // namespace zorv::media::codec
