// The shared progress window: a modeless pop-up with a caption that carries the percentage, a text
// line, a progress bar, a remaining-time line and " Cancel ". While it is open its owner window takes
// no input; Escape or Cancel cancels. Its top-left corner is remembered in "Settings" X/Y.
//
// Used by the main window (scene scan), the tool launcher, the batch and the capture code: either
// drive it with setPosition() from your own loop (pumping events), or hand it a core::Progress with
// follow(), which polls it every 200 ms until the work is finished or the user cancels.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QDialog>
#include <QString>

#include "core/job.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zorv::core {
class SettingsStore;
}

namespace zorv::app {

// Whole percent of p in lower..upper, rounded half up (0 when upper <= lower).
int progressPercent(int64_t p, int64_t lower, int64_t upper);
// The remaining-time line for a percentage reached after elapsedSeconds; nothing when the line is to
// be left as it was (below 1 %, or less than two seconds left).
std::optional<std::string> remainingTimeText(int percent, int64_t elapsedSeconds);

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    // settings may be null (no position memory).
    ProgressWindow(QWidget* owner, core::SettingsStore* settings);
    ~ProgressWindow() override;

    void setCaption(const QString& caption);  // base caption, default "Progress"
    void setText(const QString& text);
    void setRange(int64_t lower, int64_t upper);  // default 0..100
    void setPosition(int64_t p);

    // Shows the window (owner blocked), placed at the remembered position when that lies on the
    // screen, else centred; notes the start time.
    void start();
    // Closes the window after the work ended, saving its position.
    void finish();
    bool cancelled() const { return cancelled_; }

    // Shows the window and polls progress every 200 ms (done/total as the bar) until finished()
    // returns true or the user cancels; a cancel also calls progress.cancel(). Returns false when
    // cancelled. The window is closed on return.
    bool follow(core::Progress& progress, const std::function<bool()>& finished);

    // Seconds since some fixed point; replaceable for tests.
    void setClock(std::function<int64_t()> seconds) { clock_ = std::move(seconds); }

    QString captionText() const;
    QString remainingText() const;

signals:
    void cancelRequested();

protected:
    void reject() override;  // Escape
    void closeEvent(QCloseEvent* event) override;

private:
    void cancel();
    void savePosition();

    core::SettingsStore* settings_;
    QLabel* text_;
    QProgressBar* bar_;
    QLabel* remaining_;
    QPushButton* cancelButton_;
    QString caption_ = QStringLiteral("Progress");
    int64_t lower_ = 0, upper_ = 100, position_ = 0;
    int percent_ = -1;
    int64_t startSeconds_ = 0;
    int64_t lastRemainingAt_ = -1;
    bool cancelled_ = false;
    bool running_ = false;
    std::function<int64_t()> clock_;
};

}  // namespace zorv::app
