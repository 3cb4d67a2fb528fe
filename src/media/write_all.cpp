#include "media/write_all.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

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

uint8_t PatchedFrame::at(size_t offset) const {
    const size_t block = offset / 80;
    for (int i = 0; i < blockCount && blocks[i] <= block; ++i)
        if (blocks[i] == block) return patch[80 * size_t(i) + offset % 80];
    return data[offset];
}

GatherBatch::GatherBatch(size_t arenaBytes)
    : iov_(new struct iovec[kMaxIov]), arena_(new uint8_t[arenaBytes]), arenaSize_(arenaBytes) {}

void GatherBatch::add(const uint8_t* p, size_t n) {
    if (n == 0) return;
    pending_ += n;
    if (used_ > 0) {
        struct iovec& last = iov_[used_ - 1];
        if (static_cast<const uint8_t*>(last.iov_base) + last.iov_len == p) {
            last.iov_len += n;
            return;
        }
    }
    iov_[used_++] = {const_cast<uint8_t*>(p), n};
}

void GatherBatch::ref(const void* data, size_t size) { add(static_cast<const uint8_t*>(data), size); }

void GatherBatch::copy(const void* data, size_t size) {
    uint8_t* at = arena_.get() + arenaUsed_;
    std::memcpy(at, data, size);
    arenaUsed_ += size;
    add(at, size);
}

void GatherBatch::frame(const PatchedFrame& f) {
    size_t cursor = 0;
    for (int i = 0; i < f.blockCount; ++i) {
        const size_t at = size_t(f.blocks[i]) * 80;
        if (at + 80 > f.data.size()) break;
        ref(f.data.data() + cursor, at - cursor);
        copy(f.patch + 80 * size_t(i), 80);
        cursor = at + 80;
    }
    ref(f.data.data() + cursor, f.data.size() - cursor);
}

int GatherBatch::flush(int fd) {
    const int err = used_ > 0 ? writeAllV(fd, iov_.get(), used_) : 0;
    used_ = 0;
    arenaUsed_ = 0;
    pending_ = 0;
    return err;
}

}  // namespace zorv::media
