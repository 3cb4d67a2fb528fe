// Modify Metadata page: the timecode, date/time and user-bits changes, the NTSC timecode kind and the
// widescreen flag.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;

namespace zorv::app {

class COptMetaEdit : public COptPage {
    Q_OBJECT
public:
    explicit COptMetaEdit(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;
    std::optional<core::OptionProblem> check(const core::Options& base) const override;
    QLineEdit* fieldFor(const core::OptionProblem& problem) const override;

private:
    void updateEnabled();

    QCheckBox* changeTimecode_;
    QButtonGroup* timecodeMode_;
    QLineEdit* tc_[4];  // hours, minutes, seconds, frames
    QWidget* timecodeZero_;
    QCheckBox* changeDateTime_;
    QButtonGroup* dateTimeMode_;
    QLineEdit* date_[3];  // years, months, days
    QLineEdit* time_[3];  // hours, minutes, seconds
    QWidget* dateZero_;
    QWidget* timeZero_;
    QCheckBox* setUserBits_;
    QLineEdit* userBits_[4];
    QCheckBox* changeDropFrame_;
    QComboBox* dropFrameTarget_;
    QCheckBox* changeWidescreen_;
    QComboBox* widescreenTarget_;
};

}  // namespace zorv::app
