// Writes a Raw DV file: whole DV frames back to back, nothing else.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/error.h"
#include "media/write_all.h"
#include "media/write_behind.h"

namespace zorv::media {

class RawDvWriter {
public:
    RawDvWriter() = default;
    ~RawDvWriter();
    RawDvWriter(const RawDvWriter&) = delete;
    RawDvWriter& operator=(const RawDvWriter&) = delete;

    // writeBehind: queued frames are written by a writer thread while the next ones are queued (see
    // WriteBehind); what queueFrame() references must then stay valid until the flush() after the one
    // that wrote it returns, or until close().
    core::Status open(const std::string& path, bool writeBehind = false);
    // Appends one whole frame with one write.
    core::Status writeFrame(std::span<const uint8_t> frame);
    // Queues one whole frame for a later gathered write: its data must stay valid and unchanged until
    // flush() or close(); the patched blocks are copied. A failure shows at the call that flushes.
    core::Status queueFrame(const PatchedFrame& frame);
    core::Status flush();
    // Closes; reports any write that failed before. Safe to call twice.
    core::Status close();

    bool isOpen() const { return fd_ >= 0; }
    int64_t framesWritten() const { return frames_; }

private:
    core::Status fail(int err);
    core::Status settle();

    static constexpr size_t kArena = size_t(256) << 10;
    GatherBatch batch_{kArena};
    std::unique_ptr<WriteBehind> behind_;
    int fd_ = -1;
    core::Status error_;
    int64_t frames_ = 0;
};

}  // namespace zorv::media
