// The per-user settings store: every value that survives a restart, in an INI file at
// "$XDG_CONFIG_HOME/ZORV/ZORV Pro 4.ini" (or "~/.config/ZORV/ZORV Pro 4.ini").
//
// Sections and values:
//   [Options]  RMWPos, RMWx, RMWy, RMWw, RMWh, RMWs   main window position memory
//              RCWx, RCWy, RCWh                        Capture window position
//              BatchOp, BatchFolder                    last choices of the Batch window
//              Mpeg2Guid/Mpeg2Name, AvcVGuid/AvcVName, AvcAGuid/AvcAName   decoder selections
//              DmgBlocks                               View > Show Damaged Blocks (0/1)
//   [Settings] X, Y                                    progress window position
//   [Recent File List] File1 .. File4                  recently opened media, newest first
//   [Defaults] the whole option record, stored by "Save all settings as default" and loaded at the
//              next start instead of the built-in defaults. One value per option, named as in
//              visitOptionFields(): integers and flags (0/1) as numbers, masks as their 32-bit value,
//              texts as strings, the output compressor as BurnCompGuid/BurnCompName, and the 32
//              user positions as the string BurnPositions = "x,y x,y ..." (32 pairs, 0..255 each).
//
// Every read opens the file afresh and every write replaces it atomically (temporary file, then
// rename) under an advisory lock, so several windows and processes see one another's values.
// Reads of missing values or values of the wrong type give the default; write failures are ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ini_document.h"
#include "core/options.h"
#include "core/window_placement.h"

namespace zorv::core {

inline constexpr std::string_view kSectionOptions = "Options";
inline constexpr std::string_view kSectionSettings = "Settings";
inline constexpr std::string_view kSectionRecentFiles = "Recent File List";
inline constexpr std::string_view kSectionDefaults = "Defaults";
inline constexpr int kRecentFileCount = 4;

enum class DecoderRole { kMpeg2Video, kAvcVideo, kAvcAudio };

class SettingsStore {
public:
    // The store at the user's default location.
    SettingsStore();
    // The store in a given file (tests, portable set-ups).
    explicit SettingsStore(std::filesystem::path file);

    // "<config>/ZORV/ZORV Pro 4.ini", <config> being $XDG_CONFIG_HOME when it is an absolute path,
    // else $HOME/.config.
    static std::filesystem::path defaultPath();
    const std::filesystem::path& path() const { return path_; }

    // The four primitive operations.
    std::int32_t readInt(std::string_view section, std::string_view name, std::int32_t defaultValue) const;
    void writeInt(std::string_view section, std::string_view name, std::int32_t value);
    std::string readString(std::string_view section, std::string_view name, std::string_view defaultValue) const;
    void writeString(std::string_view section, std::string_view name, std::string_view value);

    // Decoder selections. A GUID text that does not parse gives the all-zero GUID and "Not selected",
    // whatever name is stored.
    DecoderSelection readDecoderSelection(DecoderRole role) const;
    void writeDecoderSelection(DecoderRole role, const DecoderSelection& selection);

    // Recent files, newest first, at most four. Adding a path already listed moves it to the front.
    std::vector<std::string> recentFiles() const;
    void addRecentFile(std::string_view path);
    void removeRecentFile(std::string_view path);

    // Main window position memory.
    bool rememberMainWindowPosition() const;  // RMWPos > 0
    StoredMainPlacement readMainPlacement() const;
    // At exit: the placement is written only when `remember` is on; RMWPos is always written.
    void saveMainWindowOnExit(bool remember, const MainPlacement& placement);

    // View > Show Damaged Blocks, stored as soon as it is switched.
    void writeShowDamagedBlocks(bool on);

    StoredCapturePlacement readCapturePlacement() const;
    void writeCapturePlacement(const StoredCapturePlacement& stored);

    // Progress window top-left (default -1, -1).
    std::int32_t progressWindowX() const;
    std::int32_t progressWindowY() const;
    void writeProgressWindowPosition(std::int32_t x, std::int32_t y);

    // The option record for a new start: the saved defaults when there are any, else the built-in
    // defaults; then the decoder selections and the remember-position flag from their own values.
    Options loadStartupOptions(bool vmr9Available) const;
    // Stores every option of the record in [Defaults] (one replacement of the file).
    void saveOptionsAsDefaults(const Options& options);
    bool hasSavedDefaults() const;
    void clearSavedDefaults();

private:
    IniDocument load() const;
    void update(const std::function<void(IniDocument&)>& change);

    std::filesystem::path path_;
};

// The text form of the user position table, and back (nullopt unless exactly 32 pairs of 0..255).
std::string formatBurnPositions(const BurnPositionTable& table);
std::optional<BurnPositionTable> parseBurnPositions(std::string_view text);

}  // namespace zorv::core
