// libavcodec is loaded on first use (see avcodec_loader.cpp): these say whether it could be.
#pragma once

#include <string>

namespace zorv::media::codec {

// Opens libavcodec if that has not been tried yet; true when it is loaded.
bool avcodecAvailable();
// Why it could not be loaded (the loader's message), or empty.
const std::string& avcodecLoadError();

}  // namespace zorv::media::codec
