#include "app/progress_window.h"

#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include "core/settings_store.h"

namespace zorv::app {

int progressPercent(int64_t p, int64_t lower, int64_t upper) {
    if (upper <= lower) return 0;
    // percent = (p - lower) x 100 / (upper - lower) + 0.5, truncated
    const double v = static_cast<double>(p - lower) * 100.0 / static_cast<double>(upper - lower) + 0.5;
    return static_cast<int>(v);
}

std::optional<std::string> remainingTimeText(int percent, int64_t elapsedSeconds) {
    if (percent < 1) return std::nullopt;
    const int64_t r = (100 - percent) * elapsedSeconds / percent;
    const int64_t h = r / 3600, m = r / 60 - 60 * h, s = r % 60;
    char buf[64];
    if (h >= 1) {
        std::snprintf(buf, sizeof buf, "%d Hours %d Mins Remaining", static_cast<int>(h), static_cast<int>(m + 1));
    } else if (m >= 1) {
        std::snprintf(buf, sizeof buf, "%d Minutes Remaining", static_cast<int>(m + 1));
    } else if (s >= 2) {
        std::snprintf(buf, sizeof buf, "%d Seconds Remaining", static_cast<int>((s + 3) / 5 * 5));
    } else {
        return std::nullopt;
    }
    return std::string(buf);
}

namespace {

int64_t steadySeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(steady_clock::now().time_since_epoch()).count();
}

// The bar works in int; long ranges are scaled down to fit.
int barValue(int64_t p, int64_t lower, int64_t upper) {
    if (upper <= lower) return 0;
    if (p < lower) p = lower;
    if (p > upper) p = upper;
    return static_cast<int>((p - lower) * 10000 / (upper - lower));
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner, core::SettingsStore* settings)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      settings_(settings),
      clock_(steadySeconds) {
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(this);
    text_->setMinimumWidth(320);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 10000);
    bar_->setTextVisible(false);
    remaining_ = new QLabel(this);
    cancelButton_ = new QPushButton(QStringLiteral(" Cancel "), this);
    cancelButton_->setAutoDefault(false);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addWidget(remaining_);
    layout->addWidget(cancelButton_, 0, Qt::AlignHCenter);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });
    setWindowTitle(caption_);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::setCaption(const QString& caption) {
    caption_ = caption;
    percent_ = -1;
    setWindowTitle(caption_);
}

void ProgressWindow::setText(const QString& text) { text_->setText(text); }

void ProgressWindow::setRange(int64_t lower, int64_t upper) {
    lower_ = lower;
    upper_ = upper;
}

QString ProgressWindow::captionText() const { return windowTitle(); }
QString ProgressWindow::remainingText() const { return remaining_->text(); }

void ProgressWindow::setPosition(int64_t p) {
    position_ = p;
    const int percent = progressPercent(p, lower_, upper_);
    if (percent != percent_) {
        percent_ = percent;
        setWindowTitle(QString::asprintf("%s [%d%%]", caption_.toUtf8().constData(), percent));
    }
    const int64_t now = clock_();
    const int64_t elapsed = now - startSeconds_;
    if (elapsed >= 5 && percent >= 1 && (lastRemainingAt_ < 0 || now - lastRemainingAt_ >= 2)) {
        lastRemainingAt_ = now;
        if (auto line = remainingTimeText(percent, elapsed)) remaining_->setText(QString::fromStdString(*line));
    }
    if (p >= upper_) {
        bar_->setValue(bar_->maximum());
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        bar_->setValue(barValue(p, lower_, upper_));
    }
}

void ProgressWindow::start() {
    cancelled_ = false;
    running_ = true;
    percent_ = -1;
    lastRemainingAt_ = -1;
    remaining_->clear();
    bar_->setValue(0);
    setWindowTitle(caption_);
    startSeconds_ = clock_();
    adjustSize();
    bool placed = false;
    if (settings_) {
        const int x = settings_->progressWindowX(), y = settings_->progressWindowY();
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen && x >= 0 && y >= 0) {
            const QRect r = screen->geometry();
            if (r.contains(QPoint(x, y)) && r.contains(QPoint(x + width() - 1, y + height() - 1))) {
                move(x, y);
                placed = true;
            }
        }
    }
    if (!placed) {
        QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        QRect area = owner ? owner->frameGeometry()
                           : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect());
        if (area.isValid()) move(area.center() - rect().center());
    }
    show();
    raise();
    QApplication::processEvents();
}

void ProgressWindow::savePosition() {
    if (settings_) settings_->writeProgressWindowPosition(x(), y());
}

void ProgressWindow::finish() {
    if (!running_) return;
    running_ = false;
    savePosition();
    hide();
}

void ProgressWindow::cancel() {
    if (!running_) return;
    cancelled_ = true;
    running_ = false;
    hide();
    savePosition();
    emit cancelRequested();
}

void ProgressWindow::reject() { cancel(); }

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // The title bar's close box counts as Cancel while the work runs.
    if (running_) cancel();
    event->accept();
}

bool ProgressWindow::follow(core::Progress& progress, const std::function<bool()>& finished) {
    start();
    QElapsedTimer poll;
    poll.start();
    int64_t lastPoll = -200;
    while (!finished()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (cancelled_) {
            progress.cancel();
            return false;
        }
        if (poll.elapsed() - lastPoll >= 200) {
            lastPoll = poll.elapsed();
            const int64_t total = progress.total();
            if (total > 0) {
                setRange(0, total);
                setPosition(progress.done());
            }
        }
        QThread::msleep(10);
    }
    if (cancelled_) {
        progress.cancel();
        return false;
    }
    const int64_t total = progress.total();
    if (total > 0) {
        setRange(0, total);
        setPosition(total);
    }
    finish();
    return true;
}

}  // namespace zorv::app
