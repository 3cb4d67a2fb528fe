#include "app/opt_export.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QVBoxLayout>

namespace zorv::app {

COptExport::COptExport(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    frequency_ = addRadioGroup(this, layout, tr("Export metadata ..."),
                               {{"For all frames", core::stored(core::ExportFrequency::kAllFrames)},
                                {"At any Change or Discontinuity", core::stored(core::ExportFrequency::kAnyChange)},
                                {"At each scene change", core::stored(core::ExportFrequency::kSceneChanges)}},
                               "exportFrequency");
    header_ = new QCheckBox(tr("Export header"), this);
    header_->setObjectName(QStringLiteral("exportHeader"));
    layout->addWidget(header_);
    layout->addStretch(1);
}

void COptExport::fill(const core::Options& o) {
    frequency_->button(core::clampExportFrequency(o.exportFrequency))->setChecked(true);
    header_->setChecked(o.exportHeader);
}

void COptExport::readBack(core::Options& o) const {
    o.exportFrequency = checkedId(frequency_, core::stored(core::ExportFrequency::kAnyChange));
    o.exportHeader = header_->isChecked();
}

}  // namespace zorv::app
