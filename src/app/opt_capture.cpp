#include "app/opt_capture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "media/avi_writer.h"

namespace zorv::app {

COptCapture::COptCapture(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* stopBox = new QGroupBox(tr("Stop capture"), this);
    auto* grid = new QGridLayout(stopBox);
    stopMode_ = new QButtonGroup(this);
    const char* modes[] = {"User stops capture manually", "Capture duration reaches", "No frames are delivered for"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(modes[i]), stopBox);
        r->setObjectName(QStringLiteral("stopMode%1").arg(i));
        stopMode_->addButton(r, i);
        grid->addWidget(r, i, 0);
    }
    hours_ = numberEdit(stopBox, 2, false, "captureHours");
    minutes_ = numberEdit(stopBox, 2, false, "captureMinutes");
    seconds_ = numberEdit(stopBox, 2, false, "captureSeconds");
    grid->addWidget(hours_, 1, 1);
    grid->addWidget(new QLabel(tr("hrs"), stopBox), 1, 2);
    grid->addWidget(minutes_, 1, 3);
    grid->addWidget(new QLabel(tr("mins"), stopBox), 1, 4);
    grid->addWidget(seconds_, 1, 5);
    grid->addWidget(new QLabel(tr("secs"), stopBox), 1, 6);
    noFrames_ = numberEdit(stopBox, 2, false, "noFramesSeconds");
    grid->addWidget(noFrames_, 2, 1);
    grid->addWidget(new QLabel(tr("secs"), stopBox), 2, 2);
    layout->addWidget(stopBox);

    aviType_ = addRadioGroup(
        this, layout, tr("Capture file type"),
        {{"AVI Type 1", core::stored(media::AviType::kType1)}, {"AVI Type 2", core::stored(media::AviType::kType2)}},
        "captureAviType");
    auto check = [&](const QString& text, const char* name) {
        auto* c = new QCheckBox(text, this);
        c->setObjectName(QLatin1String(name));
        layout->addWidget(c);
        return c;
    };
    useSplitter_ = check(tr("Use Splitter to create multiple capture files"), "useSplitter");
    slave_ = check(tr("Slave to camera"), "slaveToCamera");
    currentDateTime_ = check(tr("Use current date && time"), "useCurrentDateTime");
    layout->addStretch(1);
}

void COptCapture::fill(const core::Options& o) {
    stopMode_->button(core::clampCaptureStopMode(o.captureStopMode))->setChecked(true);
    setNumber(hours_, o.captureDurationHours);
    setNumber(minutes_, o.captureDurationMinutes);
    setNumber(seconds_, o.captureDurationSeconds);
    setNumber(noFrames_, core::clampNoFramesSeconds(o.noFramesSeconds));
    aviType_->button(core::clampCaptureAviType(o.captureAviType))->setChecked(true);
    useSplitter_->setChecked(o.useSplitter);
    slave_->setChecked(o.slaveToCamera);
    currentDateTime_->setChecked(o.useCurrentDateTime);
}

void COptCapture::readBack(core::Options& o) const {
    o.captureStopMode = checkedId(stopMode_, core::stored(core::CaptureStopMode::kManual));
    o.captureDurationHours = numberOf(hours_);
    o.captureDurationMinutes = numberOf(minutes_);
    o.captureDurationSeconds = numberOf(seconds_);
    o.noFramesSeconds = numberOf(noFrames_);
    o.captureAviType = checkedId(aviType_, core::stored(media::AviType::kType2));
    o.useSplitter = useSplitter_->isChecked();
    o.slaveToCamera = slave_->isChecked();
    o.useCurrentDateTime = currentDateTime_->isChecked();
}

std::optional<core::OptionProblem> COptCapture::check(const core::Options& base) const {
    core::Options o = base;
    readBack(o);
    return core::validateCapturePage(o);
}

QLineEdit* COptCapture::fieldFor(const core::OptionProblem& p) const {
    switch (p.field) {
    case core::OptionField::kCaptureHours: return hours_;
    case core::OptionField::kCaptureMinutes: return minutes_;
    case core::OptionField::kCaptureSeconds: return seconds_;
    case core::OptionField::kNoFramesSeconds: return noFrames_;
    default: return nullptr;
    }
}

}  // namespace zorv::app
