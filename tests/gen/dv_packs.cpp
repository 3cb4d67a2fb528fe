#include "gen/dv_packs.h"

#include <cstring>

#include "core/dv_layout.h"

namespace zorv::gen {

namespace dv = core::dv;

namespace {

uint8_t bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

const Pack kNone{};
const Pack kJunk{0xFF, {0x13, 0x45, 0x23, 0x01}};  // an empty slot whose payload looks like a pack

// The pack that goes into a slot meant for `id`, or nullptr when the frame has none.
const Pack* packFor(uint8_t id, const FrameMeta& m, Pack (&built)[6]) {
    switch (id) {
    case 0x13: return m.hasTimecode ? &built[0] : nullptr;
    case 0x14: return m.hasUserBits ? &built[1] : nullptr;
    case 0x62: return m.hasRec ? &built[2] : nullptr;
    case 0x63: return m.hasRec ? &built[3] : nullptr;
    case 0x60: return m.videoSource.id != 0xFF ? &m.videoSource : nullptr;
    case 0x61: return m.videoControl.id != 0xFF ? &built[4] : nullptr;
    case 0x70: return m.hasCamera && m.camera1.id != 0xFF ? &m.camera1 : nullptr;
    case 0x71: return m.hasCamera && m.camera2.id != 0xFF ? &m.camera2 : nullptr;
    case 0x7F: return m.hasCamera && m.shutter.id != 0xFF ? &m.shutter : nullptr;
    case 0x50: return m.hasAudioSource && m.audioSource.id != 0xFF ? &m.audioSource : nullptr;
    case 0x51: return m.hasAudioSource && m.audioControl.id != 0xFF ? &m.audioControl : nullptr;
    default: return nullptr;
    }
}

void put(uint8_t* at, const Pack* p, bool junk) {
    const Pack& q = p ? *p : (junk ? kJunk : kNone);
    at[0] = q.id;
    std::memcpy(at + 1, q.pc.data(), 4);
}

}  // namespace

Pack timecodePack(const Timecode& tc, bool dropFrame) {
    // PC1: colour frame bit 7, drop-frame bit 6, frames; PC2-PC4: bit 7 (and PC4 bit 6) are the
    // binary group flags, which camcorders leave set.
    return Pack{
        0x13,
        {static_cast<uint8_t>(0x80 | (dropFrame ? 0x40 : 0) | bcd(tc.frames)), static_cast<uint8_t>(0x80 | bcd(tc.seconds)),
         static_cast<uint8_t>(0x80 | bcd(tc.minutes)), static_cast<uint8_t>(0xC0 | bcd(tc.hours))}};
}

Pack userBitsPack(uint32_t bits) {
    return Pack{0x14,
                {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits >> 16),
                 static_cast<uint8_t>(bits >> 24)}};
}

Pack recDatePack(const DateTime& d) {
    // PC1: time zone, unset; PC2 day (bits 6-7 set), PC3 month (bits 5-7 set), PC4 two-digit year.
    return Pack{
        0x62, {0xFF, static_cast<uint8_t>(0xC0 | bcd(d.day)), static_cast<uint8_t>(0xE0 | bcd(d.month)), bcd(d.year % 100)}};
}

Pack recTimePack(const DateTime& d) {
    // PC1: frames, unset; PC2 seconds, PC3 minutes (bit 7 set), PC4 hours (bits 6-7 set).
    return Pack{0x63,
                {0xFF, static_cast<uint8_t>(0x80 | bcd(d.second)), static_cast<uint8_t>(0x80 | bcd(d.minute)),
                 static_cast<uint8_t>(0xC0 | bcd(d.hour))}};
}

Pack videoControlPack(const FrameMeta& m) {
    Pack p = m.videoControl;
    // PC2 bit 7 clear marks a recording start point; bits 0-2 are the display mode (2 = 16:9).
    p.pc[1] = static_cast<uint8_t>((p.pc[1] & 0x78) | (m.recordingStart ? 0 : 0x80) | (m.widescreen ? 2 : 0));
    return p;
}

void writeFramePacks(const FrameMeta& m, uint8_t* frame, size_t frameSize) {
    Pack built[6] = {timecodePack(m.tc, m.dropFrameFlag),
                     userBitsPack(m.userBits),
                     recDatePack(m.rec),
                     recTimePack(m.rec),
                     videoControlPack(m),
                     {}};
    const int seqs = dv::sequenceCount(frameSize);
    const int firstWithPacks = m.laterSequencesOnly ? seqs / 2 : 0;
    for (int s = 0; s < seqs; ++s) {
        uint8_t* seq = frame + dv::kSequenceSize * s;
        const bool on = s >= firstWithPacks;
        for (int j = 0; j < dv::kSubcodePacksPerSequence; ++j)
            put(seq + dv::subcodePackOffset(j), on ? packFor(kSubcodeLayout[j], m, built) : nullptr, m.ffHeaderJunk);
        for (int k = 0; k < dv::kVauxPacksPerSequence; ++k)
            put(seq + dv::vauxPackOffset(k), on ? packFor(kVauxBlockLayout[k % 15], m, built) : nullptr, m.ffHeaderJunk);
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            uint8_t* at = seq + dv::aauxPackOffset(a);
            put(at, on ? packFor(kAauxLayout[a], m, built) : nullptr, m.ffHeaderJunk);
            std::memset(at + 5, 0, dv::kDifBlockSize - 8);  // silent 16-bit samples
        }
    }
}

}  // namespace zorv::gen
