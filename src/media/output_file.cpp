#include "media/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace zorv::media {

using core::ErrorCode;
using core::Status;

namespace {

// Temporary outputs still open in this process, for removal from a signal handler. A slot is taken by
// a compare-exchange from 0 to 1, filled, then published as 2; the handler only reads published slots.
constexpr int kSlots = 64;
struct PendingSlot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
PendingSlot gPending[kSlots];

int registerPending(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (gPending[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(gPending[i].path, path.c_str(), path.size() + 1);
            gPending[i].state.store(2, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void unregisterPending(int slot) {
    if (slot >= 0 && slot < kSlots) gPending[slot].state.store(0, std::memory_order_release);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The input the output path stands for, if any (by device and inode, so links and other spellings of
// the same file count).
const std::string* inputAt(const struct stat& out, const OutputRules& rules) {
    for (const std::string& in : rules.inputs) {
        struct stat st {};
        if (::stat(in.c_str(), &st) == 0 && sameFile(st, out)) return &in;
    }
    return nullptr;
}

std::string randomSuffix() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 gen{std::random_device{}() ^ static_cast<unsigned>(::getpid())};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    std::string s(6, 'x');
    for (char& c : s) c = kChars[pick(gen)];
    return s;
}

}  // namespace

std::string temporaryOutputPattern(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string prefix = folder == "." && path.find('/') == std::string::npos ? "" : folder + "/";
    return prefix + "." + nameOf(path) + ".zorv-XXXXXX";
}

Status checkOutput(const std::string& path, const OutputRules& rules) {
    if (path.empty()) return Status::failure(ErrorCode::kOpenFailed, "No output file name");
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (S_ISLNK(link.st_mode))
                return Status::failure(ErrorCode::kOpenFailed,
                                       "The output is a link to a file that does not exist: " + path);
            return Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", errno);
        }
        if (const std::string* in = inputAt(st, rules))
            return Status::failure(ErrorCode::kOutputIsInput, "The output file is the input file: " + path + " is " + *in);
        if (S_ISDIR(st.st_mode)) return Status::failure(ErrorCode::kOpenFailed, "The output is a folder: " + path);
        if (!rules.overwrite)
            return Status::failure(ErrorCode::kOutputExists,
                                   "The output file already exists: " + path + " (use --overwrite)");
        return Status::success();
    }
    if (errno != ENOENT) return Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", errno);
    struct stat dir {};
    const std::string folder = folderOf(path);
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return Status::failure(ErrorCode::kOpenFailed, "The output folder does not exist: " + folder);
    return Status::success();
}

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        discard();
        final_ = std::move(other.final_);
        target_ = std::move(other.target_);
        temp_ = std::move(other.temp_);
        rules_ = std::move(other.rules_);
        slot_ = other.slot_;
        other.temp_.clear();
        other.slot_ = -1;
    }
    return *this;
}

Status OutputFile::begin(const std::string& path, const OutputRules& rules) {
    discard();
    if (Status s = checkOutput(path, rules); !s) return s;
    final_ = path;
    rules_ = rules;
    target_ = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Replace the file the link points to and keep the link, as writing through it would.
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    std::string pattern = temporaryOutputPattern(target_);
    const size_t x = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        pattern.replace(x, 6, randomSuffix());
        const int fd = ::open(pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            temp_ = pattern;
            slot_ = registerPending(temp_);
            return Status::success();
        }
        if (errno != EEXIST) return Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", errno);
    }
    return Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", EEXIST);
}

Status OutputFile::commit() {
    if (temp_.empty()) return Status::failure(ErrorCode::kWriteFailed, "Could not write output file");
    // The data reaches the disk before the name does, so a power cut never leaves the final name on
    // an empty or partial file.
    const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        discard();
        return Status::failure(ErrorCode::kWriteFailed, "Could not write output file", err);
    }
    ::close(fd);
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        if (const std::string* in = inputAt(st, rules_)) {
            std::string text = "The output file is the input file: " + final_ + " is " + *in;
            discard();
            return Status::failure(ErrorCode::kOutputIsInput, text);
        }
    }
    int rc;
    if (rules_.overwrite) {
        rc = ::rename(temp_.c_str(), target_.c_str());
    } else {
        rc = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && errno == EINVAL) {
            // A file system without RENAME_NOREPLACE: a hard link fails on an existing name as well.
            rc = ::link(temp_.c_str(), target_.c_str());
            if (rc == 0) ::unlink(temp_.c_str());
        }
    }
    if (rc != 0) {
        const int err = errno;
        discard();
        if (err == EEXIST)
            return Status::failure(ErrorCode::kOutputExists,
                                   "The output file already exists: " + final_ + " (use --overwrite)");
        return Status::failure(ErrorCode::kWriteFailed, "Could not write output file", err);
    }
    unregisterPending(slot_);
    slot_ = -1;
    temp_.clear();
    const std::string folder = folderOf(target_);
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return Status::success();
}

Status OutputFile::finish(Status result) {
    if (!result) {
        discard();
        return result;
    }
    if (Status c = commit(); !c) return c;
    return result;  // with its warnings
}

void OutputFile::discard() {
    if (temp_.empty()) return;
    unregisterPending(slot_);
    slot_ = -1;
    ::unlink(temp_.c_str());
    temp_.clear();
}

void removePendingOutputsFromSignal() {
    for (auto& slot : gPending) {
        if (slot.state.load(std::memory_order_acquire) == 2) ::unlink(slot.path);
    }
}

}  // namespace zorv::media
