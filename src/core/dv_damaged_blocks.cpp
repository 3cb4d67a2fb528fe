#include "core/dv_damaged_blocks.h"

#include "core/dv_layout.h"

namespace zorv::core {

void listDamagedBlocks(const uint8_t* frame, size_t frameSize, std::vector<DamagedBlock>& out) {
    out.clear();
    if (!frame) return;
    const int sequences = dv::sequenceCount(frameSize);
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + dv::kSequenceSize * static_cast<size_t>(s);
        for (int v = 0; v < dv::kVideoBlocksPerSequence; ++v) {
            const int sta = seq[dv::videoBlockIndex(v) * dv::kDifBlockSize + 3] >> 4;
            if (sta != 0) out.push_back(DamagedBlock{s, v, sta});
        }
    }
}

}  // namespace zorv::core
