// Raw DV: DIF sequences back to back, no container.
#include "media/formats/formats.h"

namespace zorv::media {

namespace {

ProbeVerdict probeRawDv(ProbeContext& ctx, Recognition& r) {
    const uint8_t* data = nullptr;
    size_t n = 0;
    if (!ctx.start(r, data, n)) return ProbeVerdict::kFailed;
    if (ctx.size() < kRawDvMinSize || !isRawDvStart(data, n)) return ProbeVerdict::kNotMine;
    r.fourcc = fourcc("dvsd");
    return ProbeVerdict::kMine;
}

}  // namespace

const FormatDescriptor kRawDvFormat = {
    .type = FileType::kRawDv,
    .name = "Raw DV",
    .shortName = "Raw DV",
    .family = core::MediaFamily::kDv,
    .extension = ".dv",
    .audioExtension = ".wav",
    .tools = format_tool::kPlay | format_tool::kExtractAudio | format_tool::kConvert,
    .convertTargets = convert_target::kAvi1 | convert_target::kAvi2,
    .loadFailure = "Could not load Raw DV file",
    .premiereSkip = "File skipped - Raw DV file type does not support a Premiere start timecode",
    .probe = probeRawDv,
};

}  // namespace zorv::media
