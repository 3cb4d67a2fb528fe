#include "app/options_sheet_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/opt_burn.h"
#include "app/opt_burn_user.h"
#include "app/opt_capture.h"
#include "app/opt_codecs.h"
#include "app/opt_export.h"
#include "app/opt_general.h"
#include "app/opt_meta_edit.h"
#include "app/opt_render.h"
#include "app/opt_scene_detect.h"
#include "app/opt_split.h"
#include "app/opt_subtitle.h"
#include "app/ui_prompts.h"

namespace zorv::app {

const std::vector<OptionsPageId>& allOptionsPages() {
    static const std::vector<OptionsPageId> pages = {
        OptionsPageId::kGeneral,        OptionsPageId::kDecoders,        OptionsPageId::kRendering,
        OptionsPageId::kScenes,         OptionsPageId::kBurnIn,          OptionsPageId::kBurnInUser,
        OptionsPageId::kCapture,        OptionsPageId::kSplitter,        OptionsPageId::kModifyMetadata,
        OptionsPageId::kExportMetadata, OptionsPageId::kExportSubtitles,
    };
    return pages;
}

QString optionsPageTitle(OptionsPageId id) {
    switch (id) {
    case OptionsPageId::kGeneral: return QStringLiteral("General");
    case OptionsPageId::kDecoders: return QStringLiteral("Decoders");
    case OptionsPageId::kRendering: return QStringLiteral("Rendering");
    case OptionsPageId::kScenes: return QStringLiteral("Scenes");
    case OptionsPageId::kBurnIn: return QStringLiteral("Burn-in");
    case OptionsPageId::kBurnInUser: return QStringLiteral("Burn-in::User Positioning");
    case OptionsPageId::kCapture: return QStringLiteral("Capture");
    case OptionsPageId::kSplitter: return QStringLiteral("Splitter");
    case OptionsPageId::kModifyMetadata: return QStringLiteral("Modify Metadata");
    case OptionsPageId::kExportMetadata: return QStringLiteral("Export Metadata");
    case OptionsPageId::kExportSubtitles: return QStringLiteral("Export Subtitles");
    }
    return QString();
}

COptionsSheet::COptionsSheet(QWidget* parent, const QString& title, std::vector<OptionsPageId> pages,
                             const core::Options& options)
    : QDialog(parent), options_(options), pages_(std::move(pages)), current_(pages_.front()) {
    setWindowTitle(title);
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setMinimumWidth(160);
    tree_->setMaximumWidth(200);
    stack_ = new QStackedWidget(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsSheet::reject);

    // "Parent::Child" titles hang under the item whose title is the part before the separator.
    std::map<QString, QTreeWidgetItem*> byTitle;
    for (OptionsPageId id : pages_) {
        const QStringList parts = optionsPageTitle(id).split(QStringLiteral("::"));
        QTreeWidgetItem* item = nullptr;
        if (parts.size() > 1 && byTitle.count(parts.front())) {
            item = new QTreeWidgetItem(byTitle[parts.front()], QStringList{parts.back()});
        } else {
            item = new QTreeWidgetItem(tree_, QStringList{parts.back()});
        }
        item->setData(0, Qt::UserRole, static_cast<int>(id));
        byTitle[parts.back()] = item;
        items_[id] = item;
    }
    tree_->expandAll();

    auto* body = new QHBoxLayout;
    body->addWidget(tree_);
    body->addWidget(stack_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);

    createPage(current_);
    tree_->setCurrentItem(items_[current_]);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &COptionsSheet::onItemChanged);
}

COptPage* COptionsSheet::page(OptionsPageId id) const {
    auto it = created_.find(id);
    return it == created_.end() ? nullptr : it->second;
}

COptPage* COptionsSheet::createPage(OptionsPageId id) {
    if (COptPage* p = page(id)) {
        stack_->setCurrentWidget(p);
        return p;
    }
    COptPage* p = nullptr;
    switch (id) {
    case OptionsPageId::kGeneral: p = new COptGeneral; break;
    case OptionsPageId::kDecoders: p = new COptCodecs; break;
    case OptionsPageId::kRendering: p = new COptRender; break;
    case OptionsPageId::kScenes: p = new COptSceneDetect; break;
    case OptionsPageId::kBurnIn: p = new COptBurn; break;
    case OptionsPageId::kBurnInUser: p = new COptBurnUser; break;
    case OptionsPageId::kCapture: p = new COptCapture; break;
    case OptionsPageId::kSplitter: p = new COptSplit; break;
    case OptionsPageId::kModifyMetadata: p = new COptMetaEdit; break;
    case OptionsPageId::kExportMetadata: p = new COptExport; break;
    case OptionsPageId::kExportSubtitles: p = new COptSubtitle; break;
    }
    p->setObjectName(optionsPageTitle(id));
    p->fill(options_);
    stack_->addWidget(p);
    stack_->setCurrentWidget(p);
    created_[id] = p;
    return p;
}

bool COptionsSheet::checkPage(OptionsPageId id) {
    COptPage* p = page(id);
    if (!p) return true;
    const auto problem = p->check(options_);
    if (!problem) return true;
    if (current_ != id) {
        switching_ = true;
        tree_->setCurrentItem(items_[id]);
        switching_ = false;
        current_ = id;
        stack_->setCurrentWidget(p);
    }
    showMessage(this, QMessageBox::Warning, QStringLiteral("ZORV Pro"), QString::fromStdString(problem->message));
    if (QLineEdit* field = p->fieldFor(*problem)) {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
    }
    return false;
}

void COptionsSheet::onItemChanged(QTreeWidgetItem* item, QTreeWidgetItem* previous) {
    if (switching_ || !item) return;
    const auto id = static_cast<OptionsPageId>(item->data(0, Qt::UserRole).toInt());
    if (id == current_) return;
    if (!checkPage(current_)) {
        // The page being left refuses: stay on it.
        switching_ = true;
        tree_->setCurrentItem(previous ? previous : items_[current_]);
        switching_ = false;
        return;
    }
    current_ = id;
    createPage(id);
}

bool COptionsSheet::showPage(OptionsPageId id) {
    if (!items_.count(id)) return false;
    tree_->setCurrentItem(items_[id]);
    return current_ == id;
}

void COptionsSheet::accept() {
    // The shown page first, then every other page that was opened.
    if (!checkPage(current_)) return;
    for (const auto& [id, p] : created_)
        if (id != current_ && !checkPage(id)) return;
    for (const auto& [id, p] : created_) p->readBack(options_);
    QDialog::accept();
}

}  // namespace zorv::app
