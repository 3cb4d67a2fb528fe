#include "cli/report_output.h"

#include <cstdio>

namespace zorv::cli {

core::Status ReportOutput::open(const std::string& path, bool overwrite, const std::vector<std::string>& inputs) {
    toStdout_ = path.empty() || path == "-";
    if (toStdout_) return core::Status::success();
    if (core::Status st = out_.begin(path, media::OutputRules{overwrite, inputs}); !st) return st;
    if (!file_.open(out_.tempPath(), media::File::Mode::kCreate))
        return core::Status::failure(core::ErrorCode::kOpenFailed, "Unable to create output file", file_.sysError());
    return core::Status::success();
}

core::Status ReportOutput::commit() {
    if (toStdout_) {
        std::fflush(stdout);
        return core::Status::success();
    }
    file_.close();
    return out_.commit();
}

}  // namespace zorv::cli
