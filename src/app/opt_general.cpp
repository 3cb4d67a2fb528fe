#include "app/opt_general.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QVBoxLayout>

namespace zorv::app {

COptGeneral::COptGeneral(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    dateFormat_ = addRadioGroup(this, layout, tr("Date format:"), {{"dd/mm/yyyy", 1}, {"mm/dd/yyyy", 2}, {"yyyy-mm-dd", 3}},
                                "dateFormat");
    dropFrame_ =
        addRadioGroup(this, layout, tr("Drop-frame format:"), {{"hh:mm:ss;ff", 0}, {"hh;mm;ss;ff", 1}}, "dropFrame");
    auto check = [&](const QString& text, const char* name) {
        auto* c = new QCheckBox(text, this);
        c->setObjectName(QLatin1String(name));
        layout->addWidget(c);
        return c;
    };
    progressAsFrame_ = check(tr("Display file progress as frame number"), "progressAsFrame");
    gpsDecimal_ = check(tr("Display Geotagging locations in decimal"), "gpsDecimal");
    showGps_ = check(tr("Display Geotagging data for AVCHD files"), "showGps");
    rememberPosition_ = check(tr("Remember main window position"), "rememberPosition");
    saveDefaults_ = check(tr("Save all settings as default"), "saveDefaults");
    layout->addStretch(1);
}

void COptGeneral::fill(const core::Options& o) {
    dateFormat_->button(core::clampDateFormat(o.dateFormat))->setChecked(true);
    dropFrame_->button(core::clampDropFrameDisplay(o.dropFrameDisplay))->setChecked(true);
    progressAsFrame_->setChecked(o.progressAsFrameNumber);
    gpsDecimal_->setChecked(o.gpsInDecimal);
    showGps_->setChecked(o.showGpsItems);
    rememberPosition_->setChecked(o.rememberMainWindowPosition);
    saveDefaults_->setChecked(o.saveAllSettingsAsDefault);
}

void COptGeneral::readBack(core::Options& o) const {
    o.dateFormat = checkedId(dateFormat_, 1);
    o.dropFrameDisplay = checkedId(dropFrame_, 0);
    o.progressAsFrameNumber = progressAsFrame_->isChecked();
    o.gpsInDecimal = gpsDecimal_->isChecked();
    o.showGpsItems = showGps_->isChecked();
    o.rememberMainWindowPosition = rememberPosition_->isChecked();
    o.saveAllSettingsAsDefault = saveDefaults_->isChecked();
}

}  // namespace zorv::app
