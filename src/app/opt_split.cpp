#include "app/opt_split.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zorv::app {

COptSplit::COptSplit(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* triggerBox = new QGroupBox(tr("Split files at"), this);
    auto* grid = new QGridLayout(triggerBox);
    trigger_ = new QButtonGroup(this);
    const char* triggers[] = {"Timecode discontinuity of at least", "Date/Time discontinuity of at least",
                              "User Bits change", "Tape Index marker"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(triggers[i]), triggerBox);
        r->setObjectName(QStringLiteral("splitTrigger%1").arg(i + 1));
        trigger_->addButton(r, i + 1);
        grid->addWidget(r, i, 0);
    }
    frames_ = numberEdit(triggerBox, 3, false, "timecodeTrigger");
    seconds_ = numberEdit(triggerBox, 3, false, "dateTimeTrigger");
    grid->addWidget(frames_, 0, 1);
    grid->addWidget(new QLabel(tr("frames"), triggerBox), 0, 2);
    grid->addWidget(seconds_, 1, 1);
    grid->addWidget(new QLabel(tr("secs"), triggerBox), 1, 2);
    layout->addWidget(triggerBox);
    connect(trigger_, &QButtonGroup::idToggled, this, [this](int, bool) { updateEnabled(); });

    nameFormat_ = addRadioGroup(this, layout, tr("File names"),
                                {{"Sequential file number (nnnn)", core::stored(core::SplitNameFormat::kNumber)},
                                 {"Timecode (hh.mm.ss.ff)", core::stored(core::SplitNameFormat::kTimecode)},
                                 {"Date/Time (yyyy-mm-dd hh.mm.ss)", core::stored(core::SplitNameFormat::kDateTime)},
                                 {"User Bits (nn.nn.nn.nn)", core::stored(core::SplitNameFormat::kUserBits)}},
                                "splitName");
    auto* prerollRow = new QHBoxLayout;
    prerollRow->addWidget(new QLabel(tr("Preroll delay"), this));
    preroll_ = numberEdit(this, 2, false, "preroll");
    prerollRow->addWidget(preroll_);
    prerollRow->addWidget(new QLabel(tr("secs"), this));
    prerollRow->addStretch(1);
    layout->addLayout(prerollRow);
    layout->addStretch(1);
}

void COptSplit::updateEnabled() {
    const auto t = core::choiceOf<core::SplitTrigger>(checkedId(trigger_, core::stored(core::SplitTrigger::kTimecode)));
    frames_->setEnabled(t == core::SplitTrigger::kTimecode);
    seconds_->setEnabled(t == core::SplitTrigger::kDateTime);
}

void COptSplit::fill(const core::Options& o) {
    trigger_->button(core::clampSplitTrigger(o.splitTrigger))->setChecked(true);
    setNumber(frames_, core::clampSplitThreshold(o.timecodeTriggerFrames));
    setNumber(seconds_, core::clampSplitThreshold(o.dateTimeTriggerSeconds));
    nameFormat_->button(core::clampSplitFileNameFormat(o.splitFileNameFormat))->setChecked(true);
    setNumber(preroll_, core::clampPrerollDelay(o.prerollDelaySeconds));
    updateEnabled();
}

void COptSplit::readBack(core::Options& o) const {
    o.splitTrigger = checkedId(trigger_, core::stored(core::SplitTrigger::kTimecode));
    o.timecodeTriggerFrames = numberOf(frames_);
    o.dateTimeTriggerSeconds = numberOf(seconds_);
    o.splitFileNameFormat = checkedId(nameFormat_, core::stored(core::SplitNameFormat::kNumber));
    o.prerollDelaySeconds = numberOf(preroll_);
}

std::optional<core::OptionProblem> COptSplit::check(const core::Options& base) const {
    core::Options o = base;
    readBack(o);
    return core::validateSplitterPage(o);
}

QLineEdit* COptSplit::fieldFor(const core::OptionProblem& p) const {
    switch (p.field) {
    case core::OptionField::kTimecodeTrigger: return frames_;
    case core::OptionField::kDateTimeTrigger: return seconds_;
    case core::OptionField::kPreroll: return preroll_;
    default: return nullptr;
    }
}

}  // namespace zorv::app
