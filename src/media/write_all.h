// Gathered writes straight from the caller's buffers to a descriptor: no stdio buffer in between,
// so a 144000-byte DV frame and its chunk header go to the kernel in one call with no copy.
#pragma once

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>

namespace zorv::media {

// Writes every byte of the count buffers at the descriptor's position, retrying interrupted and
// partial writes. Returns 0, or the errno of the failure (EIO when the kernel accepts nothing).
// The iovec array is used as scratch.
int writeAllV(int fd, struct iovec* iov, int count);
// The same at a file position, leaving the descriptor's position alone.
int pwriteAll(int fd, const void* data, size_t size, int64_t offset);

}  // namespace zorv::media
