#include "tools/text_output.h"

namespace zorv::tools {

core::Status TextOutput::open(const std::string& path, const std::string& input, bool overwrite) {
    if (path == kStandardOutputName) {
        if (file_.openStandardOutput()) return core::Status::success();
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to create output file", file_.sysError());
    }
    if (core::Status s = output_.begin(path, {overwrite, {input}}); !s) return s;
    if (!file_.open(output_.tempPath(), media::File::Mode::kReadWrite)) {
        output_.discard();
        return core::Status::failure(core::ErrorCode::kWriteFailed, "Failed to create output file", file_.sysError());
    }
    return core::Status::success();
}

core::Status TextOutput::finish(core::Status result) {
    file_.close();
    return output_.active() ? output_.finish(result) : result;
}

}  // namespace zorv::tools
