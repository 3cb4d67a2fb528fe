#include "media/codec/av_handles.h"

#include <string>

extern "C" {
#include <libavutil/error.h>
}

namespace zorv::media::codec {

FramePtr makePicture(int width, int height, AVPixelFormat format) {
    FramePtr f = makeFrame();
    if (!f) return nullptr;
    f->width = width;
    f->height = height;
    f->format = format;
    if (av_frame_get_buffer(f.get(), 32) < 0) return nullptr;
    return f;
}

std::string avErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

}  // namespace zorv::media::codec
