// libavcodec writes its own diagnostics to standard error ("[h264 @ 0x...] concealing ... errors"): noise
// in a tool's output that reports its own outcome. The command line keeps them to fatal ones unless the
// environment variable ZORV_CODEC_LOG is set (to any value), for looking into a damaged file.
#pragma once

namespace zorv::media {

void quietCodecLog();

}  // namespace zorv::media
