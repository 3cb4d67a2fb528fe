// One open media file as the program sees it: its recognised type and, for DV files (AVI Type 1,
// AVI Type 2, Raw DV), the frame index, frame reads, the current frame's metadata record and decoded
// values, the scene sets of the metadata scan, and the last error of every operation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/decoded_values.h"
#include "core/dv_damage.h"
#include "core/error.h"
#include "core/job.h"
#include "core/metadata_record.h"
#include "core/scene_sets.h"
#include "media/file_io.h"
#include "media/file_type.h"
#include "media/frame_index.h"
#include "media/metadata_scan.h"
#include "media/recognize.h"

namespace zorv::media {

class DvMediaFile {
public:
    struct Timecode {
        int hours = -1, minutes = -1, seconds = -1, frames = -1;
        bool dropFrame = false;
    };
    struct RecordingDateTime {
        int year = 0, month = 0, day = 0, hours = 0, minutes = 0, seconds = 0;  // four-digit year
    };
    // In/out: widescreen and sampleRate keep the caller's values when the frame does not set them;
    // audioBits and audioLocked start at -1.
    struct StreamProperties {
        int widescreen = 0;
        int sampleRate = 0;    // units of 100 Hz: 480, 441, 320
        int audioBits = -1;    // 16, 12 or 20
        int audioLocked = -1;  // 1 locked, 0 unlocked
    };

    DvMediaFile();
    ~DvMediaFile();
    DvMediaFile(const DvMediaFile&) = delete;
    DvMediaFile& operator=(const DvMediaFile&) = delete;

    // Recognises a file without keeping it open. lastError() follows the result.
    Recognition recognise(const std::string& path);
    // Recognises and opens the file; DV types are indexed. Any earlier file is closed first. Files of
    // the other recognised types stay open (for the chunk and reel-name services) with no frames.
    // Fails with recognition's status (kNotRecognised for a file of no supported type) or the index's
    // (kNoIndex when a DV file's frames cannot be found); lastError() follows.
    core::Status open(const std::string& path);
    // Releases the handle, the index and the scene sets; the object is empty again.
    void close();

    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return path_; }
    FileType fileType() const { return type_; }
    uint32_t fourcc() const { return fourcc_; }
    int tsPacketSize() const { return tsPacketSize_; }
    int64_t tsStart() const { return tsStart_; }
    int64_t fileSize() const { return fileSize_; }
    File& file() { return file_; }
    const File& file() const { return file_; }

    // Builds the frame index when it is empty (done by open for DV types).
    core::Status buildIndex();
    bool indexed() const { return !index_.entries.empty(); }
    int64_t frameCount() const { return index_.frameCount(); }
    int64_t nonEmptyFrames() const { return index_.nonEmptyFrames; }
    size_t frameSize() const { return index_.frameSize; }
    int64_t moviPosition() const { return index_.moviPosition; }
    int64_t readBufferSize() const { return index_.readBufferSize; }
    const FrameIndex& frameIndex() const { return index_; }
    // Absolute position of frame n's data; -1 for an empty frame or n out of range.
    int64_t frameDataPosition(int64_t n) const;
    // Seconds per video line for the shutter texts.
    double linePeriod() const;

    // Positions at frame n. Fails with error 2 when n is out of range; an empty frame fails with
    // empty = true and no error code.
    bool seekToFrame(int64_t n, bool& empty);
    int64_t position() const { return position_; }
    // Reads frame n into buf (frameSize() bytes). A short read is error 2.
    bool readFrame(int64_t n, uint8_t* buf);
    // Reads frame n, fills record() and updates decoded() from it.
    bool frameMetadata(int64_t n);
    const core::MetadataRecord& record() const { return record_; }
    const core::DecodedValues& decoded() const { return current_; }
    core::DecodedValues& decoded() { return current_; }
    // The damage record of the frame the scan (or an in-order pass) is at.
    const core::FrameDamage& damage() const { return damage_; }

    bool readTimecode(int64_t n, Timecode& tc);
    // The same, reading frame n of this file at its position through another open handle.
    bool readTimecode(int64_t n, const File& other, Timecode& tc);
    bool readRecordingDateTime(int64_t n, RecordingDateTime& dt);
    bool readStreamProperties(int64_t n, StreamProperties& props);

    // Metadata scan (see metadata_scan.h). Returns true at once when already scanned.
    bool scan(core::Progress* progress = nullptr, ScanObserver* observer = nullptr);
    // One frame of an in-order pass (frame bytes given by the caller): decodes it, compares it with
    // the previous frame and returns true when it entered the scene list.
    bool detectFrame(int64_t n, const uint8_t* frame);
    bool scanned() const { return scanned_; }
    // For the owner of an in-order pass that reached the last frame.
    void markScanned();
    core::SceneSets& sceneSets() { return scenes_; }
    const core::SceneSets& sceneSets() const { return scenes_; }
    // Sets the scene-trigger mask and rebuilds the scene list (never rescans).
    void setOptionMask(uint32_t mask);
    int64_t nextScene(int64_t n);
    int64_t previousScene(int64_t n);

    core::ErrorCode lastError() const { return error_; }
    int sysError() const { return sysError_; }
    const std::string& lastMessage() const { return message_; }
    core::Status status() const { return core::Status::failure(error_, message_, sysError_); }
    void setError(core::ErrorCode code, int sys = 0, std::string message = {});
    void clearError() { setError(core::ErrorCode::kNone); }

private:
    bool readFrameInto(int64_t n, const File& from, uint8_t* buf);
    bool ensureFrameBuffer();

    File file_;
    std::string path_;
    FileType type_ = FileType::kUnknown;
    uint32_t fourcc_ = 0;
    int tsPacketSize_ = 0;
    int64_t tsStart_ = 0;
    int64_t fileSize_ = 0;

    FrameIndex index_;
    int64_t position_ = 0;
    std::vector<uint8_t> frameBuf_;

    core::MetadataRecord record_;
    core::DecodedValues current_;
    core::DecodedValues previous_;
    core::FrameDamage damage_;

    core::SceneSets scenes_;
    uint32_t optionMask_ = core::kDefaultSceneMask;
    bool scanned_ = false;

    core::ErrorCode error_ = core::ErrorCode::kNone;
    int sysError_ = 0;
    std::string message_;
};

}  // namespace zorv::media
