// AVCHD transport streams (.mts/.m2ts): H.264 video on PID 0x1011, AC-3 audio on PID 0x1100.
#include "media/formats/formats.h"

namespace zorv::media {

namespace {

ProbeVerdict probeAvchd(ProbeContext& ctx, Recognition& r) {
    const uint8_t* data = nullptr;
    size_t n = 0;
    if (!ctx.start(r, data, n)) return ProbeVerdict::kFailed;
    const TsGeometry* geom = ctx.tsGeometry();
    if (!geom || n < kAvchdMinRead || !detectAvchd(data, n, *geom)) return ProbeVerdict::kNotMine;
    r.tsPacketSize = geom->packetSize;
    r.tsStart = geom->start;
    r.fourcc = fourcc("    ");
    return ProbeVerdict::kMine;
}

}  // namespace

const FormatDescriptor kAvchdFormat = {
    .type = FileType::kAvchd,
    .name = "AVCHD M2TS",
    .shortName = "AVCHD",
    .family = core::MediaFamily::kAvchd,
    .extension = ".mts",
    .audioExtension = ".ac3",
    .tools = format_tool::kPlay | format_tool::kExtractAudio | format_tool::kBurnIn | format_tool::kStreamExport,
    .premiereSkip = "File skipped - AVCHD M2TS file type does not support a Premiere start timecode",
    .probe = probeAvchd,
};

}  // namespace zorv::media
