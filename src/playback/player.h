// The player engine: one Player per open file. It reads a DV file (AVI Type 1, AVI Type 2, Raw DV), a
// 1080-line HDV file or an AVCHD file, decodes its pictures with libavcodec, paces them and the sound
// on its own clock and hands the window each shown picture together with the camcorder metadata of
// THAT picture, so that the picture and the metadata window never drift apart.
//
// Threads: the owner (the window thread) makes every transport call; the player decodes and paces on
// a thread of its own while it runs. The shown picture is pulled with currentPicture(); the picture
// and event callbacks are called on the player's thread and should only wake the owner (for a Qt
// window: a queued call), which then pulls.
//
// Times are 100-ns units from the start of the file; a picture index counts the pictures from 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/media_family.h"
#include "core/error.h"
#include "core/job.h"
#include "core/metadata_record.h"
#include "core/rgb_picture.h"
#include "media/file_type.h"
#include "playback/audio_output.h"
#include "overlay/overlay_layer.h"

namespace zorv::playback {

enum class PlayerState { kClosed, kStopped, kPaused, kRunning };

struct PlayerConfig {
    // libavcodec decoder names (the short names of media::codec::CodecEntry) chosen for each role.
    std::string mpeg2Decoder = "mpeg2video";
    std::string h264Decoder = "h264";
    std::string ac3Decoder = "ac3";
    bool audio = true;  // false: no sound is decoded or written
    AudioBackendKind audioBackend = AudioBackendKind::kAuto;
    // When set, makes the sound output instead of audioBackend (an output of the caller's own).
    std::function<std::unique_ptr<AudioOutput>()> makeAudio;
};

enum class PlayerEventKind {
    kComplete,    // the last picture was shown while running; the player is paused on it
    kErrorAbort,  // playback failed; message holds the family's text
    kDeviceLost,  // a live device went away (message: the family's text)
    kPaused,      // a pause was confirmed
};

struct PlayerEvent {
    PlayerEventKind kind = PlayerEventKind::kComplete;
    int code = 0;         // error abort: the failing operation's error number (0 when none)
    std::string message;  // error abort and device lost: the text to show
};

// One shown picture: its pixels and the metadata of that very picture.
struct ShownPicture {
    int64_t serial = 0;    // grows by one with every newly shown picture; 0: nothing shown yet
    int64_t index = -1;    // picture number from 0
    int64_t time = 0;      // start time from the start of the file
    int64_t duration = 0;  // picture duration

    // Packed 24-bit RGB, rows top-down, stride bytes apart (a multiple of 4).
    int width = 0, height = 0, stride = 0;
    std::vector<uint8_t> rgb;
    // Display aspect ratio of the whole picture (4:3 or 16:9).
    int displayNum = 4, displayDen = 3;
    bool wide = false;  // DV: the video source control pack says 16:9

    // The picture's camcorder metadata; hasMetadata false when the picture carries none.
    bool hasMetadata = false;
    core::MetadataRecord record;
    // What the metadata window needs besides the record.
    core::BurnGrid windowKind = core::BurnGrid::kDv;
    int timecodeStyle = 2;
    double linePeriod = 64e-6;
    int64_t hdvTimecodeFrames = -1;
    int64_t pts = 0;        // AVCHD: the picture's presentation time, 90 kHz
    int pictureType = 255;  // 0 I, 1 P, 2 B, 255 unknown
    char frameType = 0;     // HDV frame type letter, 0 when unknown
    bool keyFrame = false;

    // A view for drawing into the picture (overlay layer).
    core::RgbPicture view() { return core::RgbPicture{rgb.data(), width, height, stride, 0, height}; }
    // The picture as the overlay layer's metadata window draws it (points into this object).
    overlay::OverlayFrame overlayFrame() const;
};

class PlayerImpl;

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Recognises the file and opens the player of its family; the first picture is decoded and
    // shown and the player is paused on it. Failures carry the step's "Could not ..." text (at most
    // 128 characters), kept as lastError(). A 720-line HDV or MOD file is refused with its message.
    core::Status open(const std::string& path, const PlayerConfig& config = {});
    // Closes the file and the audio output; the player is closed again.
    void close();

    core::MediaFamily family() const;
    media::FileType fileType() const;
    const std::string& path() const;
    PlayerState state() const;

    core::Status run();    // "Could not run filter graph"
    core::Status pause();  // confirmed: the player's thread has stopped showing pictures
    core::Status stop();   // pauses and returns to the first picture

    // Length of the file, and of one picture (DV: 400000 for 25 frames/s, 333667 for 29.97).
    int64_t duration() const;
    int64_t pictureDuration() const;
    int64_t pictureCount() const;
    // Start time and index of the shown picture.
    int64_t position() const;
    int64_t pictureIndex() const;

    // Seeks and shows the picture there: a negative time shows the first picture, a time at or after
    // the end the last; any other time is cut down to a whole number of picture durations. The run
    // state is kept. "Could not set position" on failure.
    core::Status setPosition(int64_t time);
    core::Status setPictureIndex(int64_t index);
    // Moves n pictures on (negative: back) from the shown one and shows that picture; DV stepping is
    // exact. Clamped to the first and last picture.
    core::Status stepPictures(int64_t n);
    // Moves by a time (the window's one-second and one-minute steps), clamped like setPosition.
    core::Status stepTime(int64_t delta);
    // HDV and AVCHD: the next (+1) or previous (-1) I-picture. DV: one second.
    core::Status stepIFrame(int direction);

    // DV scenes: scans the file once (progress reported) and moves to the next or previous scene
    // start; with none in that direction, to the last or the first picture. moved is false when the
    // shown picture stays (already there, or not scanned yet).
    core::Status scanScenes(core::Progress* progress = nullptr);
    bool scenesScanned() const;
    core::Status nextScene(bool& moved);
    core::Status previousScene(bool& moved);
    // The scene starts as picture indexes (for the slider's ticks); empty before the scan.
    std::vector<int64_t> sceneStarts() const;

    // Copies the shown picture into out (reusing its buffer); false when nothing is shown yet.
    bool currentPicture(ShownPicture& out) const;
    // Serial of the shown picture (cheap; compare before pulling).
    int64_t pictureSerial() const;
    // The metadata of the shown picture only.
    bool currentMetadata(core::MetadataRecord& out) const;

    void setPictureCallback(std::function<void()> callback);
    void setEventCallback(std::function<void(const PlayerEvent&)> callback);
    // Events in the order they happened (also delivered to the callback).
    bool pollEvent(PlayerEvent& out);

    // The last failure's text (at most 128 characters), empty when none.
    std::string lastError() const;

    // Sound: the output in use (the null output when there is no device or sound is off).
    AudioOutput& audio();
    void setVolume(int percent);
    void setMute(bool mute);

    // AVCHD: whether the file carries GPS data (the map is offered), and the shown picture's position
    // as "%.5f,%.5f" when it has one.
    bool hasGeotagging() const;
    std::optional<std::string> mapPosition() const;

    // Pictures that were decoded too late to be shown while running (playback statistics).
    int64_t droppedPictures() const;
    int64_t shownPictures() const;

private:
    std::unique_ptr<PlayerImpl> impl_;
};

// The message shown for a playback error abort of each family ("Failed while attempting to play file",
// "... HDV file", "... AVCHD file").
const char* errorAbortText(core::MediaFamily family);

}  // namespace zorv::playback
