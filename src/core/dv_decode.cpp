#include "core/dv_decode.h"

#include "core/civil_time.h"

namespace zorv::core {

namespace {

inline int bcd(uint8_t b, uint8_t tensMask) { return (b & 0x0F) + 10 * ((b >> 4) & tensMask); }

}  // namespace

bool decodeRecordingDateTime(const MetadataRecord& rec, int64_t& seconds) {
    if (!rec.has(pack::kRecTime) || (rec.pc(pack::kRecTime, 4) & 0x0F) > 9) return false;
    if (!rec.has(pack::kRecDate) || (rec.pc(pack::kRecDate, 4) & 0x0F) > 9) return false;
    const int hours = bcd(rec.pc(pack::kRecTime, 4), 0x03);
    const int minutes = bcd(rec.pc(pack::kRecTime, 3), 0x07);
    const int secs = bcd(rec.pc(pack::kRecTime, 2), 0x07);
    const int year2 = bcd(rec.pc(pack::kRecDate, 4), 0x0F);
    const int month = bcd(rec.pc(pack::kRecDate, 3), 0x01);
    const int day = bcd(rec.pc(pack::kRecDate, 2), 0x03);
    const int year = year2 < 70 ? 2000 + year2 : 1900 + year2;
    seconds = normalizedUtcSeconds(year, month - 1, day, hours, minutes, secs);
    return true;
}

void decodeRecord(const MetadataRecord& rec, DecodedValues& v) {
    if (v.fieldRate == 0 && rec.has(pack::kVideoSource)) {
        v.fieldRate = (rec.pc(pack::kVideoSource, 3) & 0x20) ? 50 : 60;
        v.frameRate = v.fieldRate / 2;
    }
    if (!v.timecodeStyleSettled) {
        // A blank first frame (no system pack or no timecode pack) must not decide a 60-field file's
        // style: it waits for the first frame that carries both.
        if (v.fieldRate == 50) {
            v.timecodeStyle = 2;
            v.timecodeStyleSettled = true;
        } else if (v.fieldRate == 60 && rec.has(pack::kTimecode)) {
            v.timecodeStyle = (rec.pc(pack::kTimecode, 1) & 0x40) ? 4 : 3;
            v.timecodeStyleSettled = true;
        } else {
            v.timecodeStyle = v.fieldRate == 60 ? 3 : 2;
        }
    }

    if (rec.has(pack::kTimecode) && (rec.pc(pack::kTimecode, 4) & 0x0F) <= 9) {
        v.tcFrames = bcd(rec.pc(pack::kTimecode, 1), 0x03);
        v.tcSeconds = bcd(rec.pc(pack::kTimecode, 2), 0x07);
        v.tcMinutes = bcd(rec.pc(pack::kTimecode, 3), 0x07);
        v.tcHours = bcd(rec.pc(pack::kTimecode, 4), 0x03);
    } else {
        v.tcHours = v.tcMinutes = v.tcSeconds = v.tcFrames = -1;
    }

    int64_t secs = 0;
    if (decodeRecordingDateTime(rec, secs)) {
        v.recSeconds = secs;
        v.recValid = true;
    } else {
        v.recValid = false;
    }

    const bool cam1 = rec.has(pack::kCamera1);
    v.iris = cam1 ? (rec.pc(pack::kCamera1, 1) & 0x3F) : 63;
    if (rec.has(pack::kShutter) && !(rec.pc(pack::kShutter, 3) == 0xFF && rec.pc(pack::kShutter, 4) == 0xFF))
        v.shutter = (rec.pc(pack::kShutter, 4) & 0x7F) * 256 + rec.pc(pack::kShutter, 3);
    else v.shutter = 32767;
    if (cam1) {
        const uint8_t pc2 = rec.pc(pack::kCamera1, 2);
        v.gain = pc2 & 0x0F;
        v.exposureMode = (pc2 >> 4) >= 5 ? 15 : (pc2 >> 4);
        const int wb = rec.pc(pack::kCamera1, 3) & 0x1F;
        v.whiteBalance = wb >= 6 ? 255 : wb;
        v.focus = rec.pc(pack::kCamera1, 4);
    } else {
        v.gain = 15;
        v.exposureMode = 15;
        v.whiteBalance = 255;
        v.focus = 255;
    }
    v.stabilizer = rec.has(pack::kCamera2) ? ((rec.pc(pack::kCamera2, 2) & 0x80) ? 0 : 1) : 15;
    if (rec.has(pack::kAudioSource)) {
        v.audioUnlocked = (rec.pc(pack::kAudioSource, 1) >> 7) & 1;
        const int smp = (rec.pc(pack::kAudioSource, 4) >> 3) & 0x07;
        v.audioSampling = smp >= 3 ? 7 : smp;
    } else {
        v.audioUnlocked = 15;
        v.audioSampling = 7;
    }
    if (rec.has(pack::kBinaryGroup)) {
        v.userBits = static_cast<uint32_t>(rec.pc(pack::kBinaryGroup, 1)) |
                     static_cast<uint32_t>(rec.pc(pack::kBinaryGroup, 2)) << 8 |
                     static_cast<uint32_t>(rec.pc(pack::kBinaryGroup, 3)) << 16 |
                     static_cast<uint32_t>(rec.pc(pack::kBinaryGroup, 4)) << 24;
    } else {
        v.userBits = 0xFFFF;
    }
    v.recordingStart = rec.has(pack::kVideoSourceControl) ? ((rec.pc(pack::kVideoSourceControl, 2) >> 7) & 1) : 15;
}

void updateDisplayValues(const MetadataRecord& rec, DisplayValues& d) {
    if (rec.has(pack::kVideoSource)) {
        d.fieldRate = (rec.pc(pack::kVideoSource, 3) & 0x20) ? 50 : 60;
        if (d.fieldRate == 50) d.timecodeStyle = 2;
        else d.timecodeStyle = (!rec.has(pack::kTimecode) || (rec.pc(pack::kTimecode, 1) & 0x40)) ? 4 : 3;
    }
    if (rec.has(pack::kVideoSourceControl)) {
        const int aspect = rec.pc(pack::kVideoSourceControl, 3) & 0x03;
        const int disp = rec.pc(pack::kVideoSourceControl, 2) & 0x07;
        d.widescreen = !(aspect <= 1 && disp == 0);
    }
}

}  // namespace zorv::core
