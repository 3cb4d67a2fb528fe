#include "media/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace zorv::media {

int writeAllV(int fd, struct iovec* iov, int count) {
    while (count > 0 && iov->iov_len == 0) ++iov, --count;
    while (count > 0) {
        const ssize_t n = ::writev(fd, iov, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno ? errno : EIO;
        }
        if (n == 0) return EIO;
        size_t done = static_cast<size_t>(n);
        while (count > 0 && done >= iov->iov_len) {
            done -= iov->iov_len;
            ++iov, --count;
        }
        if (count > 0) {
            iov->iov_base = static_cast<uint8_t*>(iov->iov_base) + done;
            iov->iov_len -= done;
        }
        while (count > 0 && iov->iov_len == 0) ++iov, --count;
    }
    return 0;
}

int pwriteAll(int fd, const void* data, size_t size, int64_t offset) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno ? errno : EIO;
        }
        if (n == 0) return EIO;
        p += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return 0;
}

}  // namespace zorv::media
