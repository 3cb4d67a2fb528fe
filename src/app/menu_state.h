// The main window's command identifiers and which commands the open file allows.
#pragma once

#include <cstdint>

#include "media/formats/format_table.h"

namespace zorv::app {

namespace cmd {
inline constexpr int kOpen = 57601;
inline constexpr int kOpenAccel = 32779;
inline constexpr int kClose = 57602;
inline constexpr int kSaveImage = 32785;
inline constexpr int kDisplayMap = 32828;
inline constexpr int kBatch = 32812;
inline constexpr int kCapture = 32822;
inline constexpr int kProperties = 32818;
inline constexpr int kRecentFiles = 57616;
inline constexpr int kExit = 32773;
inline constexpr int kPlayPause = 32797;
inline constexpr int kStop = 32798;
inline constexpr int kFwdFrame = 32799;
inline constexpr int kBackFrame = 32800;
inline constexpr int kFwdSecond = 32801;
inline constexpr int kBackSecond = 32802;
inline constexpr int kFwdMinute = 32803;
inline constexpr int kBackMinute = 32804;
inline constexpr int kNextScene = 32808;
inline constexpr int kPreviousScene = 32809;
inline constexpr int kConvertAvi1 = 32792;
inline constexpr int kConvertAvi2 = 32793;
inline constexpr int kConvertRawDv = 32794;
inline constexpr int kBurnIn = 32778;
inline constexpr int kModify = 32786;
inline constexpr int kSplit = 32783;
inline constexpr int kExtractAudio = 32807;
inline constexpr int kExportMetadata = 32781;
inline constexpr int kExportSubtitles = 32825;
inline constexpr int kDirectBurnIn = 32816;
inline constexpr int kDirectModify = 32817;
inline constexpr int kOptions = 32775;
inline constexpr int kAbout = 32774;
inline constexpr int kOnlineHelp = 32821;
inline constexpr int kSystemAbout = 16;
// First and last picture (Home, End).
inline constexpr int kFirstFrame = 32840;
inline constexpr int kLastFrame = 32841;
// The next and previous stretch of damaged frames (Ctrl+Page Down, Ctrl+Page Up), and View > Show
// Damaged Blocks (Ctrl+D).
inline constexpr int kNextDamage = 32842;
inline constexpr int kPreviousDamage = 32843;
inline constexpr int kShowDamagedBlocks = 32844;
// The transport buttons and the recent-file entries (first entry; the others follow).
inline constexpr int kPlay = 1004;
inline constexpr int kPause = 1005;
inline constexpr int kStopButton = 1006;
inline constexpr int kRecentFirst = 0xE110;
}  // namespace cmd

// Enabled (true) or grey for every command that depends on the open file.
struct MenuState {
    bool close = false, saveImage = false, properties = false, displayMap = false;
    bool transport = false;  // play/pause, stop, frame and second (I-frame) steps
    bool minuteSteps = false;
    bool scenes = false;
    bool convertMenu = false, convertAvi1 = false, convertAvi2 = false, convertRawDv = false;
    bool extractAudio = false, burnIn = false, split = false, modify = false;
    bool directMenu = false, directBurnIn = false, directModify = false;
    bool exportMetadata = false, exportSubtitles = false;
    bool iFrameSteps = false;  // the one-second steps read and work as I-frame steps

    friend bool operator==(const MenuState&, const MenuState&) = default;
};

// The no-file state: everything that needs a file is grey.
inline MenuState noFileMenuState() { return MenuState{}; }
// The state for an open file of this container, video FourCC and geotagging.
MenuState menuStateFor(const media::FormatDescriptor& format, uint32_t fourcc, bool hasGeotagging);
inline MenuState menuStateFor(media::FileType type, uint32_t fourcc, bool hasGeotagging) {
    return menuStateFor(media::formatOf(type), fourcc, hasGeotagging);
}

}  // namespace zorv::app
