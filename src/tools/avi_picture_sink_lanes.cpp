#include "tools/avi_picture_sink_lanes.h"

#include <cstring>

namespace zorv::tools {

using core::ErrorCode;
using core::Status;

namespace {
constexpr int kSlotsPerLane = 3;
}

EncoderLanes::~EncoderLanes() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
}

Status EncoderLanes::open(const AVCodec* codec, const AVCodecContext& model, int lanes) {
    for (int i = 0; i < lanes; ++i) {
        media::codec::CodecContextPtr c(avcodec_alloc_context3(codec));
        if (!c) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
        c->width = model.width;
        c->height = model.height;
        c->pix_fmt = model.pix_fmt;
        c->time_base = model.time_base;
        c->framerate = model.framerate;
        c->color_range = model.color_range;
        c->gop_size = model.gop_size;
        c->level = model.level;
        c->slices = model.slices;
        c->flags = model.flags;
        c->thread_count = 1;
        if (avcodec_open2(c.get(), codec, nullptr) < 0)
            return Status::failure(ErrorCode::kOpenFailed, "Could not open compressor " + std::string(codec->name));
        contexts_.push_back(std::move(c));
    }
    slots_.resize(static_cast<size_t>(lanes * kSlotsPerLane));
    for (Slot& s : slots_) {
        s.frame = media::codec::makePicture(model.width, model.height, model.pix_fmt);
        s.borrowed = media::codec::makeFrame();
        if (!s.frame || !s.borrowed) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    }
    for (int i = 0; i < lanes; ++i) threads_.emplace_back([this, i] { laneLoop(i); });
    return Status::success();
}

void EncoderLanes::laneLoop(int lane) {
    AVCodecContext* ctx = contexts_[static_cast<size_t>(lane)].get();
    media::codec::PacketPtr packet = media::codec::makePacket();
    // Each lane takes the oldest picture no lane has taken yet: the pictures stand alone, so any
    // lane's compressor can encode any of them, and a lane that finishes early never waits while
    // pictures are queued behind a slower one.
    for (;;) {
        int64_t n = 0;
        {
            std::unique_lock<std::mutex> lk(lock_);
            changed_.wait(lk, [&] { return stop_ || taken_ < submitted_; });
            if (taken_ >= submitted_) return;  // stopping
            n = taken_++;
        }
        Slot& slot = slots_[static_cast<size_t>(n % static_cast<int64_t>(slots_.size()))];
        Status s;
        AVFrame* picture = slot.useBorrowed ? slot.borrowed.get() : slot.frame.get();
        picture->pts = n;
        int err = avcodec_send_frame(ctx, picture);
        if (err >= 0) err = avcodec_receive_packet(ctx, packet.get());
        if (slot.useBorrowed) av_frame_unref(picture);
        if (err < 0 || !packet) {
            s = Status::failure(ErrorCode::kWriteFailed, "Compressor failed");
        } else {
            slot.packet.assign(packet->data, packet->data + packet->size);
            slot.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            av_packet_unref(packet.get());
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            slot.status = s;
            slot.done = true;
        }
        changed_.notify_all();
    }
}

Status EncoderLanes::writeSlot(Slot& slot, const PacketOut& out) {
    {
        std::unique_lock<std::mutex> lk(lock_);
        changed_.wait(lk, [&] { return slot.done; });
    }
    Status s = slot.status;
    if (s) s = out(slot.packet.data(), slot.packet.size(), slot.key);
    slot.busy = slot.done = false;
    ++written_;
    return s;
}

// The slot of the next picture, once the packet of the picture it held has gone out.
Status EncoderLanes::freeSlot(const PacketOut& out, Slot*& slot) {
    slot = &slots_[static_cast<size_t>(submitted_ % static_cast<int64_t>(slots_.size()))];
    return slot->busy ? writeSlot(*slot, out) : Status::success();
}

Status EncoderLanes::nextFrame(AVFrame*& frame, const PacketOut& out) {
    Slot* slot = nullptr;
    Status s = freeSlot(out, slot);
    if (!s) return s;
    AVFrame* f = slot->frame.get();
    // The lane's compressor may still hold the last picture it encoded: take fresh buffers then
    // (their old content is of no use).
    if (!av_frame_is_writable(f)) {
        const int w = f->width, h = f->height, format = f->format;
        av_frame_unref(f);
        f->width = w, f->height = h, f->format = format;
        if (av_frame_get_buffer(f, 32) < 0) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    }
    slot->useBorrowed = false;
    frame = f;
    return Status::success();
}

Status EncoderLanes::submitRef(const AVFrame* frame, const PacketOut& out) {
    Slot* slot = nullptr;
    Status s = freeSlot(out, slot);
    if (!s) return s;
    if (av_frame_ref(slot->borrowed.get(), frame) < 0) return Status::failure(ErrorCode::kOutOfMemory, "Out of memory.");
    slot->useBorrowed = true;
    submit();
    return Status::success();
}

void EncoderLanes::submit() {
    {
        std::lock_guard<std::mutex> g(lock_);
        slots_[static_cast<size_t>(submitted_ % static_cast<int64_t>(slots_.size()))].busy = true;
        ++submitted_;
    }
    changed_.notify_all();
}

Status EncoderLanes::flush(const PacketOut& out) {
    Status result;
    while (written_ < submitted_) {
        Slot& slot = slots_[static_cast<size_t>(written_ % static_cast<int64_t>(slots_.size()))];
        Status s = writeSlot(slot, out);
        if (result && !s) result = s;
    }
    return result;
}

}  // namespace zorv::tools
