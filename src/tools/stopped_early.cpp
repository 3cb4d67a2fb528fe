#include "tools/stopped_early.h"

namespace zorv::tools {

core::Status stoppedEarly(int64_t done, int64_t total) {
    std::string text = "Stopped after " + std::to_string(done);
    if (total > 0) text += " of " + std::to_string(total);
    text += " frames: the next one could not be read whole";
    return core::Status::failure(core::ErrorCode::kIncomplete, std::move(text));
}

}  // namespace zorv::tools
