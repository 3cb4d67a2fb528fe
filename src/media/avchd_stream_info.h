// What the file properties show of an AVCHD file: the video stream (H.264 profile and level texts,
// coded size, frame rate, duration) and the audio stream (AC-3 sample rate, bit rate, channels and
// layout), both read from the start of the file; and the GPS test that decides whether the player
// uses the GPS layout and offers the map.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"
#include "core/metadata_record.h"
#include "core/metadata_text.h"
#include "media/avchd_mdpm.h"

namespace zorv::media {

// Bytes read from the start of the file for the descriptions and the GPS test.
inline constexpr size_t kAvchdInfoBytes = 1048476;
inline constexpr size_t kAvchdInfoMinBytes = 376000;
inline constexpr size_t kAvchdGpsMinBytes = 94000;
// Bytes searched for the first AC-3 frame: cameras may start the sound a few megabytes in.
inline constexpr int64_t kAvchdAudioSearchBytes = 8 * 1048576;

struct AvchdStreamDescription {
    std::string profileText;  // "High", "Main", ... "Unknown"
    std::string levelText;    // "@L4.0", "@L1b"
    int profileIdc = 0, levelIdc = 0;
    int64_t width = 0, height = 0;  // the picture as shown (the coded size less its cropping)
    int64_t rateNum = 0, rateDen = 1;
    int64_t durationPts = 0;          // last minus first video time stamp (90 kHz); 0 when unknown
    int sarWidth = 0, sarHeight = 0;  // sample aspect ratio; 0/0 when the stream does not say
    bool frameCoding = true;          // frames only (progressive); false when fields may be coded
};

struct AvchdAudioDescription {
    int sampleRate = 0;
    int bitRateKbps = 0;
    int channels = 0;
    std::string layout;  // "L, R", "L, R, LFE" ...
};

// kNotRecognised when the file is short, has no transport packets or no SPS in its first bytes; the
// open or read failure otherwise. The duration comes from the AVC reader and stays 0 when the reader
// cannot open the file.
core::Status describeAvchdStream(const std::string& path, AvchdStreamDescription& out);
// kNoAudio without an AC-3 frame at the start of a PES of PID 0x1100 in the first
// kAvchdAudioSearchBytes; failures as describeAvchdStream.
core::Status describeAvchdAudio(const std::string& path, AvchdAudioDescription& out);
// True when the first MDPM payload of the file holds a tag 0xB0 reading 2, 2 (GPS version 2.2).
bool avchdHasGps(const std::string& path);

// The GPS fix of a picture in numbers: latitude and longitude in decimal degrees (negative south
// and west), altitude in metres (negative below sea level), speed in its unit and the direction.
// Rationals with a zero denominator count as 0.
struct AvchdGpsValues {
    double latitude = 0, longitude = 0;
    bool hasAltitude = false;
    double altitude = 0;
    bool hasSpeed = false;
    double speed = 0;
    char speedUnit = 0;  // 'K', 'M' or 'N'
    bool hasTrack = false;
    double track = 0;
    char trackRef = 0;  // 'T' or 'M'
};
// False unless the GPS version tag and every latitude and longitude tag are present.
bool avchdGpsValues(const AvchdMetadataRecord& rec, AvchdGpsValues& out);
// The same from the pack table of a picture (GPS tags in the pack slots 0xB0-0xC4).
bool avchdGpsValues(const core::MetadataRecord& table, AvchdGpsValues& out);

// The picture's position as "lat,lon" in decimal degrees for a map; false without GPS.
bool avchdMapPosition(const AvchdMetadataRecord& rec, core::TextBuf& out);

}  // namespace zorv::media
