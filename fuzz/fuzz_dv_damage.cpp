// Arbitrary bytes as DV frames for the damage record and the block-level merge. The first byte picks
// the frame size (525/60, 625/50, or the bytes as they are); the rest is repeated to fill a frame, and a
// second copy of the frame is made from the same bytes shifted, so two differently damaged copies meet.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/dv_damage.h"
#include "core/dv_layout.h"
#include "media/dv_frame_damage.h"
#include "tools/damage_report.h"
#include "tools/dv_merge.h"

using namespace zorv;

namespace {

// The video counts as a plain reading gives them, block by block: the scan's shortcuts (one pass that
// only notes whether anything is off, counting only then) must come to the same.
bool sameAsPlainReading(const core::FrameDamage& d, const uint8_t* frame, size_t frameSize) {
    std::array<uint16_t, 16> sta{};
    int misplaced = 0;
    const int sequences = core::dv::sequenceCount(frameSize);
    const int perChannel = core::sequencesPerChannel(sequences);
    for (int s = 0; s < sequences; ++s) {
        for (size_t b = 0; b < core::dv::kBlocksPerSequence; ++b) {
            const uint8_t* blk = frame + core::dv::kSequenceSize * static_cast<size_t>(s) + b * core::dv::kDifBlockSize;
            misplaced += !core::blockInPlace(blk, s, b, perChannel);
            if (core::sectionOf(b) == core::DifSection::kVideo) ++sta[blk[3] >> 4];
        }
    }
    return sta == d.sta && misplaced == d.misplacedBlocks;
}

}  // namespace

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
    if (!sameAsPlainReading(d, a.data(), a.size())) __builtin_trap();
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
