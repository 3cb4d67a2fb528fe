// Arbitrary bytes as DV frames for the damage record and the block-level merge. The first byte picks
// the frame size (525/60, 625/50, or the bytes as they are); the rest is repeated to fill a frame, and a
// second copy of the frame is made from the same bytes shifted, so two differently damaged copies meet.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/dv_damage.h"
#include "core/dv_layout.h"
#include "media/dv_frame_damage.h"
#include "tools/damage_report.h"
#include "tools/dv_merge.h"

using namespace zorv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > core::dv::kMaxFrameSize) return 0;
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    const size_t frameSize = mode == 0 ? core::dv::kFrameSize525 : mode == 1 ? core::dv::kFrameSize625 : size;
    std::vector<uint8_t> a(frameSize), b(frameSize), out(frameSize);
    for (size_t i = 0; i < frameSize; ++i) {
        a[i] = data[i % size];
        b[i] = data[(i + 97) % size];
    }
    core::FrameDamage d;
    media::readFrameDamage(d, a.data(), a.size());
    char columns[tools::kDamageCsvCapacity];
    tools::damageCsvColumns(columns, d);
    core::DecodedValues cur, prev;
    cur.tcHours = data[0] % 30;
    prev.frameRate = data[size - 1];
    core::checkTimecodeOrder(d, cur, prev);
    std::vector<int> from;
    if (core::dv::sequenceCount(frameSize) > 0) tools::mergeFrameBlocks({a.data(), b.data()}, frameSize, out.data(), from);
    return 0;
}
