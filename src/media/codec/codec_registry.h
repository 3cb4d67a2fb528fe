// The decoders and compressors that libavcodec offers for each role of the burn-in and the players:
// MPEG-2 video decoders (HDV), H.264 video decoders and AC-3 audio decoders (AVCHD), and the output
// video compressors of HDV/AVCHD burn-in. A codec is listed only when it passes a real test: a
// decoder must open and decode a freshly encoded sample; a compressor must encode a 1440 x 1080
// picture into a stream that an AVI file can carry (a known FourCC). Each entry is known by a stable
// 128-bit identifier derived from the codec's name and shown by its long name; "Uncompressed"
// (24-bit RGB, the all-zero identifier) is always the first compressor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/guid.h"
#include "core/options.h"

namespace zorv::media::codec {

enum class CodecRole { kMpeg2VideoDecoder, kH264VideoDecoder, kAc3AudioDecoder, kVideoCompressor };

struct CodecEntry {
    core::Guid id;            // Guid::fromName("libavcodec:" + name); all zero for "Uncompressed"
    std::string name;         // libavcodec's short name; empty for "Uncompressed"
    std::string displayName;  // the codec's long name, or "Uncompressed"

    bool uncompressed() const { return name.empty(); }
    core::DecoderSelection selection() const { return core::DecoderSelection{id, displayName}; }
};

// The stable identifier of a libavcodec codec name.
core::Guid codecId(std::string_view codecName);

// The "Uncompressed" compressor entry.
CodecEntry uncompressedEntry();

// Every codec of the role that exists and passes its test, in libavcodec's order ("Uncompressed"
// first for compressors). Tests run once per role and process; later calls return the same list.
const std::vector<CodecEntry>& availableCodecs(CodecRole role);

// The entry with this identifier, when it is available for the role. Only the codec asked for is
// tested (once per process), so a run that uses one codec does not pay for the tests of all the others.
std::optional<CodecEntry> findCodec(CodecRole role, const core::Guid& id);
// The entry whose short or long name matches (case-insensitive); tested the same way.
std::optional<CodecEntry> findCodecByName(CodecRole role, std::string_view name);
// The first entry of availableCodecs(role) that is not "Uncompressed", testing candidates in order
// only until one passes.
std::optional<CodecEntry> firstAvailableCodec(CodecRole role);

// The AVI FourCC under which a compressor's stream is stored; 0 when AVI has none for it.
uint32_t aviFourcc(std::string_view encoderName);

// Runs the test of one codec for a role (uncached).
bool testCodec(CodecRole role, std::string_view codecName);

}  // namespace zorv::media::codec
