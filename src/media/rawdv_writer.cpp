#include "media/rawdv_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "media/write_all.h"

namespace zorv::media {

using core::ErrorCode;
using core::Status;

RawDvWriter::~RawDvWriter() { close(); }

Status RawDvWriter::open(const std::string& path, bool writeBehind) {
    close();
    error_ = Status::success();
    frames_ = 0;
    batch_.clear();
    behind_.reset();
    if (writeBehind) behind_ = std::make_unique<WriteBehind>(kArena);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        int err = errno;
        error_ = Status::failure(ErrorCode::kOpenFailed, "Unable to create output file", err);
    }
    return error_;
}

Status RawDvWriter::fail(int err) {
    if (error_.ok()) error_ = Status::failure(ErrorCode::kWriteFailed, "Could not write output file", err);
    return error_;
}

Status RawDvWriter::writeFrame(std::span<const uint8_t> frame) {
    if (fd_ < 0) return Status::failure(ErrorCode::kWriteFailed, "Raw DV file is not open");
    if (Status s = settle(); !s) return s;
    // Straight from the caller's frame to the kernel: no buffer copy in between.
    struct iovec iov {
        const_cast<uint8_t*>(frame.data()), frame.size()
    };
    if (int err = writeAllV(fd_, &iov, 1); err != 0) return fail(err);
    ++frames_;
    return Status::success();
}

Status RawDvWriter::queueFrame(const PatchedFrame& frame) {
    if (fd_ < 0) return Status::failure(ErrorCode::kWriteFailed, "Raw DV file is not open");
    if (!error_.ok()) return error_;
    if (!batch_.fits(GatherBatch::iovecsFor(frame), GatherBatch::copyBytesFor(frame)))
        if (Status s = flush(); !s) return s;
    batch_.frame(frame);
    ++frames_;
    return Status::success();
}

Status RawDvWriter::flush() {
    if (!error_.ok()) return error_;
    if (fd_ < 0) return Status::success();
    if (behind_) {
        if (int err = behind_->submit(fd_, batch_); err != 0) return fail(err);
        return Status::success();
    }
    if (batch_.empty()) return Status::success();
    if (int err = batch_.flush(fd_); err != 0) return fail(err);
    return Status::success();
}

Status RawDvWriter::settle() {
    if (Status s = flush(); !s) return s;
    if (behind_ && fd_ >= 0)
        if (int err = behind_->drain(); err != 0) return fail(err);
    return Status::success();
}

Status RawDvWriter::close() {
    if (fd_ < 0) return error_;
    settle();
    if (behind_) behind_->drain();
    if (::close(fd_) != 0 && errno != EINTR) fail(errno ? errno : EIO);
    fd_ = -1;
    return error_;
}

}  // namespace zorv::media
