// Frame-parallel encoding for compressors whose pictures stand alone (intra-only, such as ffv1): each
// lane is a thread with its own codec context that takes the oldest waiting picture of a small ring,
// and the packets come back in picture order on the caller's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/error.h"
#include "media/codec/av_handles.h"

namespace zorv::tools {

class EncoderLanes {
public:
    // Receives each packet, in picture order.
    using PacketOut = std::function<core::Status(const uint8_t* data, size_t size, bool key)>;

    EncoderLanes() = default;
    ~EncoderLanes();
    EncoderLanes(const EncoderLanes&) = delete;
    EncoderLanes& operator=(const EncoderLanes&) = delete;

    // Opens `lanes` contexts set up as model is (size, pixel format, rates, range, flags).
    core::Status open(const AVCodec* codec, const AVCodecContext& model, int lanes);
    // The picture to fill next; first hands the oldest finished packet to out when its slot is needed.
    core::Status nextFrame(AVFrame*& frame, const PacketOut& out);
    // Hands the filled picture to its lane.
    void submit();
    // Hands a reference to a picture of someone else's to the next lane instead (nothing is copied;
    // the reference is dropped once the picture is encoded).
    core::Status submitRef(const AVFrame* frame, const PacketOut& out);
    // Waits for every picture given and hands their packets to out.
    core::Status flush(const PacketOut& out);

private:
    struct Slot {
        media::codec::FramePtr frame;     // the slot's own picture, filled through nextFrame
        media::codec::FramePtr borrowed;  // or a reference given to submitRef
        bool useBorrowed = false;
        std::vector<uint8_t> packet;
        bool key = false;
        bool busy = false;  // submitted and not yet written
        bool done = false;
        core::Status status;
    };
    void laneLoop(int lane);
    core::Status freeSlot(const PacketOut& out, Slot*& slot);
    core::Status writeSlot(Slot& slot, const PacketOut& out);

    std::vector<media::codec::CodecContextPtr> contexts_;
    std::vector<std::thread> threads_;
    std::vector<Slot> slots_;
    std::mutex lock_;
    std::condition_variable changed_;
    int64_t submitted_ = 0;  // pictures handed to the lanes
    int64_t taken_ = 0;      // pictures a lane has started on
    int64_t written_ = 0;    // pictures whose packets went out
    bool stop_ = false;
};

}  // namespace zorv::tools
