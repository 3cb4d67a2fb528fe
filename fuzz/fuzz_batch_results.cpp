// Reads hostile batch results lines and file lists: every record read must write back to a line
// that reads as the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "batch/batch_list.h"
#include "batch/batch_results.h"
#include "core/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> paths;
    (void)batch::parseFileList(text, paths);
    (void)batch::parseSlice(text);
    (void)core::parseJson(text);
    if (const auto rec = batch::parseResultLine(text)) {
        const std::string line = batch::resultLine(*rec);
        const auto again = batch::parseResultLine(line);
        if (!again || again->result.path != rec->result.path || again->result.message != rec->result.message ||
            again->result.outputs.size() != rec->result.outputs.size() || batch::resultLine(*again) != line)
            std::abort();
    }
    return 0;
}
