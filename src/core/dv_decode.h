// Decoding the packs of a DV metadata record into the numbers that the scene scan compares, and the
// player's per-frame display values.
#pragma once

#include "core/decoded_values.h"
#include "core/metadata_record.h"

namespace zorv::core {

// Updates v from rec in place. The field rate, frame rate and timecode style are per-file: the field
// rate is taken from the first record holding a VAUX source pack (0x60) and the timecode style from
// the first record decoded at all (2 unless the field rate is already 60 and a timecode pack is
// present: then 4 with the drop-frame flag, else 3); once set they are kept. Every other value is
// rewritten from this record, with the absent value of its kind when its pack is missing or invalid;
// an invalid recording date or time clears recValid and leaves recSeconds as it was.
void decodeRecord(const MetadataRecord& rec, DecodedValues& v);

// The recording date-time of a record as seconds since 1970-01-01 UTC. Two-digit years below 70 are
// 20xx, the rest 19xx. Returns false when the date (0x62) or time (0x63) pack is missing or its
// units digit of year or hours is above 9.
bool decodeRecordingDateTime(const MetadataRecord& rec, int64_t& seconds);

// What the player's metadata display follows frame by frame: each value changes only when its pack
// is present in this frame and otherwise keeps the last one.
struct DisplayValues {
    int fieldRate = 0;
    int timecodeStyle = 0;
    bool widescreen = false;
};

void updateDisplayValues(const MetadataRecord& rec, DisplayValues& d);

}  // namespace zorv::core
