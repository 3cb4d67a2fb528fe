#include "app/capture_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "app/options_sheet.h"
#include "app/ui_prompts.h"
#include "capture/capture_status_text.h"
#include "capture/device_list.h"
#include "capture/free_space.h"
#include "core/window_placement.h"

namespace zorv::app {

namespace {

using capture::TransportCommand;

struct TransportButtonSpec {
    const char* text;
    const char* tip;
    TransportCommand command;
};

static const TransportButtonSpec kTransportButtons[] = {
    {"Rew", "Rewind", TransportCommand::kRewind},
    {"Play", "Play", TransportCommand::kPlay},
    {"FF", "Fast Forward", TransportCommand::kFastForward},
    {"Pause", "Pause", TransportCommand::kPause},
    {"Stop", "Stop", TransportCommand::kStop},
    {"Rew", "Play Rewind", TransportCommand::kPlayRewind},
    {"FF", "Play Fast Forward", TransportCommand::kPlayFastForward},
    {"BFr", "Backward Frame", TransportCommand::kBackwardFrame},
    {"FFr", "Forward Frame", TransportCommand::kForwardFrame},
};

const QString kErrorTitle = QStringLiteral("Error!");

// The folder whose volume receives the capture files.
std::string volumeOf(const QString& capturePath) {
    const QString dir = QFileInfo(capturePath).absolutePath();
    return dir.isEmpty() ? std::string(".") : dir.toStdString();
}

}  // namespace

CCaptureDialog::CCaptureDialog(QWidget* parent, const core::Options& options, core::SettingsStore store)
    : QDialog(parent), options_(options), store_(std::move(store)) {
    setWindowTitle(QStringLiteral("Capture DV"));
    setModal(false);
    buildUi();
    restorePlacement();
    refreshDevices();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &CCaptureDialog::updateStatus);
    timer_->start(200);
    updateFreeSpace();
    updateButtons();
}

CCaptureDialog::~CCaptureDialog() {
    if (session_) stopCapture();
    closeDevice();
}

void CCaptureDialog::buildUi() {
    auto* top = new QVBoxLayout(this);

    auto* preview = new QLabel(this);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setMinimumSize(360, 270);
    preview->setStyleSheet(QStringLiteral("background: black"));
    top->addWidget(preview);

    auto* source = new QGroupBox(QStringLiteral("Video Source"), this);
    auto* sg = new QGridLayout(source);
    deviceCombo_ = new QComboBox(source);
    refreshButton_ = new QPushButton(QStringLiteral("Refresh"), source);
    sg->addWidget(new QLabel(QStringLiteral("Device"), source), 0, 0);
    sg->addWidget(deviceCombo_, 0, 1, 1, 3);
    sg->addWidget(refreshButton_, 0, 4);
    mode_ = new QLabel(source);
    signal_ = new QLabel(source);
    timecode_ = new QLabel(source);
    dateTime_ = new QLabel(source);
    sg->addWidget(new QLabel(QStringLiteral("Mode"), source), 1, 0);
    sg->addWidget(mode_, 1, 1);
    sg->addWidget(new QLabel(QStringLiteral("Signal"), source), 1, 2);
    sg->addWidget(signal_, 1, 3);
    sg->addWidget(new QLabel(QStringLiteral("Timecode"), source), 2, 0);
    sg->addWidget(timecode_, 2, 1);
    sg->addWidget(new QLabel(QStringLiteral("Date/Time"), source), 2, 2);
    sg->addWidget(dateTime_, 2, 3);
    auto* buttons = new QHBoxLayout;
    for (const TransportButtonSpec& desc : kTransportButtons) {
        auto* b = new QPushButton(QString::fromLatin1(desc.text), source);
        b->setToolTip(QString::fromLatin1(desc.tip));
        const TransportCommand command = desc.command;
        connect(b, &QPushButton::clicked, this, [this, command] { transport(command); });
        buttons->addWidget(b);
        transportButtons_.push_back(b);
    }
    sg->addLayout(buttons, 3, 0, 1, 5);
    top->addWidget(source);

    auto* cap = new QGroupBox(QStringLiteral("Capture"), this);
    auto* cg = new QGridLayout(cap);
    capturePath_ = new QLineEdit(cap);
    browseButton_ = new QPushButton(QStringLiteral("Browse"), cap);
    reelName_ = new QLineEdit(cap);
    duration_ = new QLabel(cap);
    freeSpace_ = new QLabel(cap);
    useSplitter_ = new QCheckBox(QStringLiteral("Use Splitter"), cap);
    slaveToCamera_ = new QCheckBox(QStringLiteral("Slave to camera"), cap);
    useSplitter_->setChecked(options_.useSplitter);
    slaveToCamera_->setChecked(options_.slaveToCamera);
    dropped_ = new QLabel(QStringLiteral("0"), cap);
    captureButton_ = new QPushButton(QStringLiteral("Capture"), cap);
    pauseButton_ = new QPushButton(QStringLiteral("Pause"), cap);
    splitButton_ = new QPushButton(QStringLiteral("Split Now"), cap);
    optionsButton_ = new QPushButton(QStringLiteral("Options"), cap);
    fileNumber_ = new QLabel(cap);
    filePath_ = new QLabel(cap);
    logFile_ = new QLabel(cap);
    lastError_ = new QLabel(cap);
    lastError_->setWordWrap(true);
    buffer_ = new QProgressBar(cap);
    buffer_->setRange(0, 100);
    buffer_->setValue(0);

    int row = 0;
    cg->addWidget(new QLabel(QStringLiteral("Capture path"), cap), row, 0);
    cg->addWidget(capturePath_, row, 1, 1, 2);
    cg->addWidget(browseButton_, row++, 3);
    cg->addWidget(new QLabel(QStringLiteral("Reel name"), cap), row, 0);
    cg->addWidget(reelName_, row++, 1, 1, 3);
    cg->addWidget(new QLabel(QStringLiteral("Duration"), cap), row, 0);
    cg->addWidget(duration_, row, 1);
    cg->addWidget(new QLabel(QStringLiteral("Disk free space"), cap), row, 2);
    cg->addWidget(freeSpace_, row++, 3);
    cg->addWidget(useSplitter_, row, 0, 1, 2);
    cg->addWidget(slaveToCamera_, row++, 2, 1, 2);
    cg->addWidget(new QLabel(QStringLiteral("Dropped"), cap), row, 0);
    cg->addWidget(dropped_, row++, 1);
    auto* capButtons = new QHBoxLayout;
    for (QPushButton* b : {captureButton_, pauseButton_, splitButton_, optionsButton_}) capButtons->addWidget(b);
    cg->addLayout(capButtons, row++, 0, 1, 4);
    cg->addWidget(new QLabel(QStringLiteral("File number"), cap), row, 0);
    cg->addWidget(fileNumber_, row++, 1, 1, 3);
    cg->addWidget(new QLabel(QStringLiteral("File path"), cap), row, 0);
    cg->addWidget(filePath_, row++, 1, 1, 3);
    cg->addWidget(new QLabel(QStringLiteral("Log file"), cap), row, 0);
    cg->addWidget(logFile_, row++, 1, 1, 3);
    cg->addWidget(new QLabel(QStringLiteral("Last error"), cap), row, 0);
    cg->addWidget(lastError_, row++, 1, 1, 3);
    cg->addWidget(new QLabel(QStringLiteral("Buffer"), cap), row, 0);
    cg->addWidget(buffer_, row++, 1, 1, 3);
    top->addWidget(cap);

    closeButton_ = new QPushButton(QStringLiteral("Close"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton_);
    top->addLayout(bottom);

    connect(deviceCombo_, &QComboBox::activated, this, [this](int) { openSelectedDevice(); });
    connect(refreshButton_, &QPushButton::clicked, this, &CCaptureDialog::refreshDevices);
    connect(browseButton_, &QPushButton::clicked, this, &CCaptureDialog::browse);
    connect(captureButton_, &QPushButton::clicked, this, &CCaptureDialog::toggleCapture);
    connect(pauseButton_, &QPushButton::clicked, this, &CCaptureDialog::togglePause);
    connect(splitButton_, &QPushButton::clicked, this, &CCaptureDialog::splitNow);
    connect(optionsButton_, &QPushButton::clicked, this, &CCaptureDialog::showOptions);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
    connect(useSplitter_, &QCheckBox::toggled, this, [this](bool on) { options_.useSplitter = on; });
    connect(slaveToCamera_, &QCheckBox::toggled, this, [this](bool on) { options_.slaveToCamera = on; });
    connect(capturePath_, &QLineEdit::textChanged, this, [this] { freeSpaceTicks_ = 0; });
}

// ---------------------------------------------------------------- devices

void CCaptureDialog::refreshDevices() {
    if (session_) return;
    const QString selected = deviceCombo_->currentData().toString();
    deviceCombo_->clear();
    for (const capture::DeviceInfo& d : capture::enumerateDevices())
        deviceCombo_->addItem(QString::fromStdString(d.friendlyName), QString::fromStdString(d.id));
    for (const QString& id : extraDevices_) deviceCombo_->addItem(QFileInfo(id.mid(4)).fileName(), id);
    const int at = deviceCombo_->findData(selected);
    if (at >= 0) deviceCombo_->setCurrentIndex(at);
    openSelectedDevice();
}

bool CCaptureDialog::addAndSelectDevice(const QString& id, const QString& friendlyName) {
    if (session_) return false;
    if (!extraDevices_.contains(id)) extraDevices_ << id;
    int at = deviceCombo_->findData(id);
    if (at < 0) {
        deviceCombo_->addItem(friendlyName.isEmpty() ? QFileInfo(id.mid(4)).fileName() : friendlyName, id);
        at = deviceCombo_->count() - 1;
    }
    deviceCombo_->setCurrentIndex(at);
    openSelectedDevice();
    return device_ != nullptr;
}

void CCaptureDialog::closeDevice() {
    if (transport_) transport_->stop();
    if (device_) device_->stopStream();
    transport_.reset();
    device_.reset();
}

void CCaptureDialog::openSelectedDevice() {
    if (session_) return;
    closeDevice();
    removalShown_ = false;
    mode_->clear();
    signal_->clear();
    timecode_->clear();
    const QString id = deviceCombo_->currentData().toString();
    if (id.isEmpty()) {
        updateButtons();
        return;
    }
    core::Status st;
    device_ = capture::openDevice(id.toStdString(), simOptions_, st);
    if (!device_) {
        lastError_->setText(QString::fromStdString(st.message));
        QString text = QString::fromLatin1(capture::kBuildFailedMessage) + QStringLiteral("\r\n\r\n") +
                       QString::fromStdString(st.message.empty() ? "Failed to build capture graph" : st.message);
        showMessage(this, QMessageBox::Critical, kErrorTitle, text);
        updateButtons();
        return;
    }
    if (auto* deck = dynamic_cast<capture::SimDeck*>(device_.get())) {
        // An as-fast-as-possible deck waits while the capture buffer is full.
        deck->setReadyGate([this] {
            std::lock_guard<std::mutex> g(sessionLock_);
            return !session_ || session_->bufferHasRoom();
        });
    }
    const core::Status started = device_->startStream(
        [this](std::span<const uint8_t> frame) {
            std::lock_guard<std::mutex> g(sessionLock_);
            if (session_) session_->frameArrived(frame);
        },
        [this](capture::DeviceEvent event) {
            {
                std::lock_guard<std::mutex> g(sessionLock_);
                if (session_) session_->deviceEvent(event);
            }
            if (event == capture::DeviceEvent::kRemoved)
                QMetaObject::invokeMethod(
                    this, [this] { onDeviceRemoved(); }, Qt::QueuedConnection);
        });
    if (!started) {
        device_.reset();
        lastError_->setText(QString::fromStdString(started.message));
        showMessage(this, QMessageBox::Critical, kErrorTitle,
                    QString::fromLatin1(capture::kBuildFailedMessage) + QStringLiteral("\r\n\r\n") +
                        QString::fromStdString(started.message));
        updateButtons();
        return;
    }
    transport_ = std::make_unique<capture::TransportThread>(*device_);
    transport_->refreshStatus();
    updateButtons();
}

void CCaptureDialog::onDeviceRemoved() {
    if (removalShown_) return;
    removalShown_ = true;
    if (session_) finishCapture();
    lastError_->setText(QStringLiteral("Capture device removed"));
    showMessage(this, QMessageBox::Critical, QString::fromLatin1(capture::kDeviceRemovedTitle),
                QString::fromLatin1(capture::kDeviceRemovedMessage));
    closeDevice();
    mode_->clear();
    signal_->clear();
    timecode_->clear();
    updateButtons();
}

void CCaptureDialog::transport(capture::TransportCommand command) {
    if (transport_) transport_->post(command);
}

// ---------------------------------------------------------------- capture

void CCaptureDialog::setCapturePath(const QString& path) { capturePath_->setText(path); }
void CCaptureDialog::setReelName(const QString& reel) { reelName_->setText(reel); }
void CCaptureDialog::setUseSplitter(bool on) { useSplitter_->setChecked(on); }

void CCaptureDialog::toggleCapture() {
    if (session_) stopCapture();
    else startCapture();
}

void CCaptureDialog::startCapture() {
    if (!device_) return;
    auto session = std::make_unique<capture::CaptureSession>(*device_);
    session->setStreamOwnedByCaller(true);
    session->setSettings(
        capture::captureSettingsFrom(options_, capturePath_->text().toStdString(), reelName_->text().toStdString()));
    if (auto* deck = dynamic_cast<capture::SimDeck*>(device_.get())) session->setFreeSpaceQuery(deck->freeSpaceQuery());
    const core::Status st = session->start();
    if (!st) {
        lastError_->setText(QString::fromStdString(st.message));
        showMessage(this, QMessageBox::Critical, kErrorTitle, QString::fromStdString(st.message));
        return;
    }
    {
        std::lock_guard<std::mutex> g(sessionLock_);
        session_ = std::move(session);
    }
    lastError_->clear();
    duration_->setText(QStringLiteral("00:00:00"));
    logFile_->setText(QString::fromStdString(session_->logPath()));
    updateButtons();
}

void CCaptureDialog::stopCapture() {
    if (!session_) return;
    session_->stop();
    finishCapture();
}

void CCaptureDialog::finishCapture() {
    std::unique_ptr<capture::CaptureSession> session;
    {
        std::lock_guard<std::mutex> g(sessionLock_);
        session = std::move(session_);
    }
    if (!session) return;
    session->stop();
    const core::Status st = session->wait();
    lastFiles_ = session->files();
    const capture::CaptureStatus s = session->status();
    duration_->setText(QString::fromStdString(capture::durationText(static_cast<int64_t>(s.capturedSeconds))));
    dropped_->setText(QString::number(s.droppedFrames));
    buffer_->setValue(0);
    if (!st) lastError_->setText(QString::fromStdString(st.message));
    updateButtons();
    emit captureEnded();
}

void CCaptureDialog::togglePause() {
    if (!session_) return;
    if (session_->paused()) session_->resume();
    else session_->pause();
    updateButtons();
}

void CCaptureDialog::splitNow() {
    if (session_) session_->splitNow();
}

// ---------------------------------------------------------------- status lines

void CCaptureDialog::updateStatus() {
    if (transport_) {
        const capture::DeviceStatusLines lines = transport_->status();
        mode_->setText(QString::fromStdString(lines.mode));
        signal_->setText(QString::fromStdString(lines.signal));
        timecode_->setText(QString::fromStdString(lines.timecode));
        if (!session_ && !lines.lastError.empty()) lastError_->setText(QString::fromStdString(lines.lastError));
        for (QPushButton* b : transportButtons_) b->setEnabled(lines.vcr);
        transport_->refreshStatus();
    }
    if (++freeSpaceTicks_ >= 5 || freeSpaceTicks_ == 1) {
        freeSpaceTicks_ = 1;
        updateFreeSpace();
    }
    if (session_) {
        const capture::CaptureStatus s = session_->status();
        duration_->setText(QString::fromStdString(capture::durationText(static_cast<int64_t>(s.capturedSeconds))));
        dropped_->setText(QString::number(s.droppedFrames));
        buffer_->setValue(s.bufferSlots > 0 ? s.bufferFill * 100 / s.bufferSlots : 0);
        fileNumber_->setText(s.fileNumber > 0 ? QString::number(s.fileNumber) : QString());
        filePath_->setText(QString::fromStdString(s.filePath));
        if (!s.lastError.empty()) lastError_->setText(QString::fromStdString(s.lastError));
        if (!session_->running()) finishCapture();
    } else if (device_) {
        dropped_->setText(QString::number(device_->droppedFrames()));
    }
}

void CCaptureDialog::updateFreeSpace() {
    std::optional<uint64_t> bytes;
    const std::string volume = volumeOf(capturePath_->text());
    if (auto* deck = dynamic_cast<capture::SimDeck*>(device_.get())) bytes = deck->freeSpaceQuery()(volume);
    else bytes = capture::volumeFreeBytes(volume);
    freeSpace_->setText(QString::fromStdString(capture::freeSpaceText(bytes)));
}

void CCaptureDialog::updateButtons() {
    const bool running = session_ != nullptr;
    captureButton_->setText(running ? QStringLiteral("Stop Capture") : QStringLiteral("Capture"));
    pauseButton_->setText(running && session_->paused() ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    captureButton_->setEnabled(device_ != nullptr);
    pauseButton_->setEnabled(running);
    splitButton_->setEnabled(running);
    optionsButton_->setEnabled(device_ != nullptr && !running);
    browseButton_->setEnabled(device_ != nullptr && !running);
    capturePath_->setEnabled(device_ != nullptr && !running);
    reelName_->setEnabled(device_ != nullptr && !running);
    useSplitter_->setEnabled(device_ != nullptr && !running);
    slaveToCamera_->setEnabled(device_ != nullptr && !running);
    deviceCombo_->setEnabled(!running);
    refreshButton_->setEnabled(!running);
    if (!device_)
        for (QPushButton* b : transportButtons_) b->setEnabled(false);
}

QString CCaptureDialog::statusLine(const QString& name) const {
    const std::pair<const char*, QLabel*> lines[] = {
        {"Mode", mode_},          {"Signal", signal_},          {"Timecode", timecode_},
        {"Date/Time", dateTime_}, {"Duration", duration_},      {"Disk free space", freeSpace_},
        {"Dropped", dropped_},    {"File number", fileNumber_}, {"File path", filePath_},
        {"Log file", logFile_},   {"Last error", lastError_},
    };
    for (const auto& [n, label] : lines)
        if (name == QLatin1String(n)) return label->text();
    return QString();
}

QString CCaptureDialog::captureButtonText() const { return captureButton_->text(); }
QString CCaptureDialog::pauseButtonText() const { return pauseButton_->text(); }

// ---------------------------------------------------------------- browse, options, closing

void CCaptureDialog::browse() {
    const QString path = askSaveFileName(this, QStringLiteral("Set capture file name ..."), capturePath_->text(),
                                         QStringLiteral("AVI (*.avi)"), QStringLiteral("avi"));
    if (path.isEmpty()) return;
    const QFileInfo info(path);
    const QString base = info.suffix().isEmpty() ? path : info.path() + QLatin1Char('/') + info.completeBaseName();
    capturePath_->setText(base);
}

void CCaptureDialog::showOptions() {
    if (session_) return;
    if (!runConfirmationSheet(this, QStringLiteral("Capture Options"), {OptionsPageId::kCapture, OptionsPageId::kSplitter},
                              options_))
        return;
    useSplitter_->setChecked(options_.useSplitter);
    slaveToCamera_->setChecked(options_.slaveToCamera);
}

void CCaptureDialog::restorePlacement() {
    adjustSize();
    const QSize size = sizeHint();
    QScreen* screen = QApplication::primaryScreen();
    const QSize avail = screen ? screen->availableGeometry().size() : QSize(1920, 1080);
    const auto rect = core::restoreCapturePlacement(store_.readCapturePlacement(), size.width(), size.height(),
                                                    core::ScreenSize{avail.width(), avail.height()});
    if (rect) setGeometry(rect->left, rect->top, rect->width(), rect->bottom - rect->top);
}

void CCaptureDialog::savePlacement() {
    const QRect g = geometry();
    store_.writeCapturePlacement(
        core::storedFromCaptureRect(core::WindowRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}));
}

void CCaptureDialog::closeEvent(QCloseEvent* event) {
    if (session_) stopCapture();
    savePlacement();
    if (timer_) timer_->stop();
    closeDevice();
    event->accept();
}

void CCaptureDialog::reject() { close(); }

CCaptureDialog* openCaptureDialog(QWidget* parent, const core::Options& options, core::SettingsStore store) {
    auto* dialog = new CCaptureDialog(parent, options, std::move(store));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

}  // namespace zorv::app
