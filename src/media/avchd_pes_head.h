// Collects the first bytes of each PES packet of one PID from a run of transport packets: enough of
// an H.264 access unit to read its delimiter, parameter sets and SEI messages without reassembling
// the whole picture. The buffer is fixed; nothing is allocated per packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/ts_packet.h"

namespace zorv::media {

class PesHeadCollector {
public:
    // limit: bytes of elementary-stream data kept from each PES.
    PesHeadCollector(uint16_t pid, size_t limit) : pid_(pid), buf_(limit) {}

    // Feeds one parsed packet. When it starts a new PES of the PID, the previous head (if any) is
    // complete and is handed to done(data, size, pts, number) before the new one starts.
    template <typename Done>
    void feed(const TsPacket& pkt, Done&& done) {
        if (pkt.pid != pid_ || !pkt.hasPayload || pkt.payloadSize() <= 0) return;
        const uint8_t* p = pkt.payload();
        size_t n = static_cast<size_t>(pkt.payloadSize());
        if (pkt.payloadUnitStart) {
            finish(done);
            PesHeader h;
            if (!parsePesHeader(p, n, h) || static_cast<size_t>(h.payloadOffset) > n) return;
            active_ = true;
            pts_ = h.hasPts ? h.pts : -1;
            p += h.payloadOffset;
            n -= static_cast<size_t>(h.payloadOffset);
        } else if (!active_) {
            return;
        }
        const size_t room = buf_.size() - used_;
        const size_t take = n < room ? n : room;
        for (size_t i = 0; i < take; ++i) buf_[used_ + i] = p[i];
        used_ += take;
    }

    // Hands on the head being collected, if any.
    template <typename Done>
    void finish(Done&& done) {
        if (active_) done(static_cast<const uint8_t*>(buf_.data()), used_, pts_, count_++);
        active_ = false;
        used_ = 0;
    }

    void reset() {
        active_ = false;
        used_ = 0;
        count_ = 0;
    }
    bool full() const { return used_ == buf_.size(); }

private:
    uint16_t pid_;
    std::vector<uint8_t> buf_;
    size_t used_ = 0;
    bool active_ = false;
    int64_t pts_ = -1;
    int64_t count_ = 0;
};

}  // namespace zorv::media
