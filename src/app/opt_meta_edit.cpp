#include "app/opt_meta_edit.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace zorv::app {

namespace {
QRadioButton* radio(QButtonGroup* group, QWidget* parent, const QString& text, int id, const QString& name) {
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(name);
    group->addButton(r, id);
    return r;
}

// The radio ids: the stored numbers of the modes.
constexpr int kAdjustBy = core::stored(core::ModifyMode::kAdjustBy);
constexpr int kStartFrom = core::stored(core::ModifyMode::kStartFrom);
constexpr int kFromFileName = core::stored(core::ModifyMode::kFromFileName);
}  // namespace

COptMetaEdit::COptMetaEdit(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);

    // Timecode group.
    auto* tcBox = new QGroupBox(this);
    auto* tcGrid = new QGridLayout(tcBox);
    changeTimecode_ = new QCheckBox(tr("Timecode"), tcBox);
    changeTimecode_->setObjectName(QStringLiteral("changeTimecode"));
    tcGrid->addWidget(changeTimecode_, 0, 0);
    timecodeMode_ = new QButtonGroup(this);
    tcGrid->addWidget(radio(timecodeMode_, tcBox, tr("Adjust by"), kAdjustBy, QStringLiteral("tcAdjust")), 1, 0);
    tcGrid->addWidget(radio(timecodeMode_, tcBox, tr("Start from"), kStartFrom, QStringLiteral("tcStart")), 2, 0);
    const char* tcLabels[] = {"Hours", "Mins", "Secs", "Frames"};
    const char* tcNames[] = {"tcHours", "tcMinutes", "tcSeconds", "tcFrames"};
    for (int i = 0; i < 4; ++i) {
        tcGrid->addWidget(new QLabel(tr(tcLabels[i]), tcBox), 0, i + 1);
        tc_[i] = numberEdit(tcBox, 2, true, tcNames[i]);
        tcGrid->addWidget(tc_[i], 1, i + 1);
    }
    auto* tcZero = new QPushButton(tr("Zero"), tcBox);
    tcZero->setObjectName(QStringLiteral("tcZero"));
    timecodeZero_ = tcZero;
    tcGrid->addWidget(tcZero, 1, 5);
    connect(tcZero, &QPushButton::clicked, this, [this] {
        for (QLineEdit* e : tc_) setNumber(e, 0);
    });
    layout->addWidget(tcBox);

    // Date and time group.
    auto* dtBox = new QGroupBox(this);
    auto* dtGrid = new QGridLayout(dtBox);
    changeDateTime_ = new QCheckBox(tr("Date and Time"), dtBox);
    changeDateTime_->setObjectName(QStringLiteral("changeDateTime"));
    dtGrid->addWidget(changeDateTime_, 0, 0);
    dateTimeMode_ = new QButtonGroup(this);
    dtGrid->addWidget(radio(dateTimeMode_, dtBox, tr("Adjust by"), kAdjustBy, QStringLiteral("dtAdjust")), 1, 0);
    dtGrid->addWidget(radio(dateTimeMode_, dtBox, tr("Start from"), kStartFrom, QStringLiteral("dtStart")), 2, 0);
    dtGrid->addWidget(radio(dateTimeMode_, dtBox, tr("Extract start date and time from file name"), kFromFileName,
                            QStringLiteral("dtFromName")),
                      5, 0, 1, 5);
    const char* dateLabels[] = {"Years", "Months", "Days"};
    const char* dateNames[] = {"dateYears", "dateMonths", "dateDays"};
    const char* timeLabels[] = {"Hours", "Mins", "Secs"};
    const char* timeNames[] = {"timeHours", "timeMinutes", "timeSeconds"};
    for (int i = 0; i < 3; ++i) {
        dtGrid->addWidget(new QLabel(tr(dateLabels[i]), dtBox), 0, i + 1);
        date_[i] = numberEdit(dtBox, 2, true, dateNames[i]);
        dtGrid->addWidget(date_[i], 1, i + 1);
        dtGrid->addWidget(new QLabel(tr(timeLabels[i]), dtBox), 3, i + 1);
        time_[i] = numberEdit(dtBox, 2, true, timeNames[i]);
        dtGrid->addWidget(time_[i], 4, i + 1);
    }
    auto* dZero = new QPushButton(tr("Zero"), dtBox);
    dZero->setObjectName(QStringLiteral("dateZero"));
    auto* tZero = new QPushButton(tr("Zero"), dtBox);
    tZero->setObjectName(QStringLiteral("timeZero"));
    dateZero_ = dZero;
    timeZero_ = tZero;
    dtGrid->addWidget(dZero, 1, 4);
    dtGrid->addWidget(tZero, 4, 4);
    connect(dZero, &QPushButton::clicked, this, [this] {
        for (QLineEdit* e : date_) setNumber(e, 0);
    });
    connect(tZero, &QPushButton::clicked, this, [this] {
        for (QLineEdit* e : time_) setNumber(e, 0);
    });
    layout->addWidget(dtBox);

    // User bits.
    auto* ubRow = new QHBoxLayout;
    setUserBits_ = new QCheckBox(tr("Set User Bits (00 to FF)"), this);
    setUserBits_->setObjectName(QStringLiteral("setUserBits"));
    ubRow->addWidget(setUserBits_);
    for (int i = 0; i < 4; ++i) {
        userBits_[i] = new QLineEdit(this);
        userBits_[i]->setObjectName(QStringLiteral("userBits%1").arg(i));
        userBits_[i]->setMaxLength(2);
        userBits_[i]->setMaximumWidth(40);
        ubRow->addWidget(userBits_[i]);
    }
    ubRow->addStretch(1);
    layout->addLayout(ubRow);

    auto listRow = [&](QCheckBox*& check, QComboBox*& list, const QString& text, const char* checkName, const char* listName,
                       QStringList entries) {
        auto* row = new QHBoxLayout;
        check = new QCheckBox(text, this);
        check->setObjectName(QLatin1String(checkName));
        list = new QComboBox(this);
        list->setObjectName(QLatin1String(listName));
        list->addItems(entries);
        row->addWidget(check);
        row->addWidget(list);
        row->addStretch(1);
        layout->addLayout(row);
    };
    listRow(changeDropFrame_, dropFrameTarget_, tr("Change NTSC timecode to"), "changeDropFrame", "dropFrameTarget",
            {tr("drop frame"), tr("non-drop frame")});
    listRow(changeWidescreen_, widescreenTarget_, tr("Change widescreen flag to"), "changeWidescreen", "widescreenTarget",
            {tr("16:9"), tr("4:3")});
    layout->addStretch(1);

    for (QCheckBox* c : {changeTimecode_, changeDateTime_, setUserBits_, changeDropFrame_, changeWidescreen_})
        connect(c, &QCheckBox::toggled, this, &COptMetaEdit::updateEnabled);
    connect(dateTimeMode_, &QButtonGroup::idToggled, this, [this](int, bool) { updateEnabled(); });
}

void COptMetaEdit::updateEnabled() {
    const bool tc = changeTimecode_->isChecked();
    for (QAbstractButton* b : timecodeMode_->buttons()) b->setEnabled(tc);
    for (QLineEdit* e : tc_) e->setEnabled(tc);
    timecodeZero_->setEnabled(tc);
    const bool dt = changeDateTime_->isChecked();
    const bool amounts = dt && checkedId(dateTimeMode_, kAdjustBy) != kFromFileName;
    for (QAbstractButton* b : dateTimeMode_->buttons()) b->setEnabled(dt);
    for (QLineEdit* e : date_) e->setEnabled(amounts);
    for (QLineEdit* e : time_) e->setEnabled(amounts);
    dateZero_->setEnabled(amounts);
    timeZero_->setEnabled(amounts);
    for (QLineEdit* e : userBits_) e->setEnabled(setUserBits_->isChecked());
    dropFrameTarget_->setEnabled(changeDropFrame_->isChecked());
    widescreenTarget_->setEnabled(changeWidescreen_->isChecked());
}

void COptMetaEdit::fill(const core::Options& o) {
    changeTimecode_->setChecked(o.changeTimecode);
    timecodeMode_->button(o.timecodeMode == kStartFrom ? kStartFrom : kAdjustBy)->setChecked(true);
    const int tc[] = {o.timecodeHours, o.timecodeMinutes, o.timecodeSeconds, o.timecodeFrames};
    for (int i = 0; i < 4; ++i) setNumber(tc_[i], tc[i]);
    changeDateTime_->setChecked(o.changeDateTime);
    const int dtMode = (o.dateTimeMode == kStartFrom || o.dateTimeMode == kFromFileName) ? o.dateTimeMode : kAdjustBy;
    dateTimeMode_->button(dtMode)->setChecked(true);
    const int d[] = {o.dateYears, o.dateMonths, o.dateDays};
    const int t[] = {o.timeHours, o.timeMinutes, o.timeSeconds};
    for (int i = 0; i < 3; ++i) {
        setNumber(date_[i], d[i]);
        setNumber(time_[i], t[i]);
    }
    setUserBits_->setChecked(o.setUserBits);
    for (int i = 0; i < 4; ++i)
        userBits_[i]->setText(
            QStringLiteral("%1").arg(o.userBits[static_cast<std::size_t>(i)] & 0xFF, 2, 16, QLatin1Char('0')).toUpper());
    changeDropFrame_->setChecked(o.changeDropFrame);
    dropFrameTarget_->setCurrentIndex(core::clampListIndex(o.dropFrameTarget));
    changeWidescreen_->setChecked(o.changeWidescreen);
    widescreenTarget_->setCurrentIndex(core::clampListIndex(o.widescreenTarget));
    updateEnabled();
}

void COptMetaEdit::readBack(core::Options& o) const {
    o.changeTimecode = changeTimecode_->isChecked();
    o.timecodeMode = checkedId(timecodeMode_, kAdjustBy);
    o.timecodeHours = numberOf(tc_[0]);
    o.timecodeMinutes = numberOf(tc_[1]);
    o.timecodeSeconds = numberOf(tc_[2]);
    o.timecodeFrames = numberOf(tc_[3]);
    o.changeDateTime = changeDateTime_->isChecked();
    o.dateTimeMode = checkedId(dateTimeMode_, kAdjustBy);
    o.dateYears = numberOf(date_[0]);
    o.dateMonths = numberOf(date_[1]);
    o.dateDays = numberOf(date_[2]);
    o.timeHours = numberOf(time_[0]);
    o.timeMinutes = numberOf(time_[1]);
    o.timeSeconds = numberOf(time_[2]);
    o.setUserBits = setUserBits_->isChecked();
    for (int i = 0; i < 4; ++i)
        o.userBits[static_cast<std::size_t>(i)] = core::parseUserBitsField(userBits_[i]->text().trimmed().toStdString());
    o.changeDropFrame = changeDropFrame_->isChecked();
    o.dropFrameTarget = dropFrameTarget_->currentIndex();
    o.changeWidescreen = changeWidescreen_->isChecked();
    o.widescreenTarget = widescreenTarget_->currentIndex();
}

std::optional<core::OptionProblem> COptMetaEdit::check(const core::Options& base) const {
    core::Options o = base;
    readBack(o);
    return core::validateModifyPage(o);
}

QLineEdit* COptMetaEdit::fieldFor(const core::OptionProblem& p) const {
    using F = core::OptionField;
    switch (p.field) {
    case F::kTimecodeHours: return tc_[0];
    case F::kTimecodeMinutes: return tc_[1];
    case F::kTimecodeSeconds: return tc_[2];
    case F::kTimecodeFrames: return tc_[3];
    case F::kDateYears: return date_[0];
    case F::kDateMonths: return date_[1];
    case F::kDateDays: return date_[2];
    case F::kTimeHours: return time_[0];
    case F::kTimeMinutes: return time_[1];
    case F::kTimeSeconds: return time_[2];
    case F::kUserBits: return userBits_[std::clamp(p.index, 0, 3)];
    default: return nullptr;
    }
}

}  // namespace zorv::app
