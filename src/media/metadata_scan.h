// The metadata scan of a DV file: every frame read once, its packs decoded and compared with the
// previous frame's, changes collected in the file's scene sets. DvMediaFile::scan runs it; a
// ScanObserver sees each frame's record on the way (the metadata export writes its rows from it).
#pragma once

#include <cstdint>

#include "core/decoded_values.h"
#include "core/metadata_record.h"

namespace zorv::media {

class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    // Called for every non-empty frame after its comparison with the previous frame. Returning false
    // reports a write failure: the scan stops with error 4.
    virtual bool onFrame(int64_t n, const core::MetadataRecord& record, const core::DecodedValues& values) = 0;
};

// Progress of a scan, shown at each whole percent: n x 100 / (frame count - 1) in 64-bit arithmetic;
// a file of one frame counts as done at once.
inline int scanPercent(int64_t n, int64_t frameCount) {
    return frameCount > 1 ? static_cast<int>(n * 100 / (frameCount - 1)) : 100;
}

inline constexpr int64_t kScanCancelInterval = 20;  // frames between cancel checks

}  // namespace zorv::media
