// DV in AVI: Type 1 (an interleaved "iavs" stream) and Type 2 (a "vids" DV stream beside the audio).
#include <cstring>

#include "media/formats/formats.h"

namespace zorv::media {

namespace {

// Compression codes under which DV video is stored in a "vids" stream.
const char* const kDvVideoCodes[] = {"dvsd", "CDVC", "DVSD", "DVCS", "DSVD", "dv25", "25vd"};

constexpr size_t kStreamTypeAt = 108;  // fccType of the first stream header
constexpr size_t kFormatCodeAt = 188;  // biCompression of the first stream's format

ProbeVerdict probeAviType1(ProbeContext& ctx, Recognition& r) {
    if (!ctx.isRiffAvi() || le32(ctx.head() + kStreamTypeAt) != fourcc("iavs")) return ProbeVerdict::kNotMine;
    if (le32(ctx.head() + kStreamTypeAt + 4) != fourcc("dvsd")) return ProbeVerdict::kRefused;
    r.fourcc = fourcc("dvsd");
    return ProbeVerdict::kMine;
}

// Any AVI that is not DV Type 1 or 2 ends recognition here: it is of no supported kind.
ProbeVerdict probeAviType2(ProbeContext& ctx, Recognition& r) {
    if (!ctx.isRiffAvi()) return ProbeVerdict::kNotMine;
    if (le32(ctx.head() + kStreamTypeAt) != fourcc("vids")) return ProbeVerdict::kRefused;
    uint8_t format[48];
    const int64_t got = ctx.file().readAt(kAviHeaderBytes, format, sizeof format);
    if (got != static_cast<int64_t>(sizeof format)) {
        r.status = core::Status::failure(core::ErrorCode::kReadFailed, {}, got < 0 ? ctx.file().sysError() : 0);
        return ProbeVerdict::kFailed;
    }
    const uint8_t* code = format + (kFormatCodeAt - kAviHeaderBytes);
    for (const char* dv : kDvVideoCodes) {
        if (std::memcmp(code, dv, 4) == 0) {
            r.fourcc = le32(code);
            return ProbeVerdict::kMine;
        }
    }
    return ProbeVerdict::kRefused;
}

constexpr uint32_t kAviTools = format_tool::kPlay | format_tool::kExtractAudio | format_tool::kBurnIn | format_tool::kSplit |
                               format_tool::kModify | format_tool::kConvert | format_tool::kRepair;

}  // namespace

const FormatDescriptor kAviType1Format = {
    .type = FileType::kAviType1,
    .name = "AVI Type 1",
    .shortName = "AVI 1",
    .family = core::MediaFamily::kDv,
    .aviType = 1,
    .extension = ".avi",
    .audioExtension = ".wav",
    .tools = kAviTools,
    .convertTargets = convert_target::kAvi2 | convert_target::kRawDv,
    .loadFailure = kAviLoadFailure,
    .probe = probeAviType1,
};

const FormatDescriptor kAviType2Format = {
    .type = FileType::kAviType2,
    .name = "AVI Type 2",
    .shortName = "AVI 2",
    .family = core::MediaFamily::kDv,
    .aviType = 2,
    .extension = ".avi",
    .audioExtension = ".wav",
    .tools = kAviTools,
    .convertTargets = convert_target::kAvi1 | convert_target::kRawDv,
    .loadFailure = kAviLoadFailure,
    .probe = probeAviType2,
};

}  // namespace zorv::media
