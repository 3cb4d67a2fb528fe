#include "media/avchd_stream_info.h"
// clang-format off
#include "app/main_dialog.h"
// clang-format on

#include <cstring>
#include <filesystem>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/batch_dialog.h"
#include "app/capture_dialog.h"
#include "app/crash_report_offer.h"
#include "app/damage_outline.h"
#include "app/damage_scan.h"
#include "app/damage_strip.h"
#include "app/file_properties.h"
#include "app/first_run.h"
#include "app/metadata_panel.h"
#include "app/opt_render.h"
#include "app/options_sheet.h"
#include "app/position_slider.h"
#include "app/progress_window.h"
#include "app/ui_prompts.h"
#include "app/video_view.h"
#include "core/settings_store.h"
#include "core/window_placement.h"
#include "media/avi_chunks.h"
#include "media/codec/codec_registry.h"
#include "media/file_io.h"
#include "media/output_file.h"
#include "media/recognize.h"
#include "playback/bitmap_writer.h"
#include "playback/map_request.h"
#include "tools/avi_repair.h"

namespace zorv::app {

namespace {

constexpr const char* kAppTitle = "ZORV Pro";
constexpr const char* kVersion = "4.0";
constexpr const char* kHelpUrl = "https://zorv.org/help";
constexpr const char* kErrorTitle = "Error!";

constexpr const char* kOpenFailedText = "Unable to open the requested file:\r\n\r\n%1";
constexpr const char* kReadFailedText = "Unable to read the requested file:\r\n\r\n%1";
QString noDecoderText(const char* what) {
    return QString(
               "ZORV Pro is not yet configured with a 3rd party %1.\r\n\r\nPlease go to the \"Decoders\" section "
               "of the Tools->Options dialog and select a 3rd party %1 from the list of those which are "
               "installed on your PC. If the list is empty then your PC does not have a suitable %1 installed, "
               "and you will need to install one before proceeding.\r\n\r\nFor more details, see the "
               "\"Decoders\" section of the online help.")
        .arg(QString::fromLatin1(what));
}

constexpr const char* kOpenFilter =
    "All (*.*);;"
    "DV, HDV & AVCHD (*.avi, *.dv, *.m2t, *.mpg, *.mpeg, *.mts, *.m2ts) (*.avi *.dv *.m2t *.mpg *.mpeg *.mts *.m2ts);;"
    "DV AVI (*.avi) (*.AVI *.avi);;"
    "Raw DV (*.dv) (*.dv);;"
    "HDV (*.m2t, *.mpg, *.mpeg) (*.m2t *.mpg *.mpeg);;"
    "AVCHD (*.mts, *.m2ts) (*.mts *.m2ts)";
constexpr const char* kOpenFilterPreselected =
    "DV, HDV & AVCHD (*.avi, *.dv, *.m2t, *.mpg, *.mpeg, *.mts, *.m2ts) (*.avi *.dv *.m2t *.mpg *.mpeg *.mts *.m2ts)";

constexpr int64_t kSecond = 10000000;  // 100-ns units

// A DV AVI that cannot be opened (a capture cut by a crash leaves no index and no sizes) can be
// rebuilt from its chunks into a new file beside it. Returns the repaired file's path, or nothing
// when the user declined or the repair failed (the failure is shown).
std::string offerRepair(QWidget* parent, const std::string& path, const std::string& error) {
    const std::string out = tools::repairOutputName(path);
    const QString text =
        QString::fromStdString(error) + QStringLiteral(
                                            "\r\n\r\nIts index or sizes may be missing or cut short. Rebuild them into a "
                                            "new file and open that?\r\n\r\n%1")
                                            .arg(QString::fromStdString(out));
    if (showMessage(parent, QMessageBox::Question, kErrorTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes)
        return {};
    media::OutputFile file;
    core::Status s = file.begin(out, media::OutputRules{false, {path}});
    if (s) s = tools::repairDvAvi(path, file.tempPath());
    if (s) s = file.commit();
    if (!s) {
        showMessage(parent, QMessageBox::Critical, kErrorTitle, QString::fromStdString(s.message));
        return {};
    }
    return out;
}

CMainDialog::UrlOpener& urlOpener() {
    static CMainDialog::UrlOpener opener = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
    return opener;
}

}  // namespace

void CMainDialog::setUrlOpener(UrlOpener opener) {
    urlOpener() =
        opener ? std::move(opener) : UrlOpener([](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); });
}

CMainDialog::CMainDialog(core::SettingsStore& settings, bool openGlAvailable, QWidget* parent)
    : QMainWindow(parent), settings_(settings), openGl_(openGlAvailable) {
    setWindowTitle(kAppTitle);
    setWindowIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    // Start-up: menus, controls, the stored choices, then the placement.
    options_ = settings_.loadStartupOptions(openGl_);
    preselectBuiltInDecoders(settings_, options_);
    outline_ = std::make_unique<DamageOutline>();
    setRendererAvailability(RendererAvailability{true, openGl_});
    buildMenus();
    buildControls();
    applyMenuState();
    restorePlacement();
    setAcceptDrops(true);
}

CMainDialog::~CMainDialog() {
    damageScan_->disconnect(this);
    damageScan_->stop();
    if (player_) {
        player_->setPictureCallback(nullptr);
        player_->setEventCallback(nullptr);
        player_->close();
    }
}

// ---------------------------------------------------------------- building

QAction* CMainDialog::addCommand(QMenu* menu, int id, const QString& text) {
    QAction* a = menu->addAction(text);
    actions_[id] = a;
    connect(a, &QAction::triggered, this, [this, id] { command(id); });
    return a;
}

QAction* CMainDialog::action(int commandId) const {
    auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainDialog::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = addCommand(file, cmd::kOpen, QStringLiteral("&Open...\tCtl+O"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    open->setShortcutContext(Qt::WindowShortcut);
    addCommand(file, cmd::kClose, QStringLiteral("&Close"));
    file->addSeparator();
    addCommand(file, cmd::kSaveImage, QStringLiteral("Save &Image..."));
    addCommand(file, cmd::kDisplayMap, QStringLiteral("Display &Map"));
    file->addSeparator();
    addCommand(file, cmd::kBatch, QStringLiteral("&Batch Processing..."));
    addCommand(file, cmd::kCapture, QStringLiteral("C&apture DV..."));
    file->addSeparator();
    addCommand(file, cmd::kProperties, QStringLiteral("&Properties"));
    file->addSeparator();
    recentMenu_ = file->addMenu(QStringLiteral("&Recent Files"));
    actions_[cmd::kRecentFiles] = recentMenu_->menuAction();
    file->addSeparator();
    addCommand(file, cmd::kExit, QStringLiteral("E&xit"));
    updateRecentMenu();

    QMenu* play = menuBar()->addMenu(QStringLiteral("&Play"));
    addCommand(play, cmd::kPlayPause, QStringLiteral("&Play/Pause\tSpace"));
    addCommand(play, cmd::kStop, QStringLiteral("&Stop\tPeriod"));
    play->addSeparator();
    addCommand(play, cmd::kFwdFrame, QStringLiteral("&Fwd Frame\tRight"));
    addCommand(play, cmd::kBackFrame, QStringLiteral("&Back Frame\tLeft"));
    addCommand(play, cmd::kFwdSecond, QStringLiteral("F&wd 1 sec\tShift+Right"));
    addCommand(play, cmd::kBackSecond, QStringLiteral("B&ack 1 sec\tShift+Left"));
    addCommand(play, cmd::kFwdMinute, QStringLiteral("Fw&d 1 min\tCtrl+Right"));
    addCommand(play, cmd::kBackMinute, QStringLiteral("Ba&ck 1 min\tCtrl+Left"));
    addCommand(play, cmd::kFirstFrame, QStringLiteral("F&irst Frame\tHome"));
    addCommand(play, cmd::kLastFrame, QStringLiteral("&Last Frame\tEnd"));
    play->addSeparator();
    addCommand(play, cmd::kNextScene, QStringLiteral("&Next Scene\tPage Down"));
    addCommand(play, cmd::kPreviousScene, QStringLiteral("P&revious Scene\tPage Up"));
    play->addSeparator();
    addCommand(play, cmd::kNextDamage, QStringLiteral("Next Da&maged Frame\tCtrl+Page Down"));
    addCommand(play, cmd::kPreviousDamage, QStringLiteral("Previous Dama&ged Frame\tCtrl+Page Up"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* blocks = addCommand(view, cmd::kShowDamagedBlocks, QStringLiteral("Show &Damaged Blocks\tCtrl+D"));
    blocks->setCheckable(true);
    blocks->setChecked(options_.showDamagedBlocks);
    blocks->setToolTip(
        QStringLiteral("Outlines the blocks of a DV picture that the deck concealed (amber) or could "
                       "not conceal (red)"));

    // The keys are the actions' shortcuts on this window: they work whichever child has the focus,
    // and a grey command ignores its key.
    const std::pair<int, QKeySequence> keys[] = {
        {cmd::kPlayPause, QKeySequence(Qt::Key_Space)},
        {cmd::kStop, QKeySequence(Qt::Key_Period)},
        {cmd::kFwdFrame, QKeySequence(Qt::Key_Right)},
        {cmd::kBackFrame, QKeySequence(Qt::Key_Left)},
        {cmd::kFwdSecond, QKeySequence(Qt::SHIFT | Qt::Key_Right)},
        {cmd::kBackSecond, QKeySequence(Qt::SHIFT | Qt::Key_Left)},
        {cmd::kFwdMinute, QKeySequence(Qt::CTRL | Qt::Key_Right)},
        {cmd::kBackMinute, QKeySequence(Qt::CTRL | Qt::Key_Left)},
        {cmd::kFirstFrame, QKeySequence(Qt::Key_Home)},
        {cmd::kLastFrame, QKeySequence(Qt::Key_End)},
        {cmd::kNextScene, QKeySequence(Qt::Key_PageDown)},
        {cmd::kPreviousScene, QKeySequence(Qt::Key_PageUp)},
        {cmd::kNextDamage, QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
        {cmd::kPreviousDamage, QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
        {cmd::kShowDamagedBlocks, QKeySequence(Qt::CTRL | Qt::Key_D)},
        {cmd::kDisplayMap, QKeySequence(Qt::CTRL | Qt::Key_M)},
    };
    for (const auto& [id, seq] : keys) {
        QAction* a = action(id);
        a->setShortcut(seq);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setAutoRepeat(id != cmd::kPlayPause && id != cmd::kStop);
    }

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    convertMenu_ = tools->addMenu(QStringLiteral("&Convert to"));
    addCommand(convertMenu_, cmd::kConvertAvi1, QStringLiteral("AVI Type &1"));
    addCommand(convertMenu_, cmd::kConvertAvi2, QStringLiteral("AVI Type &2"));
    addCommand(convertMenu_, cmd::kConvertRawDv, QStringLiteral("&Raw DV"));
    addCommand(tools, cmd::kBurnIn, QStringLiteral("&Burn-In Metadata..."));
    addCommand(tools, cmd::kModify, QStringLiteral("&Modify Metadata..."));
    addCommand(tools, cmd::kSplit, QStringLiteral("&Split File..."));
    addCommand(tools, cmd::kExtractAudio, QStringLiteral("Extract &Audio..."));
    addCommand(tools, cmd::kExportMetadata, QStringLiteral("E&xport Metadata..."));
    addCommand(tools, cmd::kExportSubtitles, QStringLiteral("Export Sub&titles..."));
    tools->addSeparator();
    directMenu_ = tools->addMenu(QStringLiteral("&Direct File Processing"));
    addCommand(directMenu_, cmd::kDirectBurnIn, QStringLiteral("&Burn-In Metadata..."));
    addCommand(directMenu_, cmd::kDirectModify, QStringLiteral("&Modify Metadata..."));
    tools->addSeparator();
    addCommand(tools, cmd::kOptions, QStringLiteral("&Options..."));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, cmd::kAbout, QStringLiteral("&About..."));
    addCommand(help, cmd::kOnlineHelp, QStringLiteral("Online &Help"));
}

void CMainDialog::buildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    videoHost_ = new QWidget(central);
    videoHost_->setObjectName(QStringLiteral("videoArea"));
    videoHost_->setAutoFillBackground(true);
    QPalette pal = videoHost_->palette();
    pal.setColor(QPalette::Window, Qt::black);
    videoHost_->setPalette(pal);
    auto* hostLayout = new QVBoxLayout(videoHost_);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    videoHost_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(videoHost_, 1);

    panel_ = new MetadataPanel(central);
    layout->addWidget(panel_, 0);

    slider_ = new PositionSlider(central);
    connect(slider_, &QAbstractSlider::actionTriggered, this, [this](int) { sliderMoved(slider_->sliderPosition()); });
    layout->addWidget(slider_, 0);
    strip_ = new DamageStrip(slider_, central);
    connect(strip_, &DamageStrip::frameClicked, this, [this](int64_t n) { goToPicture(n); });
    layout->addWidget(strip_, 0);
    strip_->hide();  // shown while a DV file is open
    damageScan_ = new DamageScan(this);
    connect(damageScan_, &DamageScan::changed, this, [this] { damageChanged(); });

    auto* row = new QHBoxLayout();
    row->setSpacing(2);
    auto button = [&](int id, QStyle::StandardPixmap icon, const QString& letter, const QString& tip) {
        auto* b = new QToolButton(central);
        b->setAutoRaise(true);  // highlighted while the mouse is over it
        b->setIcon(style()->standardIcon(icon));
        b->setText(letter);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        b->setObjectName(tip);
        connect(b, &QToolButton::clicked, this, [this, id] { command(id); });
        row->addWidget(b);
        return b;
    };
    button(cmd::kPlay, QStyle::SP_MediaPlay, QStringLiteral("P"), QStringLiteral("Play"));
    button(cmd::kPause, QStyle::SP_MediaPause, QStringLiteral("|"), QStringLiteral("Pause"));
    button(cmd::kStopButton, QStyle::SP_MediaStop, QStringLiteral("S"), QStringLiteral("Stop"));
    row->addSpacing(8);
    button(cmd::kBackFrame, QStyle::SP_MediaSeekBackward, QStringLiteral("B"), QStringLiteral("Backward Frame"));
    button(cmd::kFwdFrame, QStyle::SP_MediaSeekForward, QStringLiteral("F"), QStringLiteral("Forward Frame"));
    row->addSpacing(8);
    button(cmd::kPreviousScene, QStyle::SP_MediaSkipBackward, QStringLiteral("B"), QStringLiteral("Previous Scene"));
    button(cmd::kNextScene, QStyle::SP_MediaSkipForward, QStringLiteral("F"), QStringLiteral("Next Scene"));
    row->addStretch(1);
    muteButton_ = new QToolButton(central);
    muteButton_->setAutoRaise(true);
    muteButton_->setText(QStringLiteral("M"));
    muteButton_->setToolTip(QStringLiteral("Mute"));
    muteButton_->setObjectName(QStringLiteral("Mute"));
    muteButton_->setCheckable(true);
    muteButton_->setFocusPolicy(Qt::NoFocus);
    muteButton_->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    connect(muteButton_, &QToolButton::clicked, this, [this] { toggleMute(); });
    row->addWidget(muteButton_);
    volume_ = new QSlider(Qt::Horizontal, central);
    volume_->setRange(0, 100);
    volume_->setValue(100);
    volume_->setFixedWidth(90);
    volume_->setFocusPolicy(Qt::NoFocus);
    connect(volume_, &QSlider::valueChanged, this, [this](int v) {
        if (player_) player_->setVolume(v);
    });
    row->addWidget(volume_);
    layout->addLayout(row);
    setCentralWidget(central);
    applyRenderer();
}

void CMainDialog::applyRenderer() {
    const QImage last = video_ ? video_->image() : QImage();
    if (video_) delete video_->widget();
    video_ = nullptr;
    if (videoWindow_) {
        delete videoWindow_;
        videoWindow_ = nullptr;
    }
    int renderer = options_.renderer;
    if (rendererUsesOpenGl(renderer) && !openGl_) renderer = rendererHasOwnWindow(renderer) ? 3 : 1;
    if (rendererHasOwnWindow(renderer)) {
        videoWindow_ = new QWidget(this, Qt::Window);
        videoWindow_->setWindowTitle(QStringLiteral("ZORV Pro - Video"));
        auto* l = new QVBoxLayout(videoWindow_);
        l->setContentsMargins(0, 0, 0, 0);
        video_ = createVideoView(renderer, videoWindow_);
        l->addWidget(video_->widget());
        videoWindow_->resize(720, 540);
        // The window's keys are the main window's: the shortcuts work while it has the focus.
        for (const auto& [id, a] : actions_)
            if (!a->shortcut().isEmpty()) videoWindow_->addAction(a);
        videoWindow_->show();
    } else {
        video_ = createVideoView(renderer, videoHost_);
        videoHost_->layout()->addWidget(video_->widget());
    }
    video_->setOutline(options_.showDamagedBlocks ? outline_.get() : nullptr);
    // With a window of its own the main window keeps no empty video area.
    videoHost_->setVisible(!videoWindow_);
    if (player_ && fileOpen() && player_->currentPicture(shown_)) video_->setPicture(shown_);
    (void)last;
}

void CMainDialog::noteSoundDevice() {
    if (!player_ || player_->audio().hasMixer()) return;
    // Said once: the volume and mute controls stay grey with the reason as their tooltip.
    static const QString kNoSound = QStringLiteral("No sound device: playing without sound");
    volume_->setEnabled(false);
    muteButton_->setEnabled(false);
    volume_->setToolTip(kNoSound);
    muteButton_->setToolTip(kNoSound);
    if (!noSoundSaid_) statusBar()->showMessage(kNoSound, 10000);
    noSoundSaid_ = true;
}

void CMainDialog::showVideoWindow() {
    if (!videoWindow_ || videoWindow_->isVisible()) return;
    videoWindow_->show();
    videoWindow_->raise();
}

void CMainDialog::restorePlacement() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect sr = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
    const core::ScreenSize screenSize{sr.width(), sr.height()};
    if (options_.rememberMainWindowPosition) {
        if (auto placement = core::restoreMainPlacement(settings_.readMainPlacement(), screenSize)) {
            const core::WindowRect& r = placement->normal;
            setGeometry(r.left, r.top, r.width(), r.height());
            if (placement->showState == core::kShowMaximized) setWindowState(Qt::WindowMaximized);
            return;
        }
    }
    // Default: a video area of 360 x 240.
    videoHost_->setMinimumSize(360, 240);
    adjustSize();
    const QSize s = this->size();
    videoHost_->setMinimumSize(160, 120);
    const core::WindowRect fit = core::fitDefaultMainWindow(core::WindowRect{x(), y(), x() + s.width(), y() + s.height()},
                                                            s.width(), s.height(), screenSize);
    setGeometry(fit.left, fit.top, fit.width(), fit.height());
}

// ---------------------------------------------------------------- state

std::string CMainDialog::fileName() const { return std::filesystem::path(path_).filename().string(); }

bool CMainDialog::hasGeotagging() const { return fileOpen() && player_ && player_->hasGeotagging(); }

bool CMainDialog::playing() const { return fileOpen() && player_ && player_->state() == playback::PlayerState::kRunning; }

QString CMainDialog::panelText() const { return panel_->text(); }
int CMainDialog::sliderValue() const { return slider_->value(); }

ProgressWindow& CMainDialog::progressWindow() {
    if (!progress_) progress_ = new ProgressWindow(this, &settings_);
    return *progress_;
}

void CMainDialog::applyMenuState() {
    menu_ = fileOpen() ? menuStateFor(fileFormat(), fourcc_, hasGeotagging()) : noFileMenuState();
    const MenuState& m = menu_;
    auto set = [this](int id, bool on) {
        if (QAction* a = action(id)) a->setEnabled(on);
    };
    set(cmd::kClose, m.close);
    set(cmd::kSaveImage, m.saveImage);
    set(cmd::kProperties, m.properties);
    set(cmd::kDisplayMap, m.displayMap);
    for (int id : {cmd::kPlayPause, cmd::kStop, cmd::kFwdFrame, cmd::kBackFrame, cmd::kFwdSecond, cmd::kBackSecond,
                   cmd::kFirstFrame, cmd::kLastFrame})
        set(id, m.transport);
    set(cmd::kFwdMinute, m.minuteSteps);
    set(cmd::kBackMinute, m.minuteSteps);
    set(cmd::kNextScene, m.scenes);
    set(cmd::kPreviousScene, m.scenes);
    // DV files with damage found so far.
    const bool damage = m.scenes && damageScan_ && !damageScan_->runs().empty();
    set(cmd::kNextDamage, damage);
    set(cmd::kPreviousDamage, damage);
    convertMenu_->menuAction()->setEnabled(m.convertMenu);
    set(cmd::kConvertAvi1, m.convertAvi1);
    set(cmd::kConvertAvi2, m.convertAvi2);
    set(cmd::kConvertRawDv, m.convertRawDv);
    set(cmd::kExtractAudio, m.extractAudio);
    set(cmd::kBurnIn, m.burnIn);
    set(cmd::kSplit, m.split);
    set(cmd::kModify, m.modify);
    directMenu_->menuAction()->setEnabled(m.directMenu);
    set(cmd::kDirectBurnIn, m.directBurnIn);
    set(cmd::kDirectModify, m.directModify);
    set(cmd::kExportMetadata, m.exportMetadata);
    set(cmd::kExportSubtitles, m.exportSubtitles);
    if (QAction* a = action(cmd::kFwdSecond))
        a->setText(m.iFrameSteps ? QStringLiteral("F&wd I-frame\tShift+Right") : QStringLiteral("F&wd 1 sec\tShift+Right"));
    if (QAction* a = action(cmd::kBackSecond))
        a->setText(m.iFrameSteps ? QStringLiteral("B&ack I-frame\tShift+Left") : QStringLiteral("B&ack 1 sec\tShift+Left"));
}

void CMainDialog::updateTitle() {
    if (!fileOpen()) {
        setWindowTitle(kAppTitle);
        return;
    }
    QString title = QString::fromStdString(fileName());
    title +=
        hasReel_ ? QStringLiteral(" (") + QString::fromStdString(reel_) + QStringLiteral(")") : QStringLiteral(" (no reel)");
    setWindowTitle(title);
}

void CMainDialog::updateRecentMenu() {
    recentMenu_->clear();
    const auto files = settings_.recentFiles();
    int n = 0;
    for (const std::string& f : files) {
        const int id = cmd::kRecentFirst + n;
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(n + 1).arg(QString::fromStdString(f)));
        const QString path = QString::fromStdString(f);
        connect(a, &QAction::triggered, this, [this, path] { openFile(path); });
        actions_[id] = a;
        ++n;
    }
    for (int i = n; i < core::kRecentFileCount; ++i) actions_.erase(cmd::kRecentFirst + i);
    recentMenu_->menuAction()->setEnabled(n > 0);
}

// ---------------------------------------------------------------- messages

void CMainDialog::lastErrorReport(const QString& message, int sysError, const QString& title) {
    QString text = message;
    if (sysError) text += QStringLiteral("\n\n") + QString::fromLocal8Bit(std::strerror(sysError));
    showMessage(this, QMessageBox::Critical, title.isEmpty() ? QString(kErrorTitle) : title, text);
}

void CMainDialog::reportStatus(const core::Status& status, const QString& title) {
    lastErrorReport(QString::fromStdString(status.message), status.sysError, title);
}

// ---------------------------------------------------------------- opening

bool CMainDialog::confirmDecoders() {
    const core::MediaFamily family = fileFamily();
    if (family == core::MediaFamily::kHdv && !options_.mpeg2Decoder.isSet()) {
        showMessage(this, QMessageBox::Critical, QStringLiteral("No MPEG-2 video decoder configured"),
                    noDecoderText("MPEG-2 video decoder"));
        return false;
    }
    if (family == core::MediaFamily::kAvchd) {
        if (!options_.avcVideoDecoder.isSet()) {
            showMessage(this, QMessageBox::Critical, QStringLiteral("No AVCHD video decoder configured"),
                        noDecoderText("AVCHD video decoder"));
            return false;
        }
        if (!options_.avcAudioDecoder.isSet()) {
            showMessage(this, QMessageBox::Critical, QStringLiteral("No AVCHD audio decoder configured"),
                        noDecoderText("AVCHD audio decoder"));
            return false;
        }
    }
    return true;
}

playback::PlayerConfig CMainDialog::playerConfig() const {
    using media::codec::CodecRole;
    playback::PlayerConfig c;
    if (fileFamily() == core::MediaFamily::kHdv) {
        if (auto e = media::codec::findCodec(CodecRole::kMpeg2VideoDecoder, options_.mpeg2Decoder.id))
            c.mpeg2Decoder = e->name;
    } else if (fileFamily() == core::MediaFamily::kAvchd) {
        if (auto e = media::codec::findCodec(CodecRole::kH264VideoDecoder, options_.avcVideoDecoder.id))
            c.h264Decoder = e->name;
        if (auto e = media::codec::findCodec(CodecRole::kAc3AudioDecoder, options_.avcAudioDecoder.id))
            c.ac3Decoder = e->name;
    }
    if (qEnvironmentVariableIsSet("ZORV_NO_AUDIO")) c.audioBackend = playback::AudioBackendKind::kNull;
    return c;
}

void CMainDialog::openFromDialog() {
    QFileDialog dialog(this, QStringLiteral("Select DV, HDV or AVCHD file to play"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QString(kOpenFilter).split(QStringLiteral(";;")));
    dialog.selectNameFilter(kOpenFilterPreselected);
    dialog.setDefaultSuffix(QStringLiteral("avi"));
    if (!path_.empty()) dialog.setDirectory(QString::fromStdString(std::filesystem::path(path_).parent_path().string()));
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    // The keys go to this window again once the dialog is gone.
    activateWindow();
    if (chosen) openFile(dialog.selectedFiles().first());
}

bool CMainDialog::openFile(const QString& qpath) {
    // Let the area under a closed dialog repaint before the file is examined.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const std::string path = qpath.toStdString();
    if (fileOpen()) closeFile();

    const media::Recognition rec = media::recognize(path);
    if (rec.status.code == core::ErrorCode::kOpenFailed) {
        lastErrorReport(QString(kOpenFailedText).arg(qpath), rec.status.sysError);
        return false;
    }
    if (!rec.ok() && rec.status.code != core::ErrorCode::kNotRecognised) {
        lastErrorReport(QString(kReadFailedText).arg(qpath), rec.status.sysError);
        return false;
    }
    const media::FormatDescriptor& format = media::formatOf(rec.ok() ? rec.type : media::FileType{});
    if (!format.has(media::format_tool::kPlay)) {
        showMessage(this, QMessageBox::Critical, kErrorTitle, QString::fromStdString(media::playRefusalText(format, path)));
        return false;
    }

    path_ = path;
    format_ = &format;
    fourcc_ = rec.fourcc;
    if (!confirmDecoders()) {
        closeFile();
        return false;
    }

    player_ = std::make_unique<playback::Player>();
    const core::Status st = player_->open(path, playerConfig());
    if (!st) {
        const std::string err = player_->lastError().empty() ? st.message : player_->lastError();
        const bool dvAvi = aviType() != 0;
        closeFile();
        if (dvAvi) {
            const std::string repaired = offerRepair(this, path, err);
            return !repaired.empty() && openFile(QString::fromStdString(repaired));
        }
        showMessage(this, QMessageBox::Critical, kErrorTitle, QString::fromStdString(err));
        return false;
    }
    player_->setVolume(volume_->value());
    player_->setMute(muted_);
    noteSoundDevice();
    player_->setPictureCallback([this] {
        if (pictureQueued_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { onPicture(); }, Qt::QueuedConnection);
    });
    player_->setEventCallback([this](const playback::PlayerEvent&) {
        QMetaObject::invokeMethod(
            this, [this] { onPlayerEvents(); }, Qt::QueuedConnection);
    });

    // Reel name from the Premiere timecode list (AVI) or the HDV reel packet.
    hasReel_ = false;
    reel_.clear();
    media::File f;
    if (f.open(path)) {
        media::AviChunks chunks(f.fd(), fileType());
        if (auto r = chunks.reelName(); r && !r->empty()) {
            reel_ = *r;
            hasReel_ = true;
        }
    }

    shownSerial_ = 0;
    slider_->setTicks({});
    // DV: the damage strip fills while a scan of its own reads the file.
    if (fileFamily() == core::MediaFamily::kDv) {
        outline_->setFile(path);
        damageScan_->start(path);
        strip_->show();
    }
    refreshFromPlayer();
    applyMenuState();
    updateTitle();
    settings_.addRecentFile(path);
    updateRecentMenu();
    showVideoWindow();
    return true;
}

bool CMainDialog::offerLastCrashReport(const std::string& reportPath) {
    return offerCrashReport(this, settings_, reportPath, [](const QString& url) { return urlOpener()(url); });
}

void CMainDialog::openAtStart(const QString& path) {
    QTimer::singleShot(0, this, [this, path] { openFile(path); });
}

void CMainDialog::closeFile() {
    if (player_) {
        player_->setPictureCallback(nullptr);
        player_->setEventCallback(nullptr);
        player_->close();
        player_.reset();
    }
    path_.clear();
    format_ = nullptr;
    fourcc_ = 0;
    hasReel_ = false;
    reel_.clear();
    shownSerial_ = 0;
    damageScan_->stop();
    strip_->hide();
    outline_->setFile({});
    if (video_) video_->clear();
    panel_->clear();
    slider_->setValue(0);
    slider_->setTicks({});
    applyMenuState();
    updateTitle();
}

void CMainDialog::stopPlayback() {
    if (playing()) player_->pause();
}

void CMainDialog::releaseCurrentFile() {
    if (!fileOpen()) return;
    releasedPath_ = path_;
    releasedIndex_ = player_ ? player_->pictureIndex() : 0;
    closeFile();
}

void CMainDialog::reopenCurrentFile() {
    std::string path = releasedPath_.empty() ? path_ : releasedPath_;
    int64_t index = releasedPath_.empty() && player_ ? player_->pictureIndex() : releasedIndex_;
    releasedPath_.clear();
    if (path.empty()) return;
    if (openFile(QString::fromStdString(path)) && index > 0) {
        player_->setPictureIndex(index);
        refreshFromPlayer();
    }
}

// ---------------------------------------------------------------- player side

void CMainDialog::onPicture() {
    pictureQueued_ = false;
    refreshFromPlayer();
}

void CMainDialog::refreshFromPlayer() {
    if (!fileOpen() || !player_) return;
    if (player_->pictureSerial() != shownSerial_ && player_->currentPicture(shown_)) {
        shownSerial_ = shown_.serial;
        if (options_.showDamagedBlocks) outline_->showFrame(shown_.index);
        if (video_) video_->setPicture(shown_);
        panel_->showPicture(shown_, overlay::OverlaySettings::fromOptions(options_).display);
        const int64_t dur = player_->duration();
        if (!slider_->isSliderDown() && dur > 0)
            slider_->setValue(static_cast<int>(shown_.time * PositionSlider::kRange / dur));
        // Display Map follows the picture's own GPS tags.
        if (fileFamily() == core::MediaFamily::kAvchd) applyMenuState();
    }
}

void CMainDialog::onPlayerEvents() {
    if (!player_) return;
    playback::PlayerEvent ev;
    while (player_ && player_->pollEvent(ev)) {
        switch (ev.kind) {
        case playback::PlayerEventKind::kComplete:
        case playback::PlayerEventKind::kPaused: refreshFromPlayer(); break;
        case playback::PlayerEventKind::kDeviceLost:
            closeFile();
            showMessage(this, QMessageBox::Critical, QStringLiteral("Device removed or unplugged"),
                        QString::fromStdString(ev.message));
            return;
        case playback::PlayerEventKind::kErrorAbort: {
            QString text =
                QString::fromStdString(ev.message.empty() ? playback::errorAbortText(player_->family()) : ev.message);
            if (ev.code)
                text += QStringLiteral("\n\nError Code: 0x%1").arg(static_cast<uint32_t>(ev.code), 8, 16, QChar('0'));
            closeFile();
            showMessage(this, QMessageBox::Critical, kErrorTitle, text);
            return;
        }
        }
    }
}

void CMainDialog::refreshSceneTicks() {
    if (!player_) return;
    const int64_t count = player_->pictureCount();
    std::vector<int> ticks;
    if (count > 0)
        for (int64_t s : player_->sceneStarts())
            if (s > 0) ticks.push_back(static_cast<int>(s * PositionSlider::kRange / count));
    slider_->setTicks(std::move(ticks));
}

// ---------------------------------------------------------------- commands

void CMainDialog::command(int id) {
    // A grey command does nothing, from its key or from anywhere else.
    if (const QAction* a = action(id); a && !a->isEnabled()) return;
    const bool ready = fileOpen() && player_;
    switch (id) {
    case cmd::kOpen:
    case cmd::kOpenAccel: openFromDialog(); break;
    case cmd::kClose: closeFile(); break;
    case cmd::kSaveImage: saveImage(); break;
    case cmd::kDisplayMap: displayMap(); break;
    case cmd::kBatch:
        if (batchWindow_) {
            batchWindow_->raise();
            batchWindow_->activateWindow();
        } else {
            // The window keeps its last choices in this window's settings store.
            auto* w = new CBatchDialog(this, options_, settings_);
            w->setAttribute(Qt::WA_DeleteOnClose);
            w->setModal(false);
            w->show();
            setBatchWindow(w);
            connect(w, &QObject::destroyed, this, [this] { setBatchWindow(nullptr); });
        }
        break;
    case cmd::kCapture:
        if (captureWindow_) {
            captureWindow_->raise();
            captureWindow_->activateWindow();
        } else {
            QWidget* w = openCaptureDialog(this, options_, settings_);
            setCaptureWindow(w);
            connect(w, &QObject::destroyed, this, [this] { setCaptureWindow(nullptr); });
        }
        break;
    case cmd::kProperties:
        if (fileOpen()) {
            // The Geotagging page shows the position of the picture on screen.
            media::AvchdGpsValues gps;
            core::MetadataRecord shown;
            const bool hasGps = fileFamily() == core::MediaFamily::kAvchd && player_ && player_->currentMetadata(shown) &&
                                media::avchdGpsValues(shown, gps);
            showFileProperties(this, path_, hasGps ? &gps : nullptr, options_.gpsInDecimal);
        }
        break;
    case cmd::kExit: close(); break;
    case cmd::kPlayPause:
        if (ready) playPause();
        break;
    case cmd::kPlay:
        if (ready && !playing()) playPause();
        break;
    case cmd::kPause:
        if (ready) player_->pause();
        break;
    case cmd::kStop:
    case cmd::kStopButton:
        if (ready) {
            player_->stop();
            refreshFromPlayer();
        }
        break;
    case cmd::kFwdFrame: stepFrames(1); break;
    case cmd::kBackFrame: stepFrames(-1); break;
    case cmd::kFwdSecond: stepSeconds(1); break;
    case cmd::kBackSecond: stepSeconds(-1); break;
    case cmd::kFirstFrame: goToPicture(0); break;
    case cmd::kLastFrame:
        if (ready) goToPicture(player_->pictureCount() - 1);
        break;
    case cmd::kFwdMinute: stepMinutes(1); break;
    case cmd::kBackMinute: stepMinutes(-1); break;
    case cmd::kNextScene: scene(true); break;
    case cmd::kPreviousScene: scene(false); break;
    case cmd::kNextDamage: damagedFrame(true); break;
    case cmd::kPreviousDamage: damagedFrame(false); break;
    case cmd::kShowDamagedBlocks: showDamagedBlocks(!options_.showDamagedBlocks); break;
    case cmd::kConvertAvi1: ToolLauncher::launch(*this, ToolId::kConvertToAvi1); break;
    case cmd::kConvertAvi2: ToolLauncher::launch(*this, ToolId::kConvertToAvi2); break;
    case cmd::kConvertRawDv: ToolLauncher::launch(*this, ToolId::kConvertToRawDv); break;
    case cmd::kBurnIn: ToolLauncher::launch(*this, ToolId::kBurnIn); break;
    case cmd::kModify: ToolLauncher::launch(*this, ToolId::kModifyMetadata); break;
    case cmd::kSplit: ToolLauncher::launch(*this, ToolId::kSplit); break;
    case cmd::kExtractAudio: ToolLauncher::launch(*this, ToolId::kExtractAudio); break;
    case cmd::kExportMetadata: ToolLauncher::launch(*this, ToolId::kExportMetadata); break;
    case cmd::kExportSubtitles: ToolLauncher::launch(*this, ToolId::kExportSubtitles); break;
    case cmd::kDirectBurnIn: ToolLauncher::launch(*this, ToolId::kDirectBurnIn); break;
    case cmd::kDirectModify: ToolLauncher::launch(*this, ToolId::kDirectModify); break;
    case cmd::kOptions: {
        const int renderer = options_.renderer;
        if (runOptionsSheet(this, options_, settings_)) {
            if (options_.renderer != renderer) applyRenderer();
            shownSerial_ = 0;  // the display settings may have changed: redraw the panel
            refreshFromPlayer();
        }
        break;
    }
    case cmd::kAbout:
    case cmd::kSystemAbout: showAbout(); break;
    case cmd::kOnlineHelp: urlOpener()(QString(kHelpUrl)); break;
    default: break;
    }
}

void CMainDialog::playPause() {
    if (player_->state() == playback::PlayerState::kRunning) {
        if (const auto s = player_->pause(); !s) reportStatus(s);
        return;
    }
    showVideoWindow();
    // At the end, playing starts again from the first picture.
    if (player_->pictureCount() > 0 && player_->pictureIndex() >= player_->pictureCount() - 1) goToPicture(0);
    if (const auto s = player_->run(); !s) reportStatus(s);
}

void CMainDialog::goToPicture(int64_t index) {
    if (!fileOpen() || !player_ || index < 0) return;
    stopPlayback();
    if (const auto s = player_->setPictureIndex(index); !s) reportStatus(s);
    refreshFromPlayer();
}

void CMainDialog::stepFrames(int64_t n) {
    if (!fileOpen() || !player_) return;
    stopPlayback();
    if (const auto s = player_->stepPictures(n); !s) reportStatus(s);
    refreshFromPlayer();
}

void CMainDialog::stepSeconds(int direction) {
    if (!fileOpen() || !player_) return;
    stopPlayback();
    const core::Status s =
        core::isStreamFamily(fileFamily()) ? player_->stepIFrame(direction) : player_->stepTime(direction * kSecond);
    if (!s) reportStatus(s);
    refreshFromPlayer();
}

void CMainDialog::stepMinutes(int direction) {
    if (!fileOpen() || !player_) return;
    stopPlayback();
    if (const auto s = player_->stepTime(direction * 60 * kSecond); !s) reportStatus(s);
    refreshFromPlayer();
}

void CMainDialog::scene(bool next) {
    if (!fileOpen() || !player_ || !menu_.scenes) return;
    stopPlayback();
    if (!player_->scenesScanned()) {
        core::Progress progress;
        core::Status result;
        std::atomic<bool> done{false};
        ProgressWindow& pw = progressWindow();
        pw.setCaption(QStringLiteral("Processing"));
        pw.setText(QStringLiteral("Scanning for scene changes ..."));
        playback::Player* player = player_.get();
        std::thread worker([&] {
            result = player->scanScenes(&progress);
            done = true;
        });
        const bool completed = pw.follow(progress, [&] { return done.load(); });
        worker.join();
        pw.setCaption(QStringLiteral("Progress"));
        if (!completed || result.code == core::ErrorCode::kCancelled) return;
        if (!result) {
            lastErrorReport(QStringLiteral("Unable to index the AVI file"), result.sysError);
            return;
        }
        refreshSceneTicks();
    }
    bool moved = false;
    const core::Status s = next ? player_->nextScene(moved) : player_->previousScene(moved);
    if (!s) reportStatus(s);
    refreshFromPlayer();
}

void CMainDialog::damagedFrame(bool next) {
    if (!fileOpen() || !player_) return;
    bool wrapped = false;
    const int64_t at = player_->pictureIndex();
    const int64_t target = next ? damageScan_->nextStart(at, wrapped) : damageScan_->previousStart(at, wrapped);
    if (target < 0) {
        statusBar()->showMessage(QStringLiteral("No damaged frame %1 yet: the file is still being scanned")
                                     .arg(next ? QStringLiteral("after this one") : QStringLiteral("before this one")),
                                 5000);
        return;
    }
    goToPicture(target);
    if (const tools::DamageRun* r = damageScan_->runAt(target)) {
        QString text = r->first == r->last ? QStringLiteral("Frame %1").arg(r->first)
                                           : QStringLiteral("Frames %1-%2").arg(r->first).arg(r->last);
        text += QStringLiteral(": ") + DamageStrip::meaning(*r);
        if (wrapped) text += next ? QStringLiteral(" (from the start again)") : QStringLiteral(" (from the end again)");
        statusBar()->showMessage(text, 8000);
    }
}

void CMainDialog::damageChanged() {
    strip_->setRuns(&damageScan_->runs(), damageScan_->frameCount());
    applyMenuState();
    if (damageScan_->failed())
        statusBar()->showMessage(QStringLiteral("The damage of this file is shown up to where it could be read"), 10000);
}

void CMainDialog::showDamagedBlocks(bool on) {
    options_.showDamagedBlocks = on;
    settings_.writeShowDamagedBlocks(on);
    if (QAction* a = action(cmd::kShowDamagedBlocks)) a->setChecked(on);
    if (on && player_ && fileOpen()) outline_->showFrame(player_->pictureIndex());
    if (video_) video_->setOutline(on ? outline_.get() : nullptr);
}

void CMainDialog::sliderMoved(int value) {
    if (!fileOpen() || !player_) return;
    const int64_t dur = player_->duration();
    if (const auto s = player_->setPosition(value * dur / PositionSlider::kRange); !s) reportStatus(s);
    refreshFromPlayer();
}

void CMainDialog::toggleMute() {
    muted_ = !muted_;
    muteButton_->setChecked(muted_);
    muteButton_->setIcon(style()->standardIcon(muted_ ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    if (player_) player_->setMute(muted_);
}

void CMainDialog::saveImage() {
    if (!fileOpen() || !player_) return;
    stopPlayback();
    const QString proposed = QString::fromStdString(playback::saveImageName(path_));
    const QString out = askSaveFileName(this, QStringLiteral("Save Image ..."), proposed,
                                        QStringLiteral("Bitmap (*.bmp);;All (*.*)"), QStringLiteral("bmp"));
    if (out.isEmpty()) return;
    const std::string outPath = out.toStdString();
    // Checked before anything is asked: never the open file itself; an existing image is replaced
    // only after a yes, and only once the new one is written.
    media::OutputRules rules{false, {path_}};
    const core::Status check = media::checkOutput(outPath, rules);
    if (check.code == core::ErrorCode::kOutputExists) {
        const auto answer =
            showMessage(this, QMessageBox::Question, QStringLiteral("File Exists"),
                        QStringLiteral("The output file already exists        \n\nDo you wish to overwrite it ?"),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) return;
        rules.overwrite = true;
    } else if (!check) {
        reportStatus(check);
        return;
    }
    playback::ShownPicture pic;
    if (!player_->currentPicture(pic)) {
        showMessage(this, QMessageBox::Critical, kErrorTitle, playback::kGetImageFailedText);
        return;
    }
    std::vector<uint8_t> packed;
    playback::packBitmap(pic, packed);
    const core::Status s = playback::writeBitmapFile(outPath, packed.data(), packed.size(), rules);
    if (!s) {
        reportStatus(s);
        return;
    }
    showMessage(this, QMessageBox::Information, kAppTitle, playback::kImageSavedText);
}

void CMainDialog::displayMap() {
    if (fileFamily() != core::MediaFamily::kAvchd || !player_) return;
    const auto position = player_->mapPosition();
    if (!position) {
        showMessage(this, QMessageBox::Information, playback::kMapTitle, playback::noGeotagText(player_->hasGeotagging()));
        return;
    }
    lastMapUrl_ = QString::fromStdString(playback::mapRequestUrl(*position));
    if (!urlOpener()(lastMapUrl_)) {
        // The desktop gives no numeric result; 0 stands for "no handler could be started".
        showMessage(this, QMessageBox::Critical, QStringLiteral("Error displaying map"),
                    QStringLiteral("Failed to spawn the default web browser - error %1").arg(0));
    }
}

void CMainDialog::showAbout() {
    showMessage(this, QMessageBox::Information, QStringLiteral("About ZORV Pro"),
                QStringLiteral("ZORV Pro %1 for Linux\r\n\r\nCamcorder metadata player and tools for DV, HDV and AVCHD "
                               "recordings.")
                    .arg(kVersion));
}

// ---------------------------------------------------------------- drops, exit

void CMainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDialog::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    for (const QUrl& u : urls) {
        if (u.isLocalFile()) {
            event->acceptProposedAction();
            const QString path = u.toLocalFile();
            QTimer::singleShot(0, this, [this, path] { openFile(path); });
            return;
        }
    }
}

void CMainDialog::closeEvent(QCloseEvent* event) {
    auto refuse = [&](QWidget* w, const char* title, const char* text) {
        w->activateWindow();
        showMessage(this, QMessageBox::Critical, QString::fromLatin1(title), QString::fromLatin1(text));
        w->activateWindow();
        event->ignore();
    };
    if (batchWindow_) {
        refuse(batchWindow_, "Batch Processing window is active",
               "You can not exit ZORV Pro because the Batch Processing window is open.");
        return;
    }
    if (captureWindow_) {
        refuse(captureWindow_, "Capture window is active", "You can not exit ZORV Pro because the Capture window is open.");
        return;
    }
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    core::MainPlacement placement;
    placement.normal = core::WindowRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    placement.showState = isMaximized() ? core::kShowMaximized : core::kShowNormal;
    settings_.saveMainWindowOnExit(options_.rememberMainWindowPosition, placement);
    closeFile();
    if (videoWindow_) videoWindow_->close();
    event->accept();
}

}  // namespace zorv::app
