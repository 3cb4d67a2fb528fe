// DV audio (IEC 61834): the PCM samples of a frame lie shuffled over the nine audio DIF blocks of every
// DIF sequence, described by the AAUX source pack (0x50: samples in this frame, sampling frequency,
// quantisation, locked or unlocked). This file reads that pack, de-shuffles the blocks into interleaved
// 16-bit PCM (16-bit linear at 48, 44.1 and 32 kHz; 12-bit non-linear at 32 kHz, two stereo pairs) and
// does the reverse for the "DV Mux" role: 16-bit stereo PCM into the audio blocks with fresh AAUX
// 0x50/0x51 packs, leaving every other byte of the frame as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zorv::media::dvaudio {

// Largest number of samples per channel a 25 Mbit/s frame can carry (625/50, 48 kHz).
inline constexpr int kMaxSamplesPerFrame = 1944;

struct AudioInfo {
    int sampleRate = 0;  // 48000, 44100 or 32000
    int bits = 16;       // 16 (linear) or 12 (non-linear)
    bool locked = true;  // PC1 bit 7 clear
    int samples = 0;     // samples per channel in this frame
    int pairs = 1;       // stereo pairs carried: 1, or 2 for 12-bit (the second may be silent)
};

// Reads the first AAUX source pack (0x50) of the frame. Nothing when the frame size is not a 25 Mbit/s
// size (120000 or 144000), the pack is absent, or its codes are not ones DV audio uses.
std::optional<AudioInfo> readAudioInfo(const uint8_t* frame, size_t frameSize);

// De-shuffles one stereo pair (pair 0, or pair 1 of 12-bit audio) of info.samples samples into out
// (interleaved left/right, native-endian int16; room for 2 * kMaxSamplesPerFrame values). DV's error
// code (0x8000 / 0x800) reads as 0. Returns the samples per channel written.
int extractPcm(const uint8_t* frame, size_t frameSize, const AudioInfo& info, int pair, int16_t* out);

// The number of samples per channel that frame n carries when the audio is written at this rate.
// Locked 48 kHz 525/60 audio follows the 1600, 1602, 1602, 1602, 1602 pattern; 625/50 is constant.
int samplesForFrame(int64_t n, int sampleRate, bool pal);

// Writes samples stereo samples of interleaved 16-bit PCM into the audio blocks (16-bit linear; the
// positions past the count are zeroed) and sets the AAUX 0x50 pack (count, rate, 16 bits, locked) and
// the 0x51 pack where the frame lacks one. Video, header, subcode and VAUX blocks and the other AAUX
// packs are not touched. False when the frame size, rate or count cannot be written.
bool insertPcm(uint8_t* frame, size_t frameSize, const int16_t* pcm, int samples, int sampleRate, bool locked = true);

// Writes two stereo pairs of 32 kHz audio as 12-bit non-linear samples (pair1 may be null: silence) and
// the AAUX 0x50 pack saying so, as 4-channel camcorders record.
bool insertPcm12(uint8_t* frame, size_t frameSize, const int16_t* pair0, const int16_t* pair1, int samples);

// Rewrites one stereo pair of a 12-bit frame in place (info as readAudioInfo gave it) with `samples`
// samples, the slots past them zeroed. The other pair and the AAUX packs stay as they were, but for
// the sample count of the 0x50 packs when `samples` differs from info.samples.
bool replacePair12(uint8_t* frame, size_t frameSize, const AudioInfo& info, int pair, const int16_t* pcm, int samples);

// Counts the error samples (0x8000 in 16-bit, 0x800 in 12-bit audio) among the info.samples samples of
// each channel: channel 0/1 are the left and right of the first pair, 2/3 those of the second pair of
// 12-bit audio. counts needs room for 4; returns the channels the frame carries (2 or 4).
int countErrorSamples(const uint8_t* frame, size_t frameSize, const AudioInfo& info, uint16_t* counts);

// Writes the error code over count samples of one channel (numbered as above) from sample first on.
// False when the frame size or channel does not fit the frame's audio.
bool markErrorSamples(uint8_t* frame, size_t frameSize, const AudioInfo& info, int channel, int first, int count);

// The error samples in the data of one audio DIF block (80 bytes from its ID), of any channel.
int blockErrorSamples(const uint8_t* block, int bits);

// 12-bit non-linear code to 16-bit linear (0x800, the error code, gives 0).
int16_t decode12Bit(uint16_t code);

}  // namespace zorv::media::dvaudio
