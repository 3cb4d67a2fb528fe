// Numbers decoded from one frame's metadata record, compared frame to frame by the scene scan.
#pragma once

#include <cstdint>

namespace zorv::core {

struct DecodedValues {
    // Per-file, decided once and kept.
    int32_t fieldRate = 0;      // 50 or 60; 0 until decided
    int32_t frameRate = 0;      // 25 or 30; 0 until decided
    int32_t timecodeStyle = 0;  // 2, 3 or 4 for DV; 0 before the first frame
    // The style is settled by the first frame that tells the system (0x60) and, for 60 fields, the
    // drop-frame flag (0x13); until then it is a provisional 2 (system unknown) or 3 (60 fields).
    bool timecodeStyleSettled = false;

    // Per-frame.
    int32_t tcHours = -1, tcMinutes = -1, tcSeconds = -1, tcFrames = -1;
    uint32_t userBits = 0xFFFF;
    int64_t recSeconds = 0;  // seconds since 1970-01-01 as universal time
    bool recValid = false;
    int32_t iris = 63;
    int32_t shutter = 32767;
    int32_t gain = 15;
    int32_t exposureMode = 15;
    int32_t stabilizer = 15;
    int32_t whiteBalance = 255;
    int32_t focus = 255;
    int32_t audioUnlocked = 15;
    int32_t audioSampling = 7;
    int32_t recordingStart = 15;
};

}  // namespace zorv::core
