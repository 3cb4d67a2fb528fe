#include "core/dv_damage.h"

#include "core/dv_layout.h"

namespace zorv::core {

namespace {

// Section type (upper three bits of ID byte 0) and block number (ID byte 2) of each block of a DIF
// sequence: header, 2 subcode, 3 VAUX, then audio every 16th block and video in between.
struct BlockPlaces {
    uint8_t sct[dv::kBlocksPerSequence];
    uint8_t dbn[dv::kBlocksPerSequence];
    // Per block: its ID bytes 0-2 as a little-endian word (sequence number 0), and the mask of the status
    // nibble in the word of bytes 0-3 (video blocks only; byte 3 means something else in the others).
    struct Expect {
        uint32_t id;
        uint32_t status;
    } expect[dv::kBlocksPerSequence];
    uint16_t video[dv::kVideoBlocksPerSequence];  // byte offset of each video block in its sequence
    constexpr BlockPlaces() : sct{}, dbn{}, expect{}, video{} {
        sct[0] = 0;
        dbn[0] = 0;
        for (int b = 1; b < 3; ++b) sct[b] = 1, dbn[b] = static_cast<uint8_t>(b - 1);
        for (int b = 3; b < 6; ++b) sct[b] = 2, dbn[b] = static_cast<uint8_t>(b - 3);
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            sct[dv::audioBlockIndex(a)] = 3;
            dbn[dv::audioBlockIndex(a)] = static_cast<uint8_t>(a);
        }
        for (int v = 0; v < dv::kVideoBlocksPerSequence; ++v) {
            sct[dv::videoBlockIndex(v)] = 4;
            dbn[dv::videoBlockIndex(v)] = static_cast<uint8_t>(v);
            video[v] = static_cast<uint16_t>(dv::videoBlockIndex(v) * dv::kDifBlockSize);
            expect[dv::videoBlockIndex(v)].status = 0xF0000000u;
        }
        for (size_t b = 0; b < dv::kBlocksPerSequence; ++b)
            expect[b].id = static_cast<uint32_t>(sct[b]) << 5 | static_cast<uint32_t>(dbn[b]) << 16;
    }
};
constexpr BlockPlaces kPlaces;
// The ID bits compared: section type (byte 0 bits 5-7), sequence number (byte 1 bits 4-7), block number.
constexpr uint32_t kIdMask = 0x00FFF0E0;

// Bytes 0-3 of a DIF block (its ID and, in a video block, the status byte) as a little-endian word.
inline uint32_t headWord(const uint8_t* blk) {
    return blk[0] | static_cast<uint32_t>(blk[1]) << 8 | static_cast<uint32_t>(blk[2]) << 16 |
           static_cast<uint32_t>(blk[3]) << 24;
}

bool anyPack(const uint8_t* seq) {
    for (int j = 0; j < dv::kSubcodePacksPerSequence; ++j)
        if (seq[dv::subcodePackOffset(j)] != 0xFF) return true;
    for (int k = 0; k < dv::kVauxPacksPerSequence; ++k)
        if (seq[dv::vauxPackOffset(k)] != 0xFF) return true;
    return false;
}

}  // namespace

DifSection sectionOf(size_t blockInSequence) {
    return static_cast<DifSection>(kPlaces.sct[blockInSequence % dv::kBlocksPerSequence]);
}

bool blockInPlace(const uint8_t* blk, int sequence, size_t b, int perChannel) {
    return (blk[0] >> 5) == kPlaces.sct[b] && (blk[1] >> 4) == static_cast<unsigned>(sequence % perChannel) &&
           blk[2] == kPlaces.dbn[b];
}

int FrameDamage::concealedBlocks() const { return sta[0x2] + sta[0x4] + sta[0x6] + sta[0xA] + sta[0xC] + sta[0xE]; }

int FrameDamage::uncorrectedBlocks() const { return sta[0x7] + sta[0xF]; }

int FrameDamage::otherBlocks() const { return damagedBlocks() - concealedBlocks() - uncorrectedBlocks(); }

double FrameDamage::concealedShare() const {
    return videoBlocks ? static_cast<double>(concealedBlocks()) / videoBlocks : 0.0;
}

int FrameDamage::audioErrorTotal() const {
    int t = 0;
    for (uint16_t c : audioErrors) t += c;
    return t;
}

DamageSeverity FrameDamage::severity() const {
    if (uncorrectedBlocks() > 0 || otherBlocks() > 0) return DamageSeverity::kUncorrected;
    if (concealedBlocks() > 0) return DamageSeverity::kConcealed;
    if (audioErrorTotal() > 0) return DamageSeverity::kAudio;
    if (misplacedBlocks > 0 || packsMissing || timecodeRepeated || timecodeBackwards) return DamageSeverity::kSigns;
    return DamageSeverity::kNone;
}

bool FrameDamage::sameAs(const FrameDamage& o) const {
    return sta == o.sta && videoBlocks == o.videoBlocks && misplacedBlocks == o.misplacedBlocks &&
           audioErrors == o.audioErrors && audioChannels == o.audioChannels && packsMissing == o.packsMissing &&
           timecodeRepeated == o.timecodeRepeated && timecodeBackwards == o.timecodeBackwards;
}

void readVideoDamage(FrameDamage& d, const uint8_t* frame, size_t frameSize) {
    d.sta.fill(0);
    d.videoBlocks = 0;
    d.misplacedBlocks = 0;
    d.packsMissing = false;
    const int sequences = frame ? dv::sequenceCount(frameSize) : 0;
    if (sequences == 0) return;
    // A doubled frame carries two channels of sequences, each numbered from 0.
    const int perChannel = sequencesPerChannel(sequences);
    bool packs = false;
    unsigned misplaced = 0;
    std::array<unsigned, 16> sta{};
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + dv::kSequenceSize * static_cast<size_t>(s);
        const uint32_t seqBits = static_cast<uint32_t>(s % perChannel) << 12;
        if (!packs) packs = anyPack(seq);
        // One pass over the block headers, the only bytes of most blocks read: nearly every sequence has
        // every block in its place with status 0, so the pass only gathers whether any is not.
        uint32_t wrongId = 0, status = 0;
        for (size_t b = 0; b < dv::kBlocksPerSequence; ++b) {
            const uint32_t word = headWord(seq + b * dv::kDifBlockSize);
            wrongId |= (word ^ (kPlaces.expect[b].id | seqBits)) & kIdMask;
            status |= word & kPlaces.expect[b].status;
        }
        if (wrongId != 0) {
            for (size_t b = 0; b < dv::kBlocksPerSequence; ++b)
                misplaced += ((headWord(seq + b * dv::kDifBlockSize) ^ (kPlaces.expect[b].id | seqBits)) & kIdMask) != 0;
        }
        // Status 0 is what remains once the others are counted.
        if (status != 0) {
            for (int v = 0; v < dv::kVideoBlocksPerSequence; ++v) ++sta[seq[kPlaces.video[v] + 3] >> 4];
        }
    }
    d.videoBlocks = static_cast<uint16_t>(sequences * dv::kVideoBlocksPerSequence);
    unsigned damaged = 0;
    for (size_t i = 1; i < 16; ++i) {
        d.sta[i] = static_cast<uint16_t>(sta[i]);
        damaged += sta[i];
    }
    d.sta[0] = static_cast<uint16_t>(d.videoBlocks - damaged);
    d.misplacedBlocks = static_cast<uint16_t>(misplaced);
    d.packsMissing = !packs;
}

void checkTimecodeOrder(FrameDamage& d, const DecodedValues& cur, const DecodedValues& prev) {
    d.timecodeRepeated = false;
    d.timecodeBackwards = false;
    if (cur.tcHours < 0 || prev.tcHours < 0) return;
    const int64_t fps = prev.frameRate > 0 ? prev.frameRate : 30;
    auto count = [fps](const DecodedValues& v) {
        return ((static_cast<int64_t>(v.tcHours) * 60 + v.tcMinutes) * 60 + v.tcSeconds) * fps + v.tcFrames;
    };
    const int64_t c = count(cur), p = count(prev);
    if (c == p) d.timecodeRepeated = true;
    else if (c < p && p - c <= 12 * 3600 * fps) d.timecodeBackwards = true;
}

}  // namespace zorv::core
