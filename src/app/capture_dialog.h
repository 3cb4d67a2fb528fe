// CCaptureDialog, "Capture DV": records DV from a camcorder or deck into AVI files. The window owns the
// device's frame stream for as long as a device is selected and hands the frames to a capture session
// while one runs; tape transport commands and the status queries go through a transport thread, so no
// button ever waits for the device. A 200-ms timer refreshes the status lines from the session and the
// transport thread and notices a capture that stopped by itself.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

#include "capture/capture_session.h"
#include "capture/sim_deck.h"
#include "capture/transport_thread.h"
#include "core/options.h"
#include "core/settings_store.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zorv::app {

class CCaptureDialog : public QDialog {
    Q_OBJECT
public:
    // The options are the main window's at opening; "Capture Options" edits the window's copy.
    CCaptureDialog(QWidget* parent, const core::Options& options, core::SettingsStore store = core::SettingsStore());
    ~CCaptureDialog() override;

    // How a "sim:FILE" device plays its tape (tests use as-fast-as-possible pacing).
    void setSimDeckOptions(const capture::SimDeckOptions& options) { simOptions_ = options; }
    // Adds a device id (e.g. "sim:/path/tape.dv") to the Device list, selects and opens it.
    bool addAndSelectDevice(const QString& id, const QString& friendlyName = QString());
    // Lists the devices again ("Refresh"), keeping added simulated decks, and reopens the selection.
    void refreshDevices();

    void setCapturePath(const QString& path);
    void setReelName(const QString& reel);
    void setUseSplitter(bool on);

    // The buttons.
    void toggleCapture();  // "Capture" / "Stop Capture"
    void togglePause();    // "Pause" / "Resume"
    void splitNow();
    void transport(capture::TransportCommand command);

    bool capturing() const { return session_ != nullptr; }
    bool deviceOpen() const { return device_ != nullptr; }
    capture::CaptureDevice* device() const { return device_.get(); }
    // The files of the last finished capture.
    const std::vector<capture::CapturedFile>& lastFiles() const { return lastFiles_; }
    // The status lines as shown ("Mode", "Signal", "Timecode", "Duration", "Disk free space", "Dropped",
    // "File number", "File path", "Log file", "Last error"), and the buffer bar.
    QString statusLine(const QString& name) const;
    QString captureButtonText() const;
    QString pauseButtonText() const;

signals:
    // A capture ended (by the button or by itself); lastFiles() holds its files.
    void captureEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildUi();
    void openSelectedDevice();
    void closeDevice();
    void startCapture();
    void stopCapture();
    void finishCapture();
    void updateStatus();
    void updateFreeSpace();
    void updateButtons();
    void browse();
    void showOptions();
    void onDeviceRemoved();
    void restorePlacement();
    void savePlacement();

    core::Options options_;
    core::SettingsStore store_;
    capture::SimDeckOptions simOptions_;
    QStringList extraDevices_;  // simulated decks added by id

    std::unique_ptr<capture::CaptureDevice> device_;
    std::unique_ptr<capture::TransportThread> transport_;
    std::unique_ptr<capture::CaptureSession> session_;
    std::mutex sessionLock_;  // the device thread's view of session_
    std::vector<capture::CapturedFile> lastFiles_;
    int freeSpaceTicks_ = 0;
    bool removalShown_ = false;

    QComboBox* deviceCombo_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QLabel* mode_ = nullptr;
    QLabel* signal_ = nullptr;
    QLabel* timecode_ = nullptr;
    QLabel* dateTime_ = nullptr;
    std::vector<QPushButton*> transportButtons_;
    QLineEdit* capturePath_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QLineEdit* reelName_ = nullptr;
    QLabel* duration_ = nullptr;
    QLabel* freeSpace_ = nullptr;
    QCheckBox* useSplitter_ = nullptr;
    QCheckBox* slaveToCamera_ = nullptr;
    QLabel* dropped_ = nullptr;
    QPushButton* captureButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* splitButton_ = nullptr;
    QPushButton* optionsButton_ = nullptr;
    QLabel* fileNumber_ = nullptr;
    QLabel* filePath_ = nullptr;
    QLabel* logFile_ = nullptr;
    QLabel* lastError_ = nullptr;
    QProgressBar* buffer_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QTimer* timer_ = nullptr;
};

// Opens the modeless Capture window (deleted when closed) and returns it.
CCaptureDialog* openCaptureDialog(QWidget* parent, const core::Options& options = core::Options::defaults(),
                                  core::SettingsStore store = core::SettingsStore());

}  // namespace zorv::app
