#include "media/avchd_stream_info.h"
#include "media/formats/format_table.h"
#include "media/recognize.h"
// clang-format off
#include "app/file_properties_sheet.h"
// clang-format on

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zorv::app {

CFilePropPage::CFilePropPage(const PropertyRows& rows, QWidget* parent) : QWidget(parent) {
    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    for (const auto& [property, value] : rows) new QTreeWidgetItem(list_, QStringList{property, value});
    // Both columns as wide as their longest text, and the list wide enough for both.
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(0, list_->columnWidth(0) + 16);
    list_->resizeColumnToContents(1);
    list_->header()->setStretchLastSection(true);
    list_->setMinimumWidth(list_->columnWidth(0) + list_->columnWidth(1) + 2 * list_->frameWidth() + 24);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
}

QString CFilePropPage::value(const QString& property) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->text(0) == property) return list_->topLevelItem(i)->text(1);
    return QString();
}

CFilePropertiesSheet::CFilePropertiesSheet(QWidget* parent, const std::string& path, const media::AvchdGpsValues* gps,
                                           bool gpsDecimal)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("File properties"));
    pages_ = new QTabWidget(this);
    const media::Recognition r = media::recognize(path);
    // One page of the family's properties; AVCHD with GPS data adds the geotagging page.
    const QString title = QString::fromLatin1(core::familyName(media::formatOf(r.type).family));
    switch (media::formatOf(r.type).family) {
    case core::MediaFamily::kDv: pages_->addTab(new CFilePropAvi(path), title); break;
    case core::MediaFamily::kHdv: pages_->addTab(new CFilePropM2T(path), title); break;
    case core::MediaFamily::kAvchd:
        pages_->addTab(new CFilePropAVC(path), title);
        if (media::avchdHasGps(path)) pages_->addTab(new CFilePropAVCGPS(gps, gpsDecimal), QStringLiteral("Geotagging"));
        break;
    case core::MediaFamily::kNone: break;
    }
    // One button, "Close", where Cancel would be.
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);
    resize(460, 420);
}

CFilePropPage* CFilePropertiesSheet::page(int index) const { return qobject_cast<CFilePropPage*>(pages_->widget(index)); }

}  // namespace zorv::app
