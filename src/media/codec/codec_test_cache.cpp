#include "media/codec/codec_test_cache.h"

#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/guid.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace zorv::media::codec {

namespace {

// Raised whenever the way codecs are tested changes, so that outcomes of the old tests are dropped.
constexpr int kTestRevision = 1;
// Files of other builds not written for this long are removed when a file is written.
constexpr auto kStaleAfter = std::chrono::hours(24 * 90);

std::filesystem::path userCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return std::filesystem::path(xdg) / "ZORV" / "codec-tests";
    const char* home = std::getenv("HOME");
    const std::filesystem::path base = home && home[0] ? std::filesystem::path(home) / ".cache" : ".cache";
    return base / "ZORV" / "codec-tests";
}

int loadedObject(dl_phdr_info* info, size_t, void* data) {
    auto* names = static_cast<std::vector<std::string>*>(data);
    if (info->dlpi_name && info->dlpi_name[0] == '/') names->emplace_back(info->dlpi_name);
    return 0;
}

void removeStaleFiles(const std::filesystem::path& folder, const std::filesystem::path& keep) {
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path() == keep) continue;
        const auto written = entry.last_write_time(ec);
        if (!ec && now - written > kStaleAfter) std::filesystem::remove(entry.path(), ec);
    }
}

}  // namespace

std::string loadedLibrariesIdentity() {
    std::vector<std::string> names;
    ::dl_iterate_phdr(loadedObject, &names);
    std::sort(names.begin(), names.end());
    std::ostringstream id;
    id << "tests " << kTestRevision << "; FFmpeg " << av_version_info();
    for (const std::string& name : names) {
        struct stat st {};
        if (::stat(name.c_str(), &st) != 0) continue;
        id << "; " << name << ' ' << st.st_dev << ':' << st.st_ino << ' ' << st.st_size << ' ' << st.st_mtim.tv_sec << '.'
           << st.st_mtim.tv_nsec;
    }
    return id.str();
}

CodecTestCache::CodecTestCache(std::filesystem::path folder, std::string_view build) : build_(build) {
    // The identity is one line of the file.
    std::replace(build_.begin(), build_.end(), '\n', ' ');
    file_ = std::move(folder) / core::Guid::fromName(build_).toString().substr(1, 36);
}

CodecTestCache CodecTestCache::forThisProcess() { return CodecTestCache(userCacheFolder(), loadedLibrariesIdentity()); }

void CodecTestCache::load() {
    loaded_ = true;
    std::ifstream in(file_);
    std::string line;
    // The first line repeats the whole identity: a file of another build that happens to have the
    // same name is not used.
    if (!std::getline(in, line) || line != "build " + build_) return;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int role = -1;
        std::string codec, outcome;
        if (!(fields >> role >> codec >> outcome) || (outcome != "pass" && outcome != "fail")) continue;
        outcomes_[{role, codec}] = outcome == "pass";
    }
}

std::optional<bool> CodecTestCache::lookup(int role, std::string_view codec) {
    if (!loaded_) load();
    auto it = outcomes_.find({role, std::string(codec)});
    if (it == outcomes_.end()) return std::nullopt;
    return it->second;
}

void CodecTestCache::store(int role, std::string_view codec, bool passed) {
    if (!loaded_) load();
    // Names with blanks could not be read back; libavcodec's names have none.
    if (codec.empty() || codec.find_first_of(" \t\r\n") != std::string_view::npos) return;
    outcomes_[{role, std::string(codec)}] = passed;
    // Outcomes other processes recorded since this one read the file are kept as well.
    {
        CodecTestCache current(file_.parent_path(), build_);
        current.load();
        for (const auto& [key, ok] : current.outcomes_) outcomes_.emplace(key, ok);
    }
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    std::string text = "build " + build_ + "\n";
    for (const auto& [key, ok] : outcomes_)
        text += std::to_string(key.first) + ' ' + key.second + (ok ? " pass\n" : " fail\n");
    const std::string temp = file_.string() + "." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), file_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return;
    }
    removeStaleFiles(file_.parent_path(), file_);
}

}  // namespace zorv::media::codec
