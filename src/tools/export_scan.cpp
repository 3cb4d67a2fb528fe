#include "tools/export_scan.h"

#include <cerrno>

#include "media/dv_media_file.h"

namespace zorv::tools {

core::Status runExportScan(media::DvMediaFile& source, media::ScanObserver& observer, core::Progress* progress) {
    if (source.scanned()) {
        const std::string path = source.path();
        if (!source.open(path)) return source.status();
    }
    if (source.scan(progress, &observer)) return core::Status::success();
    core::Status st = source.status();
    if (st.code == core::ErrorCode::kCancelled && st.message.empty()) st.message = "Operation Cancelled";
    if (st.ok()) st.code = core::ErrorCode::kReadFailed;
    return st;
}

core::Status openExportFiles(const std::string& inPath, const std::string& outPath, bool overwrite,
                             media::DvMediaFile& source, TextOutput& out) {
    if (core::Status st = out.open(outPath, inPath, overwrite); !st) return st;
    if (!source.open(inPath)) {
        core::Status st = source.status();
        st.code = core::callFaultOr(st.code, core::ErrorCode::kOpenFailed);
        if (st.message.empty()) st.message = "Failed to open the input file";
        return st;
    }
    if (!source.indexed()) {
        return core::Status::failure(core::ErrorCode::kOpenFailed, "Unable to index the AVI file");
    }
    return core::Status::success();
}

}  // namespace zorv::tools
