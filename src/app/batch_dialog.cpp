#include "app/batch_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/options_sheet.h"
#include "app/ui_prompts.h"
#include "media/file_type.h"
#include "media/recognize.h"
#include "tools/modify_settings.h"

namespace zorv::app {

namespace {

using batch::BatchOp;

const char* const kTitle = "Batch Processing";
const char* const kAddTitle = "Batch processing: Select DV AVI, Raw DV, HDV M2T, AVCHD M2TS/MTS or MPEG-2 MOD file";
const char* const kOneNotAdded =
    "File was not added as it was not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD type";
const char* const kDialogOneNotAdded =
    "1 File was not added as it was not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD type";
const char* const kDialogManyNotAdded =
    "%1 Files were not added as they were not recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD types";
const char* const kDropOneNotAdded =
    "1 file was not added as it was not a recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD type";
const char* const kDropManyNotAdded =
    "%1 files were not added as they were not recognised DV AVI, Raw DV, HDV M2T, AVCHD M2TS or MPEG-2 MOD types";
const char* const kJobRunningTitle = "Batch Processing job is in progress";
const char* const kJobRunningText =
    "A batch processing job is in progress.\r\n\r\nIf you wish to terminate the batch processing job, please click the "
    "ABORT button first.";
const char* const kNoModifyItems =
    "No Metadata items are currently selected for modification.\r\n\r\nCheck the settings in  Tools > Options > Modify";
const char* const kWarnPremiere =
    "WARNING: This operation will make direct changes to the INPUT files.\r\n\r\nAre you SURE you want the operation "
    "to proceed?";
const char* const kWarnRename =
    "WARNING: This operation will change the file name of the INPUT files.\r\n\r\nAre you SURE you want the operation "
    "to proceed?";
const char* const kWarnDate =
    "WARNING: This operation will change the Date Modified property of the INPUT files.\r\n\r\nAre you SURE you want "
    "the operation to proceed?";

constexpr int kPathRole = Qt::UserRole;

}  // namespace

CBatchDialog::CBatchDialog(QWidget* parent, const core::Options& options, core::SettingsStore store)
    : QDialog(parent), options_(options), store_(std::move(store)) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setAcceptDrops(true);

    operation_ = new QComboBox(this);
    for (const auto& e : batch::operationList()) operation_->addItem(QString::fromUtf8(e.text), static_cast<int>(e.code));
    folder_ = new QLineEdit(this);
    browse_ = new QPushButton(tr("Browse"), this);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("Pathname"), tr("Type")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);

    add_ = new QPushButton(tr("Add"), this);
    remove_ = new QPushButton(tr("Remove"), this);
    checkAll_ = new QPushButton(tr("Check All"), this);
    uncheckAll_ = new QPushButton(tr("Un-check All"), this);
    start_ = new QPushButton(tr("START"), this);
    abort_ = new QPushButton(tr("Abort"), this);
    close_ = new QPushButton(tr("Close"), this);
    abort_->setEnabled(false);

    log_ = new QPlainTextEdit(this);
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    fileBar_ = new QProgressBar(this);
    overallBar_ = new QProgressBar(this);
    for (auto* bar : {fileBar_, overallBar_}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    status_ = new QLabel(this);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(tr("Operation"), this), 0, 0);
    top->addWidget(operation_, 0, 1, 1, 2);
    top->addWidget(new QLabel(tr("Output Folder"), this), 1, 0);
    top->addWidget(folder_, 1, 1);
    top->addWidget(browse_, 1, 2);

    auto* listButtons = new QVBoxLayout;
    for (auto* b : {add_, remove_, checkAll_, uncheckAll_}) listButtons->addWidget(b);
    listButtons->addStretch();
    auto* filesBox = new QGroupBox(tr("Files to be processed"), this);
    auto* filesLayout = new QHBoxLayout(filesBox);
    filesLayout->addWidget(list_, 1);
    filesLayout->addLayout(listButtons);

    auto* logBox = new QGroupBox(tr("Output log"), this);
    auto* logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(log_);

    auto* bars = new QGridLayout;
    bars->addWidget(new QLabel(tr("File Progress"), this), 0, 0);
    bars->addWidget(fileBar_, 0, 1);
    bars->addWidget(new QLabel(tr("Overall Progress"), this), 1, 0);
    bars->addWidget(overallBar_, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(abort_);
    buttons->addStretch();
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(filesBox, 1);
    layout->addWidget(logBox, 1);
    layout->addLayout(bars);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(760, 620);

    connect(add_, &QPushButton::clicked, this, &CBatchDialog::onAdd);
    connect(remove_, &QPushButton::clicked, this, &CBatchDialog::onRemove);
    connect(checkAll_, &QPushButton::clicked, this, [this] { checkAll(true); });
    connect(uncheckAll_, &QPushButton::clicked, this, [this] { checkAll(false); });
    connect(start_, &QPushButton::clicked, this, &CBatchDialog::onStart);
    connect(abort_, &QPushButton::clicked, this, &CBatchDialog::onAbort);
    connect(browse_, &QPushButton::clicked, this, &CBatchDialog::onBrowse);
    connect(close_, &QPushButton::clicked, this, &CBatchDialog::close);

    timer_ = new QTimer(this);
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, &CBatchDialog::pollJob);

    // The last choices: the operation by exact text (else the first), the folder when it still exists.
    const std::string op = store_.readString(core::kSectionOptions, "BatchOp", "");
    const int index = operation_->findText(QString::fromStdString(op), Qt::MatchExactly | Qt::MatchCaseSensitive);
    operation_->setCurrentIndex(index >= 0 ? index : 0);
    const QString folder = QString::fromStdString(store_.readString(core::kSectionOptions, "BatchFolder", ""));
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) folder_->setText(folder);
}

CBatchDialog::~CBatchDialog() {
    if (runner_) {
        runner_->abort();
        runner_->wait();
    }
}

int CBatchDialog::addFiles(const QStringList& paths, AddSource source) {
    int notRecognised = 0;
    for (const QString& path : paths) {
        bool present = false;
        for (int i = 0; i < list_->topLevelItemCount() && !present; ++i)
            present = list_->topLevelItem(i)->data(0, kPathRole).toString().compare(path, Qt::CaseInsensitive) == 0;
        if (present) continue;
        const media::Recognition r = media::recognize(path.toStdString());
        if (!r.ok()) {
            ++notRecognised;
            continue;
        }
        auto* item = new QTreeWidgetItem(list_, {path, QString::fromLatin1(media::typeName(r.type))});
        item->setData(0, kPathRole, path);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
    }
    if (notRecognised > 0) {
        QString text;
        if (paths.size() == 1) text = QString::fromLatin1(kOneNotAdded);
        else if (source == AddSource::kDrop)
            text = notRecognised == 1 ? QString::fromLatin1(kDropOneNotAdded)
                                      : QString::fromLatin1(kDropManyNotAdded).arg(notRecognised);
        else
            text = notRecognised == 1 ? QString::fromLatin1(kDialogOneNotAdded)
                                      : QString::fromLatin1(kDialogManyNotAdded).arg(notRecognised);
        showMessage(this, QMessageBox::Critical, QStringLiteral("Error!"), text);
    }
    return notRecognised;
}

QStringList CBatchDialog::paths() const {
    QStringList out;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) out << list_->topLevelItem(i)->data(0, kPathRole).toString();
    return out;
}

void CBatchDialog::setChecked(int row, bool checked) {
    if (auto* item = list_->topLevelItem(row)) item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void CBatchDialog::selectOperation(const QString& listText) {
    const int index = operation_->findText(listText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) operation_->setCurrentIndex(index);
}

void CBatchDialog::setOutputFolder(const QString& folder) { folder_->setText(folder); }

bool CBatchDialog::jobRunning() const { return runner_ && runner_->running(); }

void CBatchDialog::onAdd() {
    const QStringList files =
        QFileDialog::getOpenFileNames(this, QString::fromLatin1(kAddTitle), QString(), QStringLiteral("All (*)"));
    if (!files.isEmpty()) addFiles(files, AddSource::kFileDialog);
}

void CBatchDialog::onRemove() {
    for (auto* item : list_->selectedItems()) delete item;
}

void CBatchDialog::checkAll(bool checked) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        list_->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void CBatchDialog::onBrowse() {
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Output Folder"), folder_->text());
    if (!dir.isEmpty()) folder_->setText(QDir::toNativeSeparators(dir));
}

bool CBatchDialog::confirmSettings(BatchOp op) {
    switch (op) {
    case BatchOp::kBurnIn:
        return runConfirmationSheet(this, QStringLiteral("Confirm Settings for Burning-in"),
                                    {OptionsPageId::kBurnIn, OptionsPageId::kBurnInUser}, options_);
    case BatchOp::kModify:
        if (!runConfirmationSheet(this, QStringLiteral("Confirm Settings for Modifying Metadata"),
                                  {OptionsPageId::kModifyMetadata}, options_))
            return false;
        if (!tools::modifySettingsFromOptions(options_).anyEnabled()) {
            showMessage(this, QMessageBox::Warning, QStringLiteral("Error!"), QString::fromLatin1(kNoModifyItems));
            return false;
        }
        return true;
    case BatchOp::kSplit:
        return runConfirmationSheet(this, QStringLiteral("Confirm Settings for File Splitting"), {OptionsPageId::kSplitter},
                                    options_);
    case BatchOp::kExportMetadata:
        return runConfirmationSheet(this, QStringLiteral("Confirm Settings for Exporting Metadata"),
                                    {OptionsPageId::kExportMetadata}, options_);
    case BatchOp::kExportSubtitles:
        return runConfirmationSheet(this, QStringLiteral("Confirm Settings for Subtitle Export"),
                                    {OptionsPageId::kExportSubtitles}, options_);
    case BatchOp::kFixPremiere:
    case BatchOp::kAppendDateToName:
    case BatchOp::kSetDateModified: {
        const char* text = op == BatchOp::kFixPremiere        ? kWarnPremiere
                           : op == BatchOp::kAppendDateToName ? kWarnRename
                                                              : kWarnDate;
        return showMessage(this, QMessageBox::Warning, QStringLiteral("Warning"), QString::fromLatin1(text),
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }
    default: return true;
    }
}

void CBatchDialog::onStart() {
    if (jobRunning()) return;
    if (list_->topLevelItemCount() == 0) {
        showMessage(this, QMessageBox::Critical, QStringLiteral("Error!"), QString::fromLatin1(batch::kFileListEmpty));
        return;
    }
    std::vector<std::string> files;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        auto* item = list_->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked) files.push_back(item->data(0, kPathRole).toString().toStdString());
    }
    if (files.empty()) {
        showMessage(this, QMessageBox::Critical, QStringLiteral("Error!"), QString::fromLatin1(batch::kNoFileChecked));
        return;
    }
    const auto op = static_cast<BatchOp>(operation_->currentData().toInt());
    std::string folder = folder_->text().trimmed().toStdString();
    if (const std::string problem = batch::checkOutputFolder(op, folder); !problem.empty()) {
        showMessage(this, QMessageBox::Critical, QStringLiteral("Error!"), QString::fromStdString(problem));
        folder_->setFocus();
        folder_->selectAll();
        return;
    }

    setControlsEnabled(false);
    if (!confirmSettings(op)) {
        setControlsEnabled(true);
        return;
    }
    status_->clear();
    overallBar_->setValue(0);
    fileBar_->setValue(0);
    if (op == BatchOp::kBurnIn) {
        // HDV and AVCHD files need the decoder chosen in the options.
        if (auto problem = batch::checkBurnDecoders(batch::fileTypes(files), options_, true)) {
            showMessage(this, QMessageBox::Critical, QString::fromStdString(problem->title),
                        QString::fromStdString(problem->text));
            setControlsEnabled(true);
            return;
        }
    }

    batch::BatchSettings settings;
    settings.op = op;
    settings.outputFolder = folder;
    settings.options = options_;
    settings.jobs = 1;
    settings.watcherTimesOutBurnIn = true;
    if (op == BatchOp::kBurnIn) settings.burnJobs = burnJobsOverride_;
    if (runner_) runner_->wait();
    runner_ = std::make_unique<batch::BatchRunner>(std::move(settings));
    warnedLog_ = false;
    burnWatch_ = batch::BurnTimeoutWatch();
    abort_->setEnabled(true);
    runner_->start(std::move(files));
    timer_->start();
}

void CBatchDialog::onAbort() {
    if (runner_) runner_->abort();
}

void CBatchDialog::setControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{operation_, folder_, browse_, list_, add_, remove_, checkAll_,
                                                      uncheckAll_, start_, close_})
        w->setEnabled(enabled);
    abort_->setEnabled(!enabled && runner_ && runner_->running());
}

void CBatchDialog::appendLog(const QString& line) {
    // A line may carry its own CR LF pairs (the blank line before each file).
    QString text = line;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    log_->appendPlainText(text);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void CBatchDialog::pollJob() {
    if (!runner_) return;
    const bool done = !runner_->running();
    for (const auto& line : runner_->takeLines()) appendLog(QString::fromStdString(line));
    if (!warnedLog_) {
        const std::string w = runner_->logWarning();
        if (!w.empty()) {
            warnedLog_ = true;
            showMessage(this, QMessageBox::Warning, QStringLiteral("Warning!"), QString::fromStdString(w));
        }
    }
    if (done) {
        finishJob();
        return;
    }
    const batch::BatchSnapshot s = runner_->poll();
    if (fileBar_->value() != s.filePercent) fileBar_->setValue(s.filePercent);
    if (overallBar_->value() != s.overallPercent) overallBar_->setValue(s.overallPercent);
    status_->setText(QString::fromStdString(s.status));
    if (burnWatch_.tick(s)) runner_->timeOutBurnIn();
}

void CBatchDialog::setPollInterval(int ms) { timer_->setInterval(ms); }

void CBatchDialog::finishJob() {
    timer_->stop();
    runner_->wait();
    for (const auto& line : runner_->takeLines()) appendLog(QString::fromStdString(line));
    fileBar_->setValue(0);
    overallBar_->setValue(100);
    status_->clear();
    const bool aborted = runner_->aborted();
    setControlsEnabled(true);
    abort_->setEnabled(false);
    if (aborted)
        showMessage(this, QMessageBox::Critical, QString::fromLatin1(batch::kAbortedTitle),
                    QString::fromLatin1(batch::kAbortedText));
}

bool CBatchDialog::closeAllowed() {
    if (jobRunning()) {
        showMessage(this, QMessageBox::Warning, QString::fromLatin1(kJobRunningTitle), QString::fromLatin1(kJobRunningText));
        return false;
    }
    store_.writeString(core::kSectionOptions, "BatchOp", operation_->currentText().toStdString());
    store_.writeString(core::kSectionOptions, "BatchFolder", folder_->text().toStdString());
    return true;
}

void CBatchDialog::closeEvent(QCloseEvent* event) {
    if (closeAllowed()) event->accept();
    else event->ignore();
}

void CBatchDialog::reject() {
    // Escape goes through close(), which asks closeEvent().
    close();
}

void CBatchDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !jobRunning()) event->acceptProposedAction();
}

void CBatchDialog::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    if (!files.isEmpty()) addFiles(files, AddSource::kDrop);
    event->acceptProposedAction();
}

CBatchDialog* openBatchDialog(QWidget* parent, const core::Options& options) {
    auto* dialog = new CBatchDialog(parent, options);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->show();
    return dialog;
}

}  // namespace zorv::app
