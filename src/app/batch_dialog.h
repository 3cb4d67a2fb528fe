// CBatchDialog, "Batch Processing": one operation applied to a list of files, with the log on screen
// and in "Batch-log.txt" of the output folder, the file and overall bars and the remaining time. The
// job runs on the batch runner's worker thread; a 200-ms timer polls it, appends its log lines and
// times out an HDV or AVCHD burn-in that has made no progress for 50 ticks.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "batch/batch_runner.h"
#include "batch/burn_checks.h"
#include "core/options.h"
#include "core/settings_store.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace zorv::app {

class CBatchDialog : public QDialog {
    Q_OBJECT
public:
    // The options are those of the main window at opening; the confirmations edit the dialog's copy.
    CBatchDialog(QWidget* parent, const core::Options& options, core::SettingsStore store = core::SettingsStore());
    ~CBatchDialog() override;

    enum class AddSource { kFileDialog, kDrop };
    // Adds files as Add and drop do: duplicates (compared without regard to case) are left out
    // silently, unrecognised files are counted and reported. Returns the number not recognised.
    int addFiles(const QStringList& paths, AddSource source);
    // The list's paths and check states, in order.
    QStringList paths() const;
    void setChecked(int row, bool checked);
    void selectOperation(const QString& listText);
    void setOutputFolder(const QString& folder);
    bool jobRunning() const;

    // The buttons (for tests and the keyboard).
    void onAdd();
    void onRemove();
    void checkAll(bool checked);
    void onStart();
    void onAbort();
    void onBrowse();

    // Replaces the burn-in jobs (tests drive an HDV or AVCHD decoder that never delivers).
    void setBurnJobMaker(tools::BurnJobMaker maker) { burnJobsOverride_ = std::move(maker); }
    // The job timer's interval (200 ms); the burn-in timeout counts its ticks.
    void setPollInterval(int ms);

    QPlainTextEdit* logView() const { return log_; }
    QLabel* statusLine() const { return status_; }
    QProgressBar* overallBar() const { return overallBar_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool confirmSettings(batch::BatchOp op);
    void setControlsEnabled(bool enabled);
    void appendLog(const QString& line);
    void pollJob();
    void finishJob();
    bool closeAllowed();

    core::Options options_;
    core::SettingsStore store_;
    QComboBox* operation_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton *add_ = nullptr, *remove_ = nullptr, *checkAll_ = nullptr, *uncheckAll_ = nullptr;
    QPushButton *start_ = nullptr, *abort_ = nullptr, *close_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QProgressBar *fileBar_ = nullptr, *overallBar_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unique_ptr<batch::BatchRunner> runner_;
    batch::BurnTimeoutWatch burnWatch_;
    tools::BurnJobMaker burnJobsOverride_;
    bool warnedLog_ = false;
};

// Opens the modeless Batch Processing window (deleted when closed) and returns it.
CBatchDialog* openBatchDialog(QWidget* parent, const core::Options& options = core::Options::defaults());

}  // namespace zorv::app
