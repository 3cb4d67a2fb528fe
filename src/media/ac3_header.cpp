#include "media/ac3_header.h"

namespace zorv::media {
namespace {

// Bit rates in kbit/s by frmsizecod / 2 (A/52 Table 5.18).
static const int kAc3BitRates[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};

struct ChannelMode {
    const char* layout;
    int channels;
};
static const ChannelMode kAc3Modes[8] = {
    {"Ch1, Ch2", 2}, {"C", 1},          {"L, R", 2},         {"L, C, R", 3},
    {"L, R, S", 3},  {"L, C, R, S", 4}, {"L, R, SL, SR", 4}, {"L, C, R, SL, SR", 5},
};

// Frame size in 16-bit words: 48 kHz carries bit rate x 2 words, 32 kHz bit rate x 3, and
// 44.1 kHz bit rate x 2 x 48000 / 44100 rounded down plus one word on odd codes.
int frameWords(int fscod, int frmsizecod) {
    if (frmsizecod >= 38) return 0;
    const int kbps = kAc3BitRates[frmsizecod / 2];
    switch (fscod) {
    case 0: return kbps * 2;
    case 1: return kbps * 96000 / 44100 + (frmsizecod & 1);
    case 2: return kbps * 3;
    default: return 0;
    }
}

}  // namespace

bool parseAc3Header(const uint8_t* p, size_t n, Ac3Header& out) {
    if (n < kAc3HeaderBytes || p[0] != 0x0B || p[1] != 0x77) return false;
    Ac3Header h;
    h.fscod = p[4] >> 6;
    h.frmsizecod = p[4] & 0x3F;
    h.sampleRate = h.fscod == 0 ? 48000 : h.fscod == 1 ? 44100 : 32000;
    const int rateIndex = (p[4] >> 1) & 0x1F;
    h.bitRateKbps = rateIndex < 19 ? kAc3BitRates[rateIndex] : 0;
    h.frameBytes = frameWords(h.fscod, h.frmsizecod) * 2;
    h.acmod = p[6] >> 5;
    // After acmod come the optional 2-bit fields: cmixlev (three front channels), surmixlev (a
    // surround channel), dsurmod (2/0 stereo); lfeon follows them.
    int skipped = 0;
    if ((h.acmod & 1) && h.acmod != 1) skipped += 2;
    if (h.acmod & 4) skipped += 2;
    if (h.acmod == 2) skipped += 2;
    h.lfe = ((p[6] >> (4 - skipped)) & 1) != 0;
    h.layout = kAc3Modes[h.acmod].layout;
    h.channels = kAc3Modes[h.acmod].channels + (h.lfe ? 1 : 0);
    out = h;
    return true;
}

}  // namespace zorv::media
