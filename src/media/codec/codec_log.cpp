#include "media/codec/codec_log.h"

#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

namespace zorv::media {

void quietCodecLog() {
    if (std::getenv("ZORV_CODEC_LOG") == nullptr) av_log_set_level(AV_LOG_FATAL);
}

}  // namespace zorv::media
