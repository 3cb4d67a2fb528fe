// libavcodec is loaded on first use (see avcodec_loader.cpp): these say whether it could be.
#pragma once

#include <string>

namespace zorv::media::codec {

// Opens libavcodec if that has not been tried yet; true when it is loaded.
bool avcodecAvailable();

}  // namespace zorv::media::codec
