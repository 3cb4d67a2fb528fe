#include "media/rawdv_writer.h"

#include <cerrno>

namespace zorv::media {

using core::ErrorCode;
using core::Status;

RawDvWriter::~RawDvWriter() { close(); }

Status RawDvWriter::open(const std::string& path) {
    close();
    error_ = Status::success();
    frames_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
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
    if (!file_) return Status::failure(ErrorCode::kWriteFailed, "Raw DV file is not open");
    if (!error_.ok()) return error_;
    errno = 0;
    if (std::fwrite(frame.data(), 1, frame.size(), file_) != frame.size()) return fail(errno ? errno : EIO);
    ++frames_;
    return Status::success();
}

Status RawDvWriter::close() {
    if (!file_) return error_;
    errno = 0;
    if (error_.ok() && std::fflush(file_) != 0) fail(errno ? errno : EIO);
    if (std::fclose(file_) != 0) fail(errno ? errno : EIO);
    file_ = nullptr;
    return error_;
}

}  // namespace zorv::media
