#include "media/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorv::media {

File::File(File&& other) noexcept
    : fd_(other.fd_), stream_(other.stream_), path_(std::move(other.path_)), errno_(other.errno_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        stream_ = other.stream_;
        path_ = std::move(other.path_);
        errno_ = other.errno_;
        other.fd_ = -1;
    }
    return *this;
}

bool File::open(const std::string& path, Mode mode) {
    close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::kRead: flags |= O_RDONLY; break;
    case Mode::kReadWrite: flags |= O_RDWR; break;
    case Mode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        errno_ = errno;
        return false;
    }
    // A directory opens read-only on Linux but is no media file.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno_ = EISDIR;
        return false;
    }
    fd_ = fd;
    path_ = path;
    errno_ = 0;
    return true;
}

bool File::openStandardOutput() {
    close();
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        errno_ = errno;
        return false;
    }
    fd_ = fd;
    stream_ = true;
    path_ = "-";
    errno_ = 0;
    return true;
}

void File::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    stream_ = false;
}

int64_t File::size() const {
    struct stat st {};
    if (fd_ < 0) {
        errno_ = EBADF;
        return -1;
    }
    if (::fstat(fd_, &st) != 0) {
        errno_ = errno;
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

int64_t File::readAt(int64_t offset, void* buf, size_t n) const {
    if (fd_ < 0) {
        errno_ = EBADF;
        return -1;
    }
    if (offset < 0) {
        errno_ = EINVAL;
        return -1;
    }
    auto* p = static_cast<uint8_t*>(buf);
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (r < 0) {
            if (errno == EINTR) continue;
            errno_ = errno;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

bool File::writeAt(int64_t offset, const void* buf, size_t n) {
    if (fd_ < 0) {
        errno_ = EBADF;
        return false;
    }
    if (offset < 0) {
        errno_ = EINVAL;
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(buf);
    size_t done = 0;
    while (done < n) {
        ssize_t r = stream_ ? ::write(fd_, p + done, n - done)
                            : ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (r < 0) {
            if (errno == EINTR) continue;
            errno_ = errno;
            return false;
        }
        if (r == 0) {
            errno_ = EIO;
            return false;
        }
        done += static_cast<size_t>(r);
    }
    return true;
}

bool File::truncate(int64_t length) {
    if (fd_ < 0 || ::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        errno_ = fd_ < 0 ? EBADF : errno;
        return false;
    }
    return true;
}

bool File::sync() {
    if (fd_ < 0 || ::fsync(fd_) != 0) {
        errno_ = fd_ < 0 ? EBADF : errno;
        return false;
    }
    return true;
}

std::string fourccText(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace zorv::media
