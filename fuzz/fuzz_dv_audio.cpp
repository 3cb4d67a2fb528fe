// Arbitrary bytes as one DV frame's audio: the AAUX source pack read, de-shuffling of every pair it
// names, then the 16-bit insert read back sample for sample and the 12-bit insert read back again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/dv_audio.h"

using namespace zorv::media;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the system; the frame is the rest repeated to a whole 25 Mbit/s frame, so
    // that packs planted anywhere in a short input recur in every DIF sequence.
    const bool pal = data[0] & 1;
    const size_t frameSize = pal ? 144000 : 120000;
    static std::vector<uint8_t> frame(144000);
    const uint8_t* body = data + 1;
    const size_t n = size - 1;
    for (size_t i = 0; i < frameSize; ++i) frame[i] = body[i % n];

    static int16_t pcm[2 * dvaudio::kMaxSamplesPerFrame];
    static int16_t back[2 * dvaudio::kMaxSamplesPerFrame];
    if (auto info = dvaudio::readAudioInfo(frame.data(), frameSize)) {
        if (info->samples < 0 || info->samples > dvaudio::kMaxSamplesPerFrame) __builtin_trap();
        for (int pair = 0; pair < 3; ++pair) {
            const int got = dvaudio::extractPcm(frame.data(), frameSize, *info, pair, pcm);
            if (got > info->samples) __builtin_trap();
        }
    }
    // The odd sizes are refused without touching memory.
    if (dvaudio::readAudioInfo(frame.data(), frameSize - 1)) __builtin_trap();

    // Insert what was read (the input's own samples) at a rate from the input and read it back.
    static const int kRates[3] = {48000, 44100, 32000};
    const int rate = kRates[(data[0] >> 1) % 3];
    const int samples = dvaudio::samplesForFrame(data[0] >> 3, rate, pal);
    for (int i = 0; i < 2 * dvaudio::kMaxSamplesPerFrame; ++i)
        pcm[i] = static_cast<int16_t>(body[(2 * size_t(i)) % n] << 8 | body[(2 * size_t(i) + 1) % n]);
    if (dvaudio::insertPcm(frame.data(), frameSize, pcm, samples, rate, (data[0] & 0x80) == 0)) {
        auto info = dvaudio::readAudioInfo(frame.data(), frameSize);
        if (!info || info->sampleRate != rate || info->bits != 16 || info->samples != samples) __builtin_trap();
        if (dvaudio::extractPcm(frame.data(), frameSize, *info, 0, back) != samples) __builtin_trap();
        for (int i = 0; i < 2 * samples; ++i) {
            const int16_t want = pcm[i] == -32768 ? -32767 : pcm[i];
            if (back[i] != want) __builtin_trap();
        }
    }
    if (dvaudio::insertPcm12(frame.data(), frameSize, pcm, (data[0] & 0x40) ? nullptr : pcm + 2, pal ? 1280 : 1067)) {
        auto info = dvaudio::readAudioInfo(frame.data(), frameSize);
        if (!info || info->bits != 12 || info->pairs != 2) __builtin_trap();
        for (int pair = 0; pair < 2; ++pair) dvaudio::extractPcm(frame.data(), frameSize, *info, pair, back);
    }
    return 0;
}
