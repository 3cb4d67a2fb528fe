// One pass over an HDV transport stream: the picture size, rate and bit rate of its MPEG-2 video, the
// format of its MPEG-1 audio, the picture and audio frame counts, and every picture's metadata record
// from the aux stream, keyed by the picture's time from the first picture (100-ns units). Reads the
// file in bounded blocks whatever its size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/error.h"
#include "media/hdv_aux_items.h"

namespace zorv::media {

struct Mpeg2VideoFormat {
    int width = 0, height = 0;
    int aspectCode = 0;        // 1 square, 2 4:3, 3 16:9, 4 2.21:1 (display aspect)
    int frameRateCode = 0;     // 1 23.976 ... 3 25, 4 29.97, 5 30, 6 50, 7 59.94, 8 60
    int64_t bitRate = 0;       // bits per second (400-bit units of the header, with the extension)
    bool progressive = false;  // from the sequence extension
    int profileLevel = 0;      // the extension's profile_and_level_indication
};

struct MpegAudioFormat {
    bool present = false;
    int version = 1;  // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int layer = 0;
    int bitRateKbps = 0;
    int sampleRate = 0;
    int mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int channels() const { return mode == 3 ? 1 : 2; }
};

// Parses a sequence header starting at 00 00 01 B3 (n bytes available); the extension is read when it
// follows within the bytes.
bool parseMpeg2SequenceHeader(const uint8_t* p, size_t n, Mpeg2VideoFormat& out);
// Parses a 4-byte MPEG audio frame header.
bool parseMpegAudioHeader(const uint8_t* p, MpegAudioFormat& out);
// The picture rate of a frame-rate code as a fraction; {0, 1} for a reserved code.
void mpegFrameRate(int code, int& num, int& den);

// The time code of a group of pictures header (00 00 01 B8): HDV camcorders write the tape timecode
// of the group's first picture there. frames counts in style (2, 3, or 4 for drop-frame).
struct HdvGopTimecode {
    int64_t pts = -1;  // of the picture that carries the header
    int64_t frames = -1;
    int style = 2;
};
// Reads the header's time code from the bytes after its start code (at least 4); style from the
// frame-rate code of the stream (4, 29.97 a second, gives 3 or 4 by the drop-frame flag).
bool parseGopTimecode(const uint8_t* p, size_t n, int frameRateCode, HdvGopTimecode& out);

struct HdvStreamInfo {
    int packetSize = 0;
    uint16_t videoPid = 0, audioPid = 0, auxPid = 0;
    Mpeg2VideoFormat video;
    MpegAudioFormat audio;
    int64_t videoPictures = 0;  // PES starts on the video PID
    int64_t audioFrames = 0;    // PES starts on the audio PID
    int64_t auxPackets = 0;
    int64_t firstPts = -1;                     // smallest video PTS: time 0 of the records
    int64_t lastPts = -1;                      // largest video PTS
    int64_t skippedBytes = 0;                  // damaged bytes passed over to find the packets again
    int64_t skipPlaces = 0;                    // and the places where that happened
    std::vector<HdvMetadataRecord> records;    // in time order, startTime from the first picture
    std::vector<HdvGopTimecode> gopTimecodes;  // in file order

    // The timecode of the picture presented at pts from the group of pictures headers (for pictures
    // whose aux data is missing): the last group starting at or before it, plus the pictures since.
    // -1 when no header comes before it.
    HdvGopTimecode gopTimecodeAt(int64_t pts) const;
};

// progress(done bytes, total bytes) may return false to cancel (kCancelled).
core::Status scanHdvStream(const std::string& path, bool line720, HdvStreamInfo& out,
                           const std::function<bool(int64_t, int64_t)>& progress = {});

// Parses the aux items of one aux packet (a PUSI packet of the aux PID, PES stream 0xBF or 0xBD)
// into rec; false when the packet holds no aux PES.
bool parseAuxPacket(const uint8_t* packet, HdvMetadataRecord& rec, HdvPictureItem& picture);

}  // namespace zorv::media
