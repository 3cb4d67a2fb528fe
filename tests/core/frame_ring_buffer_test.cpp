#include "core/frame_ring_buffer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace zorv::core {
namespace {

using Entry = FrameRingBuffer::Entry;
using Kind = FrameRingBuffer::EntryKind;

std::vector<uint8_t> bytes(std::span<const uint8_t> s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> numberedFrame(uint32_t n, size_t size = 120000) {
    std::vector<uint8_t> f(size, static_cast<uint8_t>(n * 7));
    std::memcpy(f.data(), &n, sizeof n);
    std::memcpy(f.data() + size - sizeof n, &n, sizeof n);
    return f;
}

TEST(FrameRingBuffer, SlotAllocationNeedsAtLeastFour) {
    FrameRingBuffer b;
    Status st = b.create(3);
    EXPECT_FALSE(st);
    EXPECT_EQ(st.message, "Failed to allocate mem buffer");

    // Allocation stops at the first failure; four slots are enough.
    EXPECT_FALSE(b.create(8, 3));
    ASSERT_TRUE(b.create(8, 4));
    EXPECT_EQ(b.slotCount(), 4);
    ASSERT_TRUE(b.create(150));
    EXPECT_EQ(b.slotCount(), 150);
}

TEST(FrameRingBuffer, RefusesFramesLargerThanASlot) {
    FrameRingBuffer b;
    ASSERT_TRUE(b.create(4));
    std::vector<uint8_t> big(FrameRingBuffer::kSlotSize + 1);
    EXPECT_FALSE(b.putFrame(big));
    std::vector<uint8_t> full(FrameRingBuffer::kSlotSize, 1);
    EXPECT_TRUE(b.putFrame(full));
}

// The consumer is much slower than the producer: the producer waits for free slots and every frame
// arrives, in order and intact, with its marks.
TEST(FrameRingBuffer, StalledConsumerLosesNothing) {
    FrameRingBuffer b;
    ASSERT_TRUE(b.create(4));
    constexpr uint32_t kFrames = 60;
    std::thread producer([&] {
        for (uint32_t n = 0; n < kFrames; ++n) {
            if (n == 30) {
                ASSERT_TRUE(b.putEndOfFile());
            }
            auto f = numberedFrame(n, n % 2 ? 120000 : 144000);
            ASSERT_TRUE(b.putFrame(f, n == 30 ? FrameRingBuffer::kStartNewFile : 0));
            EXPECT_LE(b.fillLevel(), 4);
        }
        ASSERT_TRUE(b.putEndOfInput());
    });
    uint32_t next = 0;
    bool sawEndOfFile = false;
    for (;;) {
        Entry e;
        ASSERT_TRUE(b.take(e));
        if (next < 10) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (e.kind == Kind::kEndOfInput) {
            b.release();
            break;
        }
        if (e.kind == Kind::kEndOfFile) {
            EXPECT_EQ(next, 30u);
            sawEndOfFile = true;
            b.release();
            continue;
        }
        ASSERT_EQ(e.data.size(), next % 2 ? 120000u : 144000u);
        EXPECT_EQ(bytes(e.data), numberedFrame(next, e.data.size()));
        EXPECT_EQ(e.flags, next == 30 ? FrameRingBuffer::kStartNewFile : 0u);
        b.release();
        ++next;
    }
    producer.join();
    EXPECT_EQ(next, kFrames);
    EXPECT_TRUE(sawEndOfFile);
}

TEST(FrameRingBuffer, FirstFrameStatusLooksWithoutTaking) {
    FrameRingBuffer b;
    ASSERT_TRUE(b.create(4));
    ASSERT_TRUE(b.putEndOfFile());  // a file that got no frame
    auto f = numberedFrame(5);
    ASSERT_TRUE(b.putFrame(f, FrameRingBuffer::kStartNewFile | FrameRingBuffer::kNewReel));

    uint32_t flags = 0;
    std::span<const uint8_t> data;
    EXPECT_EQ(b.firstFrameStatus(&flags, &data), FrameRingBuffer::FirstFrame::kPending);
    EXPECT_EQ(flags, FrameRingBuffer::kStartNewFile | FrameRingBuffer::kNewReel);
    EXPECT_EQ(bytes(data), f);
    EXPECT_EQ(b.fillLevel(), 1);  // the empty file's entry is gone, the frame stays

    Entry e;
    ASSERT_TRUE(b.take(e));
    EXPECT_EQ(e.kind, Kind::kFrame);
    b.release();

    ASSERT_TRUE(b.putEndOfFile());
    ASSERT_TRUE(b.putEndOfInput());
    EXPECT_EQ(b.firstFrameStatus(), FrameRingBuffer::FirstFrame::kNoFrame);
    ASSERT_TRUE(b.take(e));
    EXPECT_EQ(e.kind, Kind::kEndOfInput);
}

TEST(FrameRingBuffer, AbortWakesBothSides) {
    FrameRingBuffer b;
    ASSERT_TRUE(b.create(4));
    auto f = numberedFrame(1);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(b.putFrame(f));
    std::thread producer([&] { EXPECT_FALSE(b.putFrame(f)); });  // buffer full: waits
    FrameRingBuffer empty;
    ASSERT_TRUE(empty.create(4));
    std::thread consumer([&] {
        Entry e;
        EXPECT_FALSE(empty.take(e));  // buffer empty: waits
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    b.abort();
    empty.abort();
    producer.join();
    consumer.join();
    EXPECT_EQ(empty.firstFrameStatus(), FrameRingBuffer::FirstFrame::kAborted);
}

}  // namespace
}  // namespace zorv::core
