#include "media/dv_audio.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "core/dv_layout.h"

namespace zorv::media::dvaudio {

namespace dv = core::dv;

namespace {

// Index 0 = 48 kHz, 1 = 44.1 kHz, 2 = 32 kHz (the AAUX SMP code).
constexpr int kRates[3] = {48000, 44100, 32000};

int rateCode(int sampleRate) {
    for (int i = 0; i < 3; ++i)
        if (kRates[i] == sampleRate) return i;
    return -1;
}

// Where sample s of channel c lies, for a system with h DIF sequences per channel (5 or 6) and a
// given byte width per sample slot (2 for 16-bit, 3 for a 12-bit pair): the samples are spread over
// sequences (s/3 + 2*(s%3)) mod h, audio blocks 3*(s%3) + (s mod 9h)/3h, slot s / 9h.
struct Layout {
    int h;
    int slotsPerBlock;
    int capacity;                                          // samples per channel
    std::array<uint32_t, 2 * kMaxSamplesPerFrame> offset;  // [c * capacity + s] byte offset in the frame
};

Layout makeLayout(int h, int slotBytes) {
    Layout l{};
    l.h = h;
    l.slotsPerBlock = 72 / slotBytes;
    l.capacity = l.slotsPerBlock * 9 * h;
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < l.capacity; ++s) {
            int seq = c * h + (s / 3 + 2 * (s % 3)) % h;
            int block = 3 * (s % 3) + (s % (9 * h)) / (3 * h);
            int slot = s / (9 * h);
            l.offset[size_t(c * l.capacity + s)] =
                uint32_t(size_t(seq) * dv::kSequenceSize + dv::audioBlockIndex(block) * dv::kDifBlockSize + 8 +
                         size_t(slot) * size_t(slotBytes));
        }
    }
    return l;
}

// Each channel takes half the frame's sequences.
const Layout& layoutFor(bool pal, int bits) {
    static const Layout k16[2] = {makeLayout(dv::kSystems[0].sequences / 2, 2),
                                  makeLayout(dv::kSystems[1].sequences / 2, 2)};
    static const Layout k12[2] = {makeLayout(dv::kSystems[0].sequences / 2, 3),
                                  makeLayout(dv::kSystems[1].sequences / 2, 3)};
    return (bits == 12 ? k12 : k16)[static_cast<int>(pal)];
}

// Fewest samples per channel in a frame at rate code smp: the AAUX AF_SIZE field counts from here.
int minimumSamples(bool pal, int smp) { return dv::systemFor(pal).minSamples[smp]; }

bool supportedSize(size_t frameSize) { return frameSize == dv::kFrameSize525 || frameSize == dv::kFrameSize625; }

int decodePositive(int w) {  // w in 0..2047
    if (w < 512) return w;
    int seg = (w >> 8) - 1;  // 1..6
    return (w - 256 * seg) << seg;
}
int encodePositive(int y) {  // y in 0..32767
    if (y < 512) return y;
    int seg = 1;
    while (seg < 6 && y >= (512 << seg)) ++seg;
    return std::min((y >> seg) + 256 * seg, 2047);
}
uint16_t encode12Bit(int16_t v) {
    int code = v >= 0 ? encodePositive(v) : -encodePositive(-int(v) - 1) - 1;
    if (code == -2048) code = -2047;  // -2048 is the error code
    return uint16_t(code & 0xFFF);
}

// The slot of audio block a in a sequence where a pack of this kind belongs: 0x50 in block 3 of even
// sequences and block 0 of odd ones, 0x51 in the next block.
size_t standardAauxOffset(int seq, int which) {
    int block = (seq % 2 == 0 ? 3 : 0) + which;
    return size_t(seq) * dv::kSequenceSize + dv::aauxPackOffset(block);
}

// Whether any audio block of the frame holds an error code, eight data bytes at a time. In 16-bit audio
// an error sample is the big-endian pair 0x80 0x00 at an even offset, a 16-bit lane of 0x0080 in a
// little-endian word; in 12-bit audio its high byte is 0x80, so a block with no 0x80 byte has none and
// the others are counted exactly. A lane test (haszero) never misses a match; its only false hits lie
// above a true one.
bool anyErrorSample(const uint8_t* frame, size_t frameSize, int bits) {
    constexpr uint64_t kLanes16 = 0x0001000100010001ull, kHigh16 = 0x8000800080008000ull;
    constexpr uint64_t kLanes8 = 0x0101010101010101ull, kHigh8 = 0x8080808080808080ull;
    const int seqs = dv::sequenceCount(frameSize);
    for (int seq = 0; seq < seqs; ++seq) {
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            const uint8_t* block = frame + size_t(seq) * dv::kSequenceSize + dv::audioBlockIndex(a) * dv::kDifBlockSize;
            uint64_t hit = 0;
            for (int i = 0; i < 72; i += 8) {
                uint64_t w;
                std::memcpy(&w, block + 8 + i, sizeof w);
                if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
                if (bits == 12) {
                    const uint64_t v = w ^ kHigh8;
                    hit |= (v - kLanes8) & ~v & kHigh8;
                } else {
                    const uint64_t v = w ^ (kLanes16 << 7);
                    hit |= (v - kLanes16) & ~v & kHigh16;
                }
            }
            if (hit != 0 && (bits != 12 || blockErrorSamples(block, bits) != 0)) return true;
        }
    }
    return false;
}

}  // namespace

int16_t decode12Bit(uint16_t code) {
    code &= 0xFFF;
    if (code == 0x800) return 0;
    int v = code >= 0x800 ? int(code) - 0x1000 : int(code);
    return int16_t(v >= 0 ? decodePositive(v) : -decodePositive(-v - 1) - 1);
}

std::optional<AudioInfo> readAudioInfo(const uint8_t* frame, size_t frameSize) {
    if (!supportedSize(frameSize)) return std::nullopt;
    bool pal = dv::isPal(frameSize);
    int seqs = dv::sequenceCount(frameSize);
    for (int seq = 0; seq < seqs; ++seq) {
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            const uint8_t* p = frame + size_t(seq) * dv::kSequenceSize + dv::aauxPackOffset(a);
            if (p[0] != 0x50) continue;
            int smp = (p[4] >> 3) & 7, qu = p[4] & 7;
            if (smp > 2 || qu > 1) return std::nullopt;
            AudioInfo info;
            info.sampleRate = kRates[smp];
            info.bits = qu == 1 ? 12 : 16;
            info.locked = (p[1] & 0x80) == 0;
            int minimum = minimumSamples(pal, smp);
            info.samples = std::min(minimum + (p[1] & 0x3F), layoutFor(pal, info.bits).capacity);
            info.pairs = info.bits == 12 ? 2 : 1;
            return info;
        }
    }
    return std::nullopt;
}

int extractPcm(const uint8_t* frame, size_t frameSize, const AudioInfo& info, int pair, int16_t* out) {
    if (!supportedSize(frameSize) || pair < 0 || pair >= info.pairs) return 0;
    const Layout& l = layoutFor(dv::isPal(frameSize), info.bits);
    int n = std::clamp(info.samples, 0, l.capacity);
    if (info.bits == 16) {
        const uint32_t* left = &l.offset[0];
        const uint32_t* right = &l.offset[size_t(l.capacity)];
        for (int s = 0; s < n; ++s) {
            const uint8_t* p = frame + left[s];
            const uint8_t* q = frame + right[s];
            uint16_t lv = uint16_t(p[0] << 8 | p[1]), rv = uint16_t(q[0] << 8 | q[1]);
            out[2 * s] = lv == 0x8000 ? 0 : int16_t(lv);
            out[2 * s + 1] = rv == 0x8000 ? 0 : int16_t(rv);
        }
        return n;
    }
    const uint32_t* pos = &l.offset[size_t(pair * l.capacity)];
    for (int s = 0; s < n; ++s) {
        const uint8_t* p = frame + pos[s];
        out[2 * s] = decode12Bit(uint16_t(p[0] << 4 | p[2] >> 4));
        out[2 * s + 1] = decode12Bit(uint16_t(p[1] << 4 | (p[2] & 0x0F)));
    }
    return n;
}

int countErrorSamples(const uint8_t* frame, size_t frameSize, const AudioInfo& info, uint16_t* counts) {
    for (int c = 0; c < 4; ++c) counts[c] = 0;
    if (!supportedSize(frameSize)) return 0;
    // A straight pass over the audio blocks first: a frame without any error code (nearly every frame)
    // needs no walk through the sample order.
    if (!anyErrorSample(frame, frameSize, info.bits)) return info.bits == 12 ? 4 : 2;
    const Layout& l = layoutFor(dv::isPal(frameSize), info.bits);
    const int n = std::clamp(info.samples, 0, l.capacity);
    if (info.bits == 16) {
        for (int c = 0; c < 2; ++c) {
            const uint32_t* pos = &l.offset[size_t(c * l.capacity)];
            unsigned errors = 0;
            for (int s = 0; s < n; ++s) {
                const uint8_t* p = frame + pos[s];
                errors += p[0] == 0x80 && p[1] == 0x00;
            }
            counts[c] = uint16_t(errors);
        }
        return 2;
    }
    for (int pair = 0; pair < 2; ++pair) {
        const uint32_t* pos = &l.offset[size_t(pair * l.capacity)];
        unsigned left = 0, right = 0;
        for (int s = 0; s < n; ++s) {
            const uint8_t* p = frame + pos[s];
            left += p[0] == 0x80 && (p[2] & 0xF0) == 0;
            right += p[1] == 0x80 && (p[2] & 0x0F) == 0;
        }
        counts[2 * pair] = uint16_t(left);
        counts[2 * pair + 1] = uint16_t(right);
    }
    return 4;
}

bool markErrorSamples(uint8_t* frame, size_t frameSize, const AudioInfo& info, int channel, int first, int count) {
    if (!supportedSize(frameSize) || channel < 0 || channel >= (info.bits == 12 ? 4 : 2)) return false;
    const Layout& l = layoutFor(dv::isPal(frameSize), info.bits);
    const int n = std::clamp(info.samples, 0, l.capacity);
    if (first < 0 || count < 0 || first + count > n) return false;
    if (info.bits == 16) {
        const uint32_t* pos = &l.offset[size_t(channel * l.capacity)];
        for (int s = first; s < first + count; ++s) {
            frame[pos[s]] = 0x80;
            frame[pos[s] + 1] = 0x00;
        }
        return true;
    }
    const uint32_t* pos = &l.offset[size_t((channel / 2) * l.capacity)];
    for (int s = first; s < first + count; ++s) {
        uint8_t* p = frame + pos[s];
        if (channel % 2 == 0) {
            p[0] = 0x80;
            p[2] &= 0x0F;
        } else {
            p[1] = 0x80;
            p[2] &= 0xF0;
        }
    }
    return true;
}

int blockErrorSamples(const uint8_t* block, int bits) {
    const uint8_t* data = block + 8;
    int errors = 0;
    if (bits == 12) {
        for (int i = 0; i < 72; i += 3) {
            errors += data[i] == 0x80 && (data[i + 2] & 0xF0) == 0;
            errors += data[i + 1] == 0x80 && (data[i + 2] & 0x0F) == 0;
        }
        return errors;
    }
    for (int i = 0; i < 72; i += 2) errors += data[i] == 0x80 && data[i + 1] == 0x00;
    return errors;
}

int samplesForFrame(int64_t n, int sampleRate, bool pal) {
    if (pal) return sampleRate / 25;
    if (sampleRate == 48000) {
        static const int kPattern[5] = {1600, 1602, 1602, 1602, 1602};
        return kPattern[n % 5];
    }
    // Spread the 1001/30000-second frames' share evenly: the running total never drifts.
    auto upTo = [&](int64_t k) { return k * sampleRate * 1001 / 30000; };
    return int(upTo(n + 1) - upTo(n));
}

bool insertPcm(uint8_t* frame, size_t frameSize, const int16_t* pcm, int samples, int sampleRate, bool locked) {
    int code = rateCode(sampleRate);
    if (!supportedSize(frameSize) || code < 0) return false;
    bool pal = dv::isPal(frameSize);
    const Layout& l = layoutFor(pal, 16);
    int minimum = minimumSamples(pal, code);
    if (samples < minimum || samples > std::min(minimum + 63, l.capacity)) return false;

    for (int s = 0; s < l.capacity; ++s) {
        uint8_t* p = frame + l.offset[size_t(s)];
        uint8_t* q = frame + l.offset[size_t(l.capacity + s)];
        uint16_t lv = 0, rv = 0;
        if (s < samples) {
            // -32768 is DV's error code: keep it a sample.
            lv = uint16_t(std::max<int16_t>(pcm[2 * s], -32767));
            rv = uint16_t(std::max<int16_t>(pcm[2 * s + 1], -32767));
        }
        p[0] = uint8_t(lv >> 8);
        p[1] = uint8_t(lv);
        q[0] = uint8_t(rv >> 8);
        q[1] = uint8_t(rv);
    }

    int seqs = dv::sequenceCount(frameSize);
    int half = seqs / 2;
    for (int seq = 0; seq < seqs; ++seq) {
        uint8_t* base = frame + size_t(seq) * dv::kSequenceSize;
        uint8_t* as = nullptr;
        bool hasControl = false;
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            uint8_t* p = base + dv::aauxPackOffset(a);
            if (p[0] == 0x50 && !as) as = p;
            if (p[0] == 0x51) hasControl = true;
        }
        if (!as) {
            as = frame + standardAauxOffset(seq, 0);
            // Fresh pack: one channel per block, audio mode by channel, the system's field rate.
            as[2] = uint8_t(seq >= half ? 0x01 : 0x00);
            as[3] = uint8_t(0xC0 | dv::systemFor(pal).aauxFieldFlag);
            as[4] = 0x80;  // no emphasis
        }
        as[0] = 0x50;
        as[1] = uint8_t((locked ? 0x00 : 0x80) | 0x40 | (samples - minimum));
        as[4] = uint8_t((as[4] & 0xC0) | (code << 3));  // 16-bit linear
        if (!hasControl) {
            uint8_t* c = frame + standardAauxOffset(seq, 1);
            if (c[0] == 0xFF || c[0] == 0x51) {
                // Copy free, digital input, no compression information; no start/end point, original
                // recording; forward at normal speed; no genre information.
                c[0] = 0x51;
                c[1] = 0x1C;
                c[2] = 0xCF;
                c[3] = uint8_t(0x80 | dv::systemFor(pal).aauxNormalSpeed);
                c[4] = 0xFF;
            }
        }
    }
    return true;
}

namespace {
void writePair12(uint8_t* frame, const Layout& l, int pair, const int16_t* pcm, int samples) {
    for (int s = 0; s < l.capacity; ++s) {
        uint8_t* p = frame + l.offset[size_t(pair * l.capacity + s)];
        uint16_t lv = 0, rv = 0;
        if (s < samples && pcm) {
            lv = encode12Bit(pcm[2 * s]);
            rv = encode12Bit(pcm[2 * s + 1]);
        }
        p[0] = uint8_t(lv >> 4);
        p[1] = uint8_t(rv >> 4);
        p[2] = uint8_t((lv & 0x0F) << 4 | (rv & 0x0F));
    }
}
}  // namespace

bool replacePair12(uint8_t* frame, size_t frameSize, const AudioInfo& info, int pair, const int16_t* pcm, int samples) {
    if (!supportedSize(frameSize) || info.bits != 12 || pair < 0 || pair > 1) return false;
    const bool pal = dv::isPal(frameSize);
    const Layout& l = layoutFor(pal, 12);
    const int minimum = minimumSamples(pal, 2);
    if (samples < minimum || samples > std::min(minimum + 63, l.capacity)) return false;
    writePair12(frame, l, pair, pcm, samples);
    if (samples == info.samples) return true;
    const int seqs = dv::sequenceCount(frameSize);
    for (int seq = 0; seq < seqs; ++seq)
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            uint8_t* p = frame + size_t(seq) * dv::kSequenceSize + dv::aauxPackOffset(a);
            if (p[0] == 0x50) p[1] = uint8_t((p[1] & 0xC0) | (samples - minimum));
        }
    return true;
}

bool insertPcm12(uint8_t* frame, size_t frameSize, const int16_t* pair0, const int16_t* pair1, int samples) {
    if (!supportedSize(frameSize)) return false;
    bool pal = dv::isPal(frameSize);
    const Layout& l = layoutFor(pal, 12);
    int minimum = minimumSamples(pal, 2);
    if (samples < minimum || samples > std::min(minimum + 63, l.capacity)) return false;
    writePair12(frame, l, 0, pair0, samples);
    writePair12(frame, l, 1, pair1, samples);
    int seqs = dv::sequenceCount(frameSize);
    for (int seq = 0; seq < seqs; ++seq) {
        // A source pack already in the sequence is the one readers find first: rewrite it in place.
        uint8_t* as = frame + standardAauxOffset(seq, 0);
        for (int a = 0; a < dv::kAauxPacksPerSequence; ++a) {
            uint8_t* p = frame + size_t(seq) * dv::kSequenceSize + dv::aauxPackOffset(a);
            if (p[0] == 0x50) {
                as = p;
                break;
            }
        }
        as[0] = 0x50;
        as[1] = uint8_t(0x40 | (samples - minimum));
        as[2] = uint8_t(seq >= seqs / 2 ? 0x01 : 0x00);
        as[3] = uint8_t(0xC0 | dv::systemFor(pal).aauxFieldFlag);
        as[4] = uint8_t(0x80 | (2 << 3) | 1);  // 32 kHz, 12-bit non-linear
    }
    return true;
}

}  // namespace zorv::media::dvaudio
