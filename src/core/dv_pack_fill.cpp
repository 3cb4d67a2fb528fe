#include "core/dv_pack_fill.h"

#include "core/dv_layout.h"

namespace zorv::core {

namespace {

inline void takePack(MetadataRecord& rec, const uint8_t* p) {
    const uint8_t id = p[0];
    if (id == kNoPack || rec.has(id)) return;
    auto& e = rec[id];
    e[0] = p[0];
    e[1] = p[1];
    e[2] = p[2];
    e[3] = p[3];
    e[4] = p[4];
}

inline uint32_t payload(const uint8_t* p) {
    return static_cast<uint32_t>(p[1]) | static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]) << 16 |
           static_cast<uint32_t>(p[4]) << 24;
}

inline bool hoursUsable(const uint8_t* p) { return (p[4] & 0x0F) <= 9; }

}  // namespace

void fillRecord(MetadataRecord& rec, const uint8_t* frame, size_t frameSize) {
    rec.clear();
    if (frame == nullptr) return;
    const int sequences = dv::sequenceCount(frameSize);
    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + dv::kSequenceSize * static_cast<size_t>(s);
        for (int j = 0; j < dv::kSubcodePacksPerSequence; ++j) takePack(rec, seq + dv::subcodePackOffset(j));
        for (int k = 0; k < dv::kVauxPacksPerSequence; ++k) takePack(rec, seq + dv::vauxPackOffset(k));
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) takePack(rec, seq + dv::aauxPackOffset(a));
    }
}

double linePeriod(size_t frameSize) { return dv::isPal(frameSize) ? 6.4e-05 : 6.3492e-05; }

FoundTimecode findTimecode(const uint8_t* frame, int sequences) {
    FoundTimecode tc;
    if (frame == nullptr || sequences <= 0) return tc;

    int fieldRate = 0;
    for (int s = 0; s < sequences && fieldRate == 0; ++s) {
        const uint8_t* seq = frame + dv::kSequenceSize * static_cast<size_t>(s);
        for (int k = 0; k < dv::kVauxPacksPerSequence; ++k) {
            const uint8_t* p = seq + dv::vauxPackOffset(k);
            if (p[0] == pack::kVideoSource) {
                fieldRate = (p[3] & 0x20) ? 50 : 60;
                break;
            }
        }
    }
    if (fieldRate == 0) fieldRate = (sequences % 10 == 0) ? 60 : 50;

    for (int s = 0; s < sequences; ++s) {
        const uint8_t* seq = frame + dv::kSequenceSize * static_cast<size_t>(s);
        for (int j = 0; j < dv::kSubcodePacksPerSequence; ++j) {
            const uint8_t* p = seq + dv::subcodePackOffset(j);
            if (p[0] != pack::kTimecode || !hoursUsable(p)) continue;
            tc.frames = (p[1] & 0x0F) + 10 * ((p[1] >> 4) & 0x03);
            tc.seconds = (p[2] & 0x0F) + 10 * ((p[2] >> 4) & 0x07);
            tc.minutes = (p[3] & 0x0F) + 10 * ((p[3] >> 4) & 0x07);
            tc.hours = (p[4] & 0x0F) + 10 * ((p[4] >> 4) & 0x03);
            tc.dropFrame = fieldRate == 60 && (p[1] & 0x40) != 0;
            return tc;
        }
    }
    return tc;
}

SourcePackFinder::SourcePacks SourcePackFinder::find(const uint8_t* frame, int sequences) {
    SourcePacks r;
    if (frame != nullptr && sequences > 0) {
        const int half = sequences / 2;
        for (int s = 0; s < sequences; ++s) {
            const uint8_t* seq = frame + dv::kSequenceSize * static_cast<size_t>(s);
            uint32_t& a50 = s < half ? r.aaux50Ch1 : r.aaux50Ch2;
            uint32_t& a51 = s < half ? r.aaux51Ch1 : r.aaux51Ch2;
            for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
                const uint8_t* p = seq + dv::aauxPackOffset(a);
                if (p[0] == pack::kAudioSource && a50 == kNotFound) a50 = payload(p);
                else if (p[0] == pack::kAudioSourceControl && a51 == kNotFound) a51 = payload(p);
            }
            for (int k = 0; k < dv::kVauxPacksPerSequence; ++k) {
                const uint8_t* p = seq + dv::vauxPackOffset(k);
                if (p[0] == pack::kVideoSource && r.vaux60 == kNotFound) r.vaux60 = payload(p);
                else if (p[0] == pack::kVideoSourceControl && r.vaux61 == kNotFound) r.vaux61 = payload(p);
            }
        }
    }
    if (r.vaux60 != kNotFound) last60_ = r.vaux60;
    else r.vaux60 = last60_;
    if (r.vaux61 != kNotFound) last61_ = r.vaux61;
    else r.vaux61 = last61_;
    return r;
}

}  // namespace zorv::core
