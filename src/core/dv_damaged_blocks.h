// The video DIF blocks of one frame that the deck marked as not as recorded (status not 0), each with
// its place (DIF sequence, video block) and status: what a view of the damaged areas of a picture needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorv::core {

struct DamagedBlock {
    int sequence = 0;    // DIF sequence (0..11 in 625/50, 0..9 in 525/60; doubled frames count on)
    int videoBlock = 0;  // video block of the sequence, 0..134
    int sta = 0;         // status nibble, 1..15
};

// Lists the marked video blocks of a frame of frameSize readable bytes into out (cleared first; its
// storage is reused), in frame order.
void listDamagedBlocks(const uint8_t* frame, size_t frameSize, std::vector<DamagedBlock>& out);

}  // namespace zorv::core
