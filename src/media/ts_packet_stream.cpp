#include "media/ts_packet_stream.h"

#include <algorithm>
#include <cstring>

#include "media/ts_packet.h"

namespace zorv::media {

namespace {
// The window: large enough that refills are rare, small enough to stay in the cache.
constexpr size_t kWindowBytes = 256 * 1024;
// Bytes looked at from a sync byte: two more strides of the larger size, and the four bytes that a
// prefix-aligned run may be off by.
constexpr size_t kLookBytes = 2 * kTsTimestampedBytes + 1 + 4;
constexpr int kPrefixBytes = kTsTimestampedBytes - kTsPacketBytes;
}  // namespace

void TsPacketStream::attach(const File* file, int packetSize, int syncInPacket, int64_t end) {
    file_ = file;
    packetSize_ = packetSize >= kTsTimestampedBytes ? kTsTimestampedBytes : kTsPacketBytes;
    syncInPacket_ = packetSize_ == kTsTimestampedBytes ? std::clamp(syncInPacket, 0, kPrefixBytes) : 0;
    const int64_t size = file ? file->size() : 0;
    end_ = end < 0 ? size : std::min(end, size);
    buf_.resize(kWindowBytes);
    skipped_ = places_ = 0;
    seek(0);
}

void TsPacketStream::seek(int64_t offset) {
    offset = std::max<int64_t>(offset, 0);
    stride_ = packetSize_;
    sync_ = offset + syncInPacket_;
    synced_ = false;
    ended_ = offset >= end_;
    lastOffset_ = -1;
}

bool TsPacketStream::need(int64_t at, size_t n) {
    const int64_t from = std::max<int64_t>(at - kPrefixBytes, 0);
    const int64_t to = std::min<int64_t>(at + static_cast<int64_t>(n), end_);
    if (from >= bufStart_ && to <= windowEnd()) return true;
    if (from >= bufStart_ && from < windowEnd()) {
        const size_t drop = static_cast<size_t>(from - bufStart_);
        std::memmove(buf_.data(), buf_.data() + drop, len_ - drop);
        len_ -= drop;
        bufStart_ = from;
    } else {
        bufStart_ = from;
        len_ = 0;
    }
    while (windowEnd() < to) {
        const size_t want =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buf_.size() - len_), end_ - windowEnd()));
        if (want == 0) break;
        const int64_t got = file_->readAt(windowEnd(), buf_.data() + len_, want);
        if (got < 0) return false;
        if (got == 0) return false;  // the file shrank under the reader: its end was not reached
        len_ += static_cast<size_t>(got);
    }
    return true;
}

bool TsPacketStream::runAt(int64_t at, int stride) const {
    if (!syncAt(at)) return false;
    for (int k = 1; k <= 2; ++k) {
        const int64_t p = at + k * stride;
        if (p >= end_) return true;  // the file ends first
        if (!syncAt(p)) return false;
    }
    return true;
}

bool TsPacketStream::findRun(int64_t& at, int64_t limit, bool& found) {
    found = false;
    const int other = stride_ == kTsPacketBytes ? kTsTimestampedBytes : kTsPacketBytes;
    for (; at < limit && at < end_; ++at) {
        if (!need(at, kLookBytes)) return false;
        if (!syncAt(at)) continue;
        const int stride = runAt(at, stride_) ? stride_ : runAt(at, other) ? other : 0;
        if (stride == 0) continue;
        // In 192-byte packets a run of equal arrival-time bytes may line up four bytes or less
        // before the real sync bytes: take the last run that starts within them.
        if (stride == kTsTimestampedBytes)
            for (int j = kPrefixBytes; j > 0; --j)
                if (runAt(at + j, stride)) {
                    at += j;
                    break;
                }
        stride_ = stride;
        found = true;
        return true;
    }
    return true;
}

void TsPacketStream::skip(int64_t from, int64_t to) {
    if (to <= from) return;
    skipped_ += to - from;
    ++places_;
}

int64_t TsPacketStream::read(uint8_t* out, int64_t maxPackets) {
    if (!file_) return -1;
    int64_t count = 0;
    while (count < maxPackets && !ended_) {
        const int64_t s = sync_;
        if (!need(s, kLookBytes)) return -1;
        if (!synced_) {
            synced_ = true;
            if (!runAt(s, stride_)) {
                // After a seek the offset need not be a packet start: the first run from it on.
                int64_t q = s;
                bool found = false;
                if (!findRun(q, end_, found)) return -1;
                sync_ = q;
                if (!found) ended_ = true;
                continue;
            }
        }
        if (end_ - s < kTsPacketBytes) {
            skip(s, end_);  // a cut last packet
            ended_ = true;
            sync_ = end_;
            break;
        }
        int64_t q = s + 1;
        bool found = false;
        if (!syncAt(s)) {
            if (!findRun(q, end_, found)) return -1;
            skip(s, found ? q : end_);
            sync_ = q;
            if (!found) ended_ = true;
            continue;
        }
        const int stride = stride_;
        int64_t next = s + stride;
        if (next < end_ && !syncAt(next)) {
            // A run starting inside this packet means it is short: it is dropped. One starting at
            // its end or up to the expected place means the packet size changed. Without either,
            // the next packet is damaged and is passed over when it comes.
            if (!findRun(q, next + 1, found)) return -1;
            if (found && q < s + kTsPacketBytes) {
                skip(s, q);
                sync_ = q;
                continue;
            }
            if (found) next = q;
            if (!need(s, kLookBytes)) return -1;
        }
        uint8_t* dst = out + count * packetSize_;
        const uint8_t* src = buf_.data() + (s - bufStart_);
        if (syncInPacket_ > 0) {
            if (stride == kTsTimestampedBytes && s - kPrefixBytes >= bufStart_)
                std::memcpy(dst, src - kPrefixBytes, kPrefixBytes);
            else std::memset(dst, 0, static_cast<size_t>(syncInPacket_));
        }
        std::memcpy(dst + syncInPacket_, src, kTsPacketBytes);
        lastOffset_ = s - (stride - kTsPacketBytes);
        sync_ = next;
        ++count;
    }
    return count;
}

std::string skippedBytesText(int64_t bytes) {
    return "Passed over " + std::to_string(bytes) + " damaged byte" + (bytes == 1 ? "" : "s") +
           " of the transport stream to find its packets again";
}

void warnSkippedBytes(core::Status& result, int64_t bytes) {
    if (bytes > 0) result.warnings.push_back({core::WarningKind::kSkippedBytes, skippedBytesText(bytes)});
}

}  // namespace zorv::media
