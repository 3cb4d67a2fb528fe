// The main window (CMainDialog): the video area, the metadata panel, the position slider with scene
// ticks, the transport buttons, volume and mute, and the menu bar. It opens media files, hands them
// to the player engine, keeps the menus in step with the open file, starts the tools through the
// tool launcher and holds the option record.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QMainWindow>
#include <QString>

#include "app/menu_state.h"
#include "app/tool_launcher.h"
#include "core/options.h"
#include "media/file_type.h"
#include "media/formats/format_table.h"
#include "playback/player.h"

class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;

namespace zorv::core {
class SettingsStore;
}

namespace zorv::app {

class DamageOutline;
class DamageScan;
class DamageStrip;
class MetadataPanel;
class PositionSlider;
class ProgressWindow;
class VideoView;

class CMainDialog : public QMainWindow {
    Q_OBJECT
public:
    // settings must outlive the window. openGlAvailable: the start-up probe of the OpenGL surface
    // (it decides the default renderer and which renderer choices are offered).
    explicit CMainDialog(core::SettingsStore& settings, bool openGlAvailable = true, QWidget* parent = nullptr);
    ~CMainDialog() override;

    // --- what the tools, the options sheet and the other windows use ---
    core::Options& options() { return options_; }
    core::SettingsStore& settings() { return settings_; }
    bool fileOpen() const { return format_ != nullptr; }
    const std::string& filePath() const { return path_; }
    std::string fileName() const;  // file-name part of the path
    // The open file's container (the unknown descriptor when none is open) and its family.
    const media::FormatDescriptor& fileFormat() const { return format_ ? *format_ : media::formatOf(media::FileType{}); }
    core::MediaFamily fileFamily() const { return fileFormat().family; }
    media::FileType fileType() const { return fileFormat().type; }
    int aviType() const { return fileFormat().aviType; }  // 1 or 2 for DV AVI, else 0
    uint32_t videoFourcc() const { return fourcc_; }
    bool hasGeotagging() const;
    playback::Player* player() { return fileOpen() ? player_.get() : nullptr; }
    bool playing() const;
    QWidget* window() { return this; }
    bool openGlAvailable() const { return openGl_; }

    // Pauses playback (the file stays open), as before every tool.
    void stopPlayback();
    // Closes the player and the file but remembers it (direct processing writes into it), and
    // opens it again at the same picture.
    void releaseCurrentFile();
    void reopenCurrentFile();

    // Opens a file as File > Open does with a given path (no dialog). False when it was refused or
    // failed; the window is then in the no-file state.
    bool openFile(const QString& path);
    // File > Close.
    void closeFile();
    // Opens a file given on the command line once the event loop runs.
    void openAtStart(const QString& path);
    // Shows the crash report of a previous run once (the path is the crash handler's by default).
    bool offerLastCrashReport(const std::string& reportPath);

    // Renderer change (options page "Rendering"): rebuilds the video surface.
    void applyRenderer();

    // Batch and Capture windows register themselves while they are open (exit is refused then).
    void setBatchWindow(QWidget* w) { batchWindow_ = w; }
    void setCaptureWindow(QWidget* w) { captureWindow_ = w; }

    // The window's shared progress window.
    ProgressWindow& progressWindow();

    // --- state that tests and the screenshot script read ---
    const MenuState& menuState() const { return menu_; }
    QAction* action(int commandId) const;
    QString panelText() const;
    int sliderValue() const;
    // The own-window renderers' window (null for the renderers inside the main window).
    QWidget* videoWindow() const { return videoWindow_; }
    MetadataPanel* metadataPanel() const { return panel_; }
    QSlider* volumeControl() const { return volume_; }
    // The damage of the open DV file: the background scan, its strip, the outline of the shown frame.
    const DamageScan& damageScan() const { return *damageScan_; }
    DamageStrip* damageStrip() const { return strip_; }
    const DamageOutline& damageOutline() const { return *outline_; }
    // The map address the last Display Map opened (empty when none).
    const QString& lastMapUrl() const { return lastMapUrl_; }

    // Commands by identifier (menu, keys, buttons all come here); a grey command is ignored.
    void command(int commandId);

    // Opens an address with the desktop's default handler; replaceable (tests record the address).
    using UrlOpener = std::function<bool(const QString&)>;
    static void setUrlOpener(UrlOpener opener);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    QAction* addCommand(QMenu* menu, int id, const QString& text);
    void applyMenuState();
    void showVideoWindow();
    void noteSoundDevice();
    void updateTitle();
    void updateRecentMenu();
    void restorePlacement();

    bool confirmDecoders();
    playback::PlayerConfig playerConfig() const;
    void onPicture();
    void onPlayerEvents();
    void refreshFromPlayer();
    void refreshSceneTicks();
    void reportStatus(const core::Status& status, const QString& title = QString());

    void openFromDialog();
    void playPause();
    void stepFrames(int64_t n);
    void goToPicture(int64_t index);
    void stepSeconds(int direction);
    void stepMinutes(int direction);
    void scene(bool next);
    void damagedFrame(bool next);
    void damageChanged();
    void showDamagedBlocks(bool on);
    void sliderMoved(int value);
    void toggleMute();
    void saveImage();
    void displayMap();
    void showAbout();
    void lastErrorReport(const QString& message, int sysError, const QString& title = QString());

    core::SettingsStore& settings_;
    bool openGl_;
    core::Options options_;
    std::unique_ptr<playback::Player> player_;
    playback::ShownPicture shown_;
    int64_t shownSerial_ = 0;

    std::string path_;
    const media::FormatDescriptor* format_ = nullptr;  // of the open file
    uint32_t fourcc_ = 0;
    std::string reel_;
    bool hasReel_ = false;
    MenuState menu_;

    std::string releasedPath_;
    int64_t releasedIndex_ = 0;

    VideoView* video_ = nullptr;
    QWidget* videoHost_ = nullptr;
    MetadataPanel* panel_ = nullptr;
    PositionSlider* slider_ = nullptr;
    DamageStrip* strip_ = nullptr;
    DamageScan* damageScan_ = nullptr;
    std::unique_ptr<DamageOutline> outline_;
    QSlider* volume_ = nullptr;
    QToolButton* muteButton_ = nullptr;
    bool muted_ = false;
    bool noSoundSaid_ = false;
    bool sliderTracking_ = false;
    std::atomic<bool> pictureQueued_{false};
    std::map<int, QAction*> actions_;
    QWidget* videoWindow_ = nullptr;  // own-window renderers: the window holding the view
    ProgressWindow* progress_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* convertMenu_ = nullptr;
    QMenu* directMenu_ = nullptr;
    QWidget* batchWindow_ = nullptr;
    QWidget* captureWindow_ = nullptr;
    QString lastMapUrl_;
};

}  // namespace zorv::app
