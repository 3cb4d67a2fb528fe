// MOD: MPEG-2 program streams of standard-definition camcorders; recognised so that the program can
// say why it does not open them.
#include "media/formats/formats.h"

namespace zorv::media {

namespace {

ProbeVerdict probeMod(ProbeContext& ctx, Recognition& r) {
    const uint8_t* data = nullptr;
    size_t n = 0;
    if (!ctx.start(r, data, n)) return ProbeVerdict::kFailed;
    if (ctx.size() < kModMinSize || !isModStart(data, n)) return ProbeVerdict::kNotMine;
    r.fourcc = fourcc("    ");
    return ProbeVerdict::kMine;
}

}  // namespace

const FormatDescriptor kModFormat = {
    .type = FileType::kMod,
    .name = "MPEG-2 MOD",
    .shortName = "MOD",
    .extension = ".mod",
    .playRefusal =
        "File is MPEG-2 program stream (MOD) format:\r\n\r\n%s\r\n\r\nPlayback of MOD files is not currently "
        "supported in ZORV Pro.\r\n\r\nHowever you can process MOD files using some of the operations in the Batch "
        "Processor. Please see \"Batch Processing\" in the online help.",
    .premiereSkip = "File skipped - MPEG-2 MOD file type does not support a Premiere start timecode",
    .probe = probeMod,
};

}  // namespace zorv::media
