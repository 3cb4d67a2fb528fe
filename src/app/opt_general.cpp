#include "app/opt_general.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QVBoxLayout>

namespace zorv::app {

COptGeneral::COptGeneral(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    using core::DateFormat, core::DropFrameDisplay, core::stored;
    dateFormat_ = addRadioGroup(this, layout, tr("Date format:"),
                                {{"dd/mm/yyyy", stored(DateFormat::kDayMonthYear)},
                                 {"mm/dd/yyyy", stored(DateFormat::kMonthDayYear)},
                                 {"yyyy-mm-dd", stored(DateFormat::kYearMonthDay)}},
                                "dateFormat");
    dropFrame_ = addRadioGroup(
        this, layout, tr("Drop-frame format:"),
        {{"hh:mm:ss;ff", stored(DropFrameDisplay::kBeforeFrames)}, {"hh;mm;ss;ff", stored(DropFrameDisplay::kEverywhere)}},
        "dropFrame");
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
    o.dateFormat = checkedId(dateFormat_, core::stored(core::DateFormat::kDayMonthYear));
    o.dropFrameDisplay = checkedId(dropFrame_, core::stored(core::DropFrameDisplay::kBeforeFrames));
    o.progressAsFrameNumber = progressAsFrame_->isChecked();
    o.gpsInDecimal = gpsDecimal_->isChecked();
    o.showGpsItems = showGps_->isChecked();
    o.rememberMainWindowPosition = rememberPosition_->isChecked();
    o.saveAllSettingsAsDefault = saveDefaults_->isChecked();
}

}  // namespace zorv::app
