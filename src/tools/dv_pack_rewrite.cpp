#include "tools/dv_pack_rewrite.h"

#include <cstring>

#include "core/dv_layout.h"

namespace zorv::tools {

namespace {

constexpr uint8_t kTimecode = 0x13;
constexpr uint8_t kBinaryGroup = 0x14;
constexpr uint8_t kAauxRecDate = 0x52;
constexpr uint8_t kAauxRecTime = 0x53;
constexpr uint8_t kVideoControl = 0x61;
constexpr uint8_t kRecDate = 0x62;
constexpr uint8_t kRecTime = 0x63;
constexpr uint8_t kVauxBinaryGroup = 0x64;

constexpr size_t kSeq = core::dv::kSequenceSize;

// Where packs are created when a frame has none of their kind.
constexpr size_t kTimecodeFirstHalf[] = {110, 126, 190, 206};  // subcode sync blocks 3 and 5
constexpr size_t kTimecodeSecondHalf[] = {110, 190};           // subcode sync block 3
constexpr size_t kUserBitsSlots[] = {118, 198};                // subcode sync block 4
constexpr size_t kDateVaux[2] = {458, 253};                    // even, odd sequences
constexpr size_t kTimeVaux[2] = {463, 258};
constexpr size_t kDateAaux[2] = {6883, 3043};
constexpr size_t kTimeAaux[2] = {8163, 4323};

int units(uint8_t b) { return b & 0x0F; }

void loadPack(const uint8_t* p, uint8_t (&out)[5]) { std::memcpy(out, p, 5); }

// Writes a timecode into a pack image, keeping its flag bits. For 30 fps PC1 bit 6 carries the
// drop-frame flag; for 25 fps bits 6-7 are kept.
void setTimecode(uint8_t (&pk)[5], const core::Timecode& tc, bool pal, bool drop) {
    pk[4] = static_cast<uint8_t>((pk[4] & 0xC0) | toBcd(tc.hours));
    pk[3] = static_cast<uint8_t>((pk[3] & 0x80) | toBcd(tc.minutes));
    pk[2] = static_cast<uint8_t>((pk[2] & 0x80) | toBcd(tc.seconds));
    if (pal) pk[1] = static_cast<uint8_t>((pk[1] & 0xC0) | toBcd(tc.frames));
    else pk[1] = static_cast<uint8_t>((pk[1] & 0x80) | (drop ? 0x40 : 0x00) | toBcd(tc.frames));
}

core::Timecode packTimecode(const uint8_t* p) {
    core::Timecode tc;
    tc.hours = units(p[4]) + 10 * ((p[4] >> 4) & 0x3);
    tc.minutes = units(p[3]) + 10 * ((p[3] >> 4) & 0x7);
    tc.seconds = units(p[2]) + 10 * ((p[2] >> 4) & 0x7);
    tc.frames = units(p[1]) + 10 * ((p[1] >> 4) & 0x3);
    return tc;
}

void setDate(uint8_t (&pk)[5], const core::CivilDateTime& dt) {
    const int yy = static_cast<int>(((dt.year % 100) + 100) % 100);
    pk[2] = static_cast<uint8_t>((pk[2] & 0xC0) | toBcd(dt.day));
    pk[3] = static_cast<uint8_t>((pk[3] & 0xE0) | toBcd(dt.month));
    pk[4] = toBcd(yy);
}

void setTime(uint8_t (&pk)[5], const core::CivilDateTime& dt) {
    pk[4] = static_cast<uint8_t>((pk[4] & 0xC0) | toBcd(dt.hour));
    pk[3] = static_cast<uint8_t>((pk[3] & 0x80) | toBcd(dt.minute));
    pk[2] = static_cast<uint8_t>((pk[2] & 0x80) | toBcd(dt.second));
}

}  // namespace

size_t subcodeSlot(size_t j) { return core::dv::subcodePackOffset(static_cast<int>(j)); }
size_t vauxSlot(size_t i) { return core::dv::vauxPackOffset(static_cast<int>(i)); }
size_t aauxSlot(size_t k) { return core::dv::aauxPackOffset(static_cast<int>(k)); }

FrameEditor::FrameEditor(uint8_t* frame, size_t frameSize, TouchedBlocks& touched)
    : frame_(frame), sequences_(static_cast<int>(frameSize / kSeq)), touched_(touched) {
    if (sequences_ > 24) sequences_ = 24;
}

void FrameEditor::putPack(size_t offset, const uint8_t (&pack)[5]) {
    uint8_t* p = frame_ + offset;
    if (std::memcmp(p, pack, 5) == 0) return;
    std::memcpy(p, pack, 5);
    touched_.mark(offset);
}

void rewriteTimecode(FrameEditor& ed, const TimecodeRewrite& rw) {
    if (rw.mode != core::ModifyMode::kStartFrom && rw.mode != core::ModifyMode::kAdjustBy) return;
    const bool drop = core::isDropFrameStyle(rw.style);
    const core::Timecode start = core::framesToTimecode(rw.counter, rw.style);
    bool found = false;
    auto visit = [&](size_t off) {
        const uint8_t* p = ed.frame() + off;
        if (p[0] != kTimecode) return;
        found = true;
        uint8_t pk[5];
        loadPack(p, pk);
        if (rw.mode == core::ModifyMode::kAdjustBy) {
            if (units(p[4]) >= 10) return;  // no value in this pack
            const int64_t n = core::timecodeToFrames(packTimecode(p), rw.style) + rw.counter;
            setTimecode(pk, core::framesToTimecode(n, rw.style), rw.pal, drop);
        } else {
            setTimecode(pk, start, rw.pal, drop);
        }
        ed.putPack(off, pk);
    };
    for (int s = 0; s < ed.sequences(); ++s) {
        const size_t base = kSeq * static_cast<size_t>(s);
        for (size_t j = 0; j < kSubcodeSlots; ++j) visit(base + subcodeSlot(j));
        for (size_t i = 0; i < kVauxSlots; ++i) visit(base + vauxSlot(i));
        for (size_t k = 0; k < kAauxSlots; ++k) visit(base + aauxSlot(k));
    }
    if (found || rw.mode != core::ModifyMode::kStartFrom) return;
    uint8_t pk[5] = {kTimecode, 0xFF, 0xFF, 0xFF, 0xFF};
    setTimecode(pk, start, rw.pal, drop);
    const int half = ed.sequences() / 2;
    for (int s = 0; s < ed.sequences(); ++s) {
        const size_t base = kSeq * static_cast<size_t>(s);
        if (s < half)
            for (size_t off : kTimecodeFirstHalf) ed.putPack(base + off, pk);
        else
            for (size_t off : kTimecodeSecondHalf) ed.putPack(base + off, pk);
    }
}

void changeTimecodeKind(FrameEditor& ed, bool dropFrameWanted) {
    for (int s = 0; s < ed.sequences(); ++s) {
        const size_t base = kSeq * static_cast<size_t>(s);
        for (size_t j = 0; j < kSubcodeSlots; ++j) {
            const size_t off = base + subcodeSlot(j);
            const uint8_t* p = ed.frame() + off;
            if (p[0] != kTimecode || units(p[4]) >= 10) continue;
            const bool drop = (p[1] & 0x40) != 0;
            if (drop == dropFrameWanted) continue;
            // The pack's own flag tells how its label counts frames.
            const int64_t n = core::timecodeToFrames(packTimecode(p), drop ? 4 : 3);
            uint8_t pk[5];
            loadPack(p, pk);
            setTimecode(pk, core::framesToTimecode(n, 30, dropFrameWanted), false, dropFrameWanted);
            ed.putPack(off, pk);
        }
    }
}

PackDateTime readPackDateTime(const uint8_t* frame, int sequences) {
    PackDateTime r;
    auto visit = [&](const uint8_t* p) {
        if (!r.dateFound && p[0] == kRecDate && units(p[4]) < 10) {
            r.dateFound = true;
            r.year = units(p[4]) + 10 * (p[4] >> 4);
            r.month = units(p[3]) + 10 * ((p[3] >> 4) & 0x1);
            r.day = units(p[2]) + 10 * ((p[2] >> 4) & 0x3);
        } else if (!r.timeFound && p[0] == kRecTime && units(p[4]) < 10) {
            r.timeFound = true;
            r.hour = units(p[4]) + 10 * ((p[4] >> 4) & 0x3);
            r.minute = units(p[3]) + 10 * ((p[3] >> 4) & 0x7);
            r.second = units(p[2]) + 10 * ((p[2] >> 4) & 0x7);
        }
        return r.dateFound && r.timeFound;
    };
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + kSeq * static_cast<size_t>(s);
        for (size_t j = 0; j < kSubcodeSlots; ++j)
            if (visit(seq + subcodeSlot(j))) return r;
        for (size_t i = 0; i < kVauxSlots; ++i)
            if (visit(seq + vauxSlot(i))) return r;
    }
    return r;
}

void rewriteDateTime(FrameEditor& ed, const core::CivilDateTime& dt, bool keepEmpty, bool create) {
    bool dateSeen = false, timeSeen = false, aauxDateSeen = false, aauxTimeSeen = false;
    auto visit = [&](size_t off, uint8_t dateId, uint8_t timeId, bool& dSeen, bool& tSeen) {
        const uint8_t* p = ed.frame() + off;
        if (p[0] != dateId && p[0] != timeId) return;
        const bool isDate = p[0] == dateId;
        (isDate ? dSeen : tSeen) = true;
        if (keepEmpty && units(p[4]) >= 10) return;
        uint8_t pk[5];
        loadPack(p, pk);
        if (isDate) setDate(pk, dt);
        else setTime(pk, dt);
        ed.putPack(off, pk);
    };
    for (int s = 0; s < ed.sequences(); ++s) {
        const size_t base = kSeq * static_cast<size_t>(s);
        for (size_t j = 0; j < kSubcodeSlots; ++j) visit(base + subcodeSlot(j), kRecDate, kRecTime, dateSeen, timeSeen);
        for (size_t i = 0; i < kVauxSlots; ++i) visit(base + vauxSlot(i), kRecDate, kRecTime, dateSeen, timeSeen);
        for (size_t k = 0; k < kAauxSlots; ++k)
            visit(base + aauxSlot(k), kAauxRecDate, kAauxRecTime, aauxDateSeen, aauxTimeSeen);
    }
    if (!create) return;
    auto createAll = [&](uint8_t id, const size_t(&where)[2], bool isDate) {
        uint8_t pk[5] = {id, 0xFF, 0xFF, 0xFF, 0xFF};
        if (isDate) setDate(pk, dt);
        else setTime(pk, dt);
        for (int s = 0; s < ed.sequences(); ++s) ed.putPack(kSeq * static_cast<size_t>(s) + where[s & 1], pk);
    };
    if (!dateSeen) createAll(kRecDate, kDateVaux, true);
    if (!timeSeen) createAll(kRecTime, kTimeVaux, false);
    if (!aauxDateSeen) createAll(kAauxRecDate, kDateAaux, true);
    if (!aauxTimeSeen) createAll(kAauxRecTime, kTimeAaux, false);
}

void rewriteUserBits(FrameEditor& ed, const std::array<uint8_t, 4>& bytes) {
    const uint8_t payload[4] = {bytes[3], bytes[2], bytes[1], bytes[0]};  // PC1..PC4
    bool groupSeen = false;
    auto visit = [&](size_t off) {
        const uint8_t* p = ed.frame() + off;
        if (p[0] != kBinaryGroup && p[0] != kVauxBinaryGroup) return;
        if (p[0] == kBinaryGroup) groupSeen = true;
        const uint8_t pk[5] = {p[0], payload[0], payload[1], payload[2], payload[3]};
        ed.putPack(off, pk);
    };
    for (int s = 0; s < ed.sequences(); ++s) {
        const size_t base = kSeq * static_cast<size_t>(s);
        for (size_t j = 0; j < kSubcodeSlots; ++j) visit(base + subcodeSlot(j));
        for (size_t i = 0; i < kVauxSlots; ++i) visit(base + vauxSlot(i));
    }
    if (groupSeen) return;
    const uint8_t pk[5] = {kBinaryGroup, payload[0], payload[1], payload[2], payload[3]};
    for (int s = 0; s < ed.sequences() / 2; ++s)
        for (size_t off : kUserBitsSlots) ed.putPack(kSeq * static_cast<size_t>(s) + off, pk);
}

void rewriteWidescreen(FrameEditor& ed, core::WidescreenTarget value, bool pal) {
    auto visit = [&](size_t off) {
        const uint8_t* p = ed.frame() + off;
        if (p[0] != kVideoControl) return;
        uint8_t pk[5];
        loadPack(p, pk);
        const bool wide = value == core::WidescreenTarget::kWide16x9;
        if (wide && pal) {  // "16:9"
            pk[2] = static_cast<uint8_t>(pk[2] | 0x07);
            pk[3] = static_cast<uint8_t>((pk[3] & ~0x02) | 0x01);
        } else if (wide) {
            pk[3] = static_cast<uint8_t>(pk[3] & ~0x03);
            pk[2] = static_cast<uint8_t>((pk[2] & ~0x07) | 0x02);
        } else {  // "4:3"
            pk[3] = static_cast<uint8_t>(pk[3] & ~0x03);
            pk[2] = static_cast<uint8_t>(pk[2] & ~0x07);
        }
        ed.putPack(off, pk);
    };
    for (int s = 0; s < ed.sequences(); ++s) {
        const size_t base = kSeq * static_cast<size_t>(s);
        for (size_t j = 0; j < kSubcodeSlots; ++j) visit(base + subcodeSlot(j));
        for (size_t i = 0; i < kVauxSlots; ++i) visit(base + vauxSlot(i));
    }
}

}  // namespace zorv::tools
