// Rewrites the metadata of hostile files in place and in their Premiere timecode lists.
#include <cstddef>
#include <cstdint>

#include "memory_file.h"
#include "media/file_io.h"
#include "tools/dv_metadata_modifier.h"
#include "tools/premiere_timecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zorv;
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    const std::string& path = fuzz::memoryFile(data + 1, size - 1);

    media::File f;
    if (f.open(path, media::File::Mode::kReadWrite)) {
        if (auto where = tools::findTdatList(f))
            tools::writeTdatTimecode(f, *where, tools::timecodeField(1, 2, 3, 4, mode & 1));
    }

    tools::ModifySettings s;
    s.timecodeEnabled = true;
    s.timecodeMode = (mode & 2) ? core::ModifyMode::kAdjustBy : core::ModifyMode::kStartFrom;
    s.tcHours = 23;
    s.dateTimeEnabled = (mode & 4) != 0;
    s.dateTimeMode = (mode & 8) ? core::ModifyMode::kAdjustBy : core::ModifyMode::kStartFrom;
    s.months = s.days = 1;
    s.userBitsEnabled = (mode & 16) != 0;
    s.widescreenEnabled = (mode & 32) != 0;
    s.timecodeKindEnabled = (mode & 64) != 0;
    tools::DvMetadataModifier m;
    m.setSettings(s);
    m.setInputPath(path);  // direct mode: the memory file itself
    if (m.open()) m.run();
    return 0;
}
