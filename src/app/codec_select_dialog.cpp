#include "app/codec_select_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "app/ui_prompts.h"
#include "media/codec/codec_candidates.h"

namespace zorv::app {

using media::codec::CodecEntry;
using media::codec::CodecRole;

namespace {

struct RoleTexts {
    const char* title;
    const char* line1;
    const char* line2;
    const char* searchFailed;
    const char* noneFound;
    const char* noneFoundTitle;
};

const RoleTexts& textsOf(CodecRole role) {
    static const RoleTexts kMpeg2{
        "Select MPEG-2 Video Decoder",
        "Select an MPEG-2 Decoder from the above list which is installed on this computer.",
        "This codec will be used to decode the HDV video. Please note that these are\r\n3rd party codecs which may "
        "not be fully compatible with HDV resolutions.",
        "Failed to examine installed MPEG-2 video decoders",
        "No suitable installed MPEG-2 video decoders could be found",
        "No decoders found"};
    static const RoleTexts kAvc{
        "Select AVCHD Video Decoder",
        "Select an AVCHD Decoder from the above list which is installed on this computer.",
        "This codec will be used to decode the AVCHD video. Please note that these are\r\n3rd party codecs which may "
        "not be fully compatible with all AVCHD resolutions.",
        "Failed to examine installed AVCHD video decoders",
        "No suitable installed AVCHD video decoders could be found",
        "No decoders found"};
    static const RoleTexts kAc3{
        "Select AVCHD Audio Decoder",
        "Select an AC-3 Decoder from the above list which is installed on this computer.",
        "This codec will be used to decode the AVCHD audio. Please note that these are\r\n3rd party codecs which may "
        "not be fully compatible with AVCHD audio.",
        "Failed to examine installed AC-3 audio decoders",
        "No suitable installed AC-3 audio decoders could be found",
        "No decoders found"};
    static const RoleTexts kCompressor{
        "Select Output Video Compressor",
        "Select an Output Compressor from the above list which is installed on this computer.",
        "This compressor will be used to store video that is written to the output AVI file. Please note that these "
        "are 3rd party compressors which may not be compatible with HDV & AVCHD resolutions.",
        "Failed to examine installed compressors",
        "No suitable installed compressors could be found",
        "No compressors found"};
    switch (role) {
    case CodecRole::kMpeg2VideoDecoder: return kMpeg2;
    case CodecRole::kH264VideoDecoder: return kAvc;
    case CodecRole::kAc3AudioDecoder: return kAc3;
    case CodecRole::kVideoCompressor: return kCompressor;
    }
    return kMpeg2;
}

// The generic failure code reported when a codec does not take the role's test sample.
constexpr unsigned kTestFailed = 0x80004005u;

QString report(const std::string& name, const QString& status) {
    return QStringLiteral("Decoder:\t%1\r\nStatus:\t%2").arg(QString::fromStdString(name), status);
}

// The role's test, as the registry ran it once for every codec of the role (cached per process).
bool passesTest(CodecRole role, const CodecEntry& e) {
    for (const CodecEntry& a : media::codec::availableCodecs(role))
        if (a.name == e.name) return true;
    return false;
}

std::mutex& sourceMutex() {
    static std::mutex m;
    return m;
}
CodecCandidateSource& candidateSource() {
    static CodecCandidateSource source;
    return source;
}

std::vector<CodecEntry> candidates(CodecRole role) {
    CodecCandidateSource source;
    {
        std::lock_guard<std::mutex> lk(sourceMutex());
        source = candidateSource();
    }
    return source ? source(role) : media::codec::codecCandidates(role);
}

}  // namespace

void setCodecCandidateSource(CodecCandidateSource source) {
    std::lock_guard<std::mutex> lk(sourceMutex());
    candidateSource() = std::move(source);
}

const std::vector<core::Guid>& CCodecSelectDialog::rejectList() {
    static const std::vector<core::Guid> list = [] {
        std::vector<core::Guid> ids;
        for (const char* text : {"{FF890B51-A4C5-4B19-87CF-65D86EC12F1C}", "{FF890B41-A4C5-4B19-87CF-65D86EC12F1C}",
                                 "{FF890B61-A4C5-4B19-87CF-65D86EC12F1C}", "{25AD5750-4DE0-4CF8-952A-2AEF53AC4321}",
                                 "{25AD5780-4DE0-4CF8-952A-2AEF53AC4321}", "{25AD5720-4DE0-4CF8-952A-2AEF53AC4321}",
                                 "{25AD5740-4DE0-4CF8-952A-2AEF53AC4321}", "{25AD5760-4DE0-4CF8-952A-2AEF53AC4321}"})
            ids.push_back(*core::Guid::parse(text));
        return ids;
    }();
    return list;
}

// What the worker thread fills; the dialog reads it only after the completion call.
struct CCodecSelectDialog::Search {
    std::vector<CodecEntry> found;
    QStringList reports;
    bool failed = false;
    std::future<void> done;
    QPointer<CCodecSelectDialog> owner;  // read on the window thread only
};

CCodecSelectDialog::CCodecSelectDialog(QWidget* parent, CodecRole role, const core::DecoderSelection& current,
                                       bool shiftHeld)
    : QDialog(parent), role_(role), current_(current), shiftHeld_(shiftHeld) {
    const RoleTexts& t = textsOf(role);
    setWindowTitle(QString::fromLatin1(t.title));
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("codecList"));
    list_->setMinimumWidth(360);
    properties_ = new QPushButton(tr("Properties"), this);
    properties_->setObjectName(QStringLiteral("properties"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCodecSelectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCodecSelectDialog::reject);
    connect(properties_, &QPushButton::clicked, this, &CCodecSelectDialog::showProperties);

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addWidget(properties_);
    layout->addLayout(row);
    for (const char* line : {t.line1, t.line2}) {
        auto* label = new QLabel(displayText(QString::fromLatin1(line)), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addWidget(buttons);
    startSearch();
}

CCodecSelectDialog::~CCodecSelectDialog() {
    // Closing during the search waits up to 8 seconds for the worker; a worker still running after
    // that is left to finish on its own (it holds its own reference to what it fills).
    if (search_ && search_->done.valid()) search_->done.wait_for(std::chrono::seconds(8));
}

void CCodecSelectDialog::startSearch() {
    list_->clear();
    list_->addItem(tr("Searching, please wait ..."));
    list_->setCurrentIndex(0);
    properties_->setEnabled(false);
    ok_->setEnabled(false);
    searching_ = true;
    search_ = std::make_shared<Search>();
    search_->owner = this;
    std::shared_ptr<Search> s = search_;
    const CodecRole role = role_;
    // The worker keeps the search alive while it runs; the search holds only the future of a promise
    // (not the worker's function), so nothing refers back to it once both sides are done.
    std::promise<void> finished;
    search_->done = finished.get_future();
    std::thread([s, role, finished = std::move(finished)]() mutable {
        if (role == CodecRole::kVideoCompressor) s->found.push_back(media::codec::uncompressedEntry());
        for (const CodecEntry& e : candidates(role)) {
            const auto& rejects = rejectList();
            if (role == CodecRole::kMpeg2VideoDecoder && std::find(rejects.begin(), rejects.end(), e.id) != rejects.end()) {
                s->reports << report(e.displayName, QStringLiteral("Failed\r\nReason:\tRejected"));
                continue;
            }
            if (!passesTest(role, e)) {
                s->reports << report(e.displayName,
                                     QStringLiteral("Failed\r\nReason:\tInput connection 0x%1")
                                         .arg(QStringLiteral("%1").arg(kTestFailed, 8, 16, QLatin1Char('0')).toUpper()));
                continue;
            }
            s->found.push_back(e);
            s->reports << report(e.displayName, QStringLiteral("OK"));
        }
        // The completion runs on the window thread, and only when the dialog is still open.
        QMetaObject::invokeMethod(
            qApp,
            [s] {
                if (s->owner && s->owner->search_ == s) s->owner->onSearchDone();
            },
            Qt::QueuedConnection);
        finished.set_value();
    }).detach();
}

void CCodecSelectDialog::onSearchDone() {
    searching_ = false;
    const RoleTexts& t = textsOf(role_);
    if (shiftHeld_)
        for (const QString& r : search_->reports)
            showMessage(this, QMessageBox::Information, QStringLiteral("Codec Found"), r);
    list_->clear();
    if (search_->failed) {
        showMessage(this, QMessageBox::Critical, QStringLiteral("Error"), QString::fromLatin1(t.searchFailed));
    } else if (search_->found.empty()) {
        showMessage(this, QMessageBox::Information, QString::fromLatin1(t.noneFoundTitle), QString::fromLatin1(t.noneFound));
    } else {
        found_ = search_->found;
        int selected = 0;
        for (std::size_t i = 0; i < found_.size(); ++i) {
            list_->addItem(QString::fromStdString(found_[i].displayName));
            if (found_[i].id == current_.id) selected = static_cast<int>(i);
        }
        list_->setCurrentIndex(selected);
        properties_->setEnabled(true);
        ok_->setEnabled(true);
    }
    emit searchFinished();
}

void CCodecSelectDialog::showProperties() {
    const int i = list_->currentIndex();
    if (searching_ || i < 0 || i >= static_cast<int>(found_.size())) return;
    const CodecEntry entry = found_[static_cast<std::size_t>(i)];
    const auto settings =
        entry.uncompressed() ? std::vector<media::codec::CodecSetting>{} : media::codec::codecSettings(role_, entry.name);
    if (settings.empty()) {
        showMessage(this, QMessageBox::Information, QStringLiteral("No properties dialog"),
                    QStringLiteral("Filter does not have a properties dialog box"));
        return;
    }
    QDialog pages(this);
    pages.setWindowTitle(QString::fromStdString(entry.displayName));
    auto* table = new QTableWidget(static_cast<int>(settings.size()), 4, &pages);
    table->setHorizontalHeaderLabels({tr("Setting"), tr("Type"), tr("Default"), tr("Description")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < static_cast<int>(settings.size()); ++r) {
        const auto& s = settings[static_cast<std::size_t>(r)];
        table->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(s.name)));
        table->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(s.type)));
        table->setItem(r, 2, new QTableWidgetItem(QString::fromStdString(s.defaultValue)));
        table->setItem(r, 3, new QTableWidgetItem(QString::fromStdString(s.help)));
    }
    table->horizontalHeader()->setStretchLastSection(true);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &pages);
    connect(close, &QDialogButtonBox::rejected, &pages, &QDialog::reject);
    auto* layout = new QVBoxLayout(&pages);
    layout->addWidget(table);
    layout->addWidget(close);
    pages.resize(640, 360);
    runDialog(pages);
    // The codec is tested again after its settings were shown.
    if (!media::codec::testCodec(role_, entry.name)) {
        found_.erase(found_.begin() + i);
        list_->removeItem(i);
        showMessage(this, QMessageBox::Information, QStringLiteral("Filter removed from list"),
                    QStringLiteral("The property changes you made have rendered the filter no longer suitable as an "
                                   "output AVI compressor in ZORV Pro. The filter has therefore been removed from "
                                   "the list."));
    }
}

void CCodecSelectDialog::accept() {
    const int i = list_->currentIndex();
    if (searching_ || i < 0 || i >= static_cast<int>(found_.size())) return;
    chosen_ = found_[static_cast<std::size_t>(i)].selection();
    QDialog::accept();
}

void CCodecSelectDialog::done(int result) { QDialog::done(result); }

std::optional<core::DecoderSelection> runCodecSelect(QWidget* parent, CodecRole role, const core::DecoderSelection& current,
                                                     bool shiftHeld) {
    CCodecSelectDialog dialog(parent, role, current, shiftHeld);
    if (runDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.selection();
}

}  // namespace zorv::app
