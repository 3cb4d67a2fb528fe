// HDV transport streams: HDV2 (1080 lines, MPEG-2 video on PID 0x0810) and HDV1 (720 lines, PID 0x1000).
#include "media/formats/formats.h"

namespace zorv::media {

namespace {

ProbeVerdict probeHdvOf(ProbeContext& ctx, Recognition& r, FileType want) {
    const uint8_t* data = nullptr;
    size_t n = 0;
    if (!ctx.start(r, data, n)) return ProbeVerdict::kFailed;
    const TsGeometry* geom = ctx.tsGeometry();
    if (!geom || ctx.hdvType() != want) return ProbeVerdict::kNotMine;
    r.tsPacketSize = geom->packetSize;
    r.tsStart = geom->start;
    r.fourcc = fourcc("    ");
    return ProbeVerdict::kMine;
}

ProbeVerdict probeHdv2(ProbeContext& ctx, Recognition& r) { return probeHdvOf(ctx, r, FileType::kHdv2); }
ProbeVerdict probeHdv1(ProbeContext& ctx, Recognition& r) { return probeHdvOf(ctx, r, FileType::kHdv1); }

constexpr const char* kHdvPremiereSkip =
    "File skipped - fixing Premiere start timecode in HDV M2T file type not currently supported";

}  // namespace

const FormatDescriptor kHdv2Format = {
    .type = FileType::kHdv2,
    .name = "HDV2 (1080)",
    .shortName = "HDV2",
    .family = core::MediaFamily::kHdv,
    .hdvLines = 1080,
    .extension = ".m2t",
    .audioExtension = ".wav",
    .tools = format_tool::kPlay | format_tool::kExtractAudio | format_tool::kBurnIn | format_tool::kStreamExport,
    .premiereSkip = kHdvPremiereSkip,
    .probe = probeHdv2,
};

// 720-line HDV is recognised and described, but not played, burned or its audio extracted.
const FormatDescriptor kHdv1Format = {
    .type = FileType::kHdv1,
    .name = "HDV1 (720)",
    .shortName = "HDV1",
    .family = core::MediaFamily::kHdv,
    .hdvLines = 720,
    .extension = ".m2t",
    .tools = format_tool::kStreamExport,
    .playRefusal =
        "File is 720-line HDV M2T format:\r\n\r\n%s\r\n\r\nPlayback of 720-line HDV files (HDV1) is not currently "
        "supported in ZORV Pro. Only 1080-line HDV files (HDV2) can be played at present.\r\n\r\nHowever you can "
        "process 720-line HDV files using some of the operations in the Batch Processor. Please see \"Batch "
        "Processing\" in the online help.",
    .premiereSkip = kHdvPremiereSkip,
    .probe = probeHdv1,
};

}  // namespace zorv::media
