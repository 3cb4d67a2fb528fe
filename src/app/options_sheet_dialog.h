// COptionsSheet: the options pages in one sheet, with the tree of page titles beside the shown page.
// The full sheet ("Options") holds every page; a tool's confirmation holds only the tool's pages,
// under the tool's confirmation title. Pages are created when first shown; only those are checked
// and read back at OK, so the others hand back exactly the values they were given.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "app/opt_page.h"
#include "core/options.h"

class QDialogButtonBox;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace zorv::app {

enum class OptionsPageId {
    kGeneral,
    kDecoders,
    kRendering,
    kScenes,
    kBurnIn,
    kBurnInUser,
    kCapture,
    kSplitter,
    kModifyMetadata,
    kExportMetadata,
    kExportSubtitles,
};

// Every page in tree order.
const std::vector<OptionsPageId>& allOptionsPages();
// The page's title in the tree ("Burn-in::User Positioning" is "User Positioning" under "Burn-in").
QString optionsPageTitle(OptionsPageId id);

class COptionsSheet : public QDialog {
    Q_OBJECT
public:
    COptionsSheet(QWidget* parent, const QString& title, std::vector<OptionsPageId> pages, const core::Options& options);

    // The record with the shown pages' values (after OK); the given record before.
    const core::Options& options() const { return options_; }

    // Shows a page (as clicking its title does). False when the page being left refuses.
    bool showPage(OptionsPageId id);
    OptionsPageId currentPage() const { return current_; }
    // The page object, created on first showing; null while it has never been shown.
    COptPage* page(OptionsPageId id) const;
    QTreeWidget* tree() const { return tree_; }

    void accept() override;

private:
    bool checkPage(OptionsPageId id);
    COptPage* createPage(OptionsPageId id);
    void onItemChanged(QTreeWidgetItem* item, QTreeWidgetItem* previous);

    core::Options options_;
    std::vector<OptionsPageId> pages_;
    std::map<OptionsPageId, COptPage*> created_;
    std::map<OptionsPageId, QTreeWidgetItem*> items_;
    OptionsPageId current_;
    QTreeWidget* tree_;
    QStackedWidget* stack_;
    bool switching_ = false;
};

}  // namespace zorv::app
