// Splitter page: the trigger that starts a new file, its threshold, the file-name form and the
// pre-roll delay.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;

namespace zorv::app {

class COptSplit : public COptPage {
    Q_OBJECT
public:
    explicit COptSplit(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;
    std::optional<core::OptionProblem> check(const core::Options& base) const override;
    QLineEdit* fieldFor(const core::OptionProblem& problem) const override;

private:
    void updateEnabled();

    QButtonGroup* trigger_;
    QLineEdit* frames_;
    QLineEdit* seconds_;
    QButtonGroup* nameFormat_;
    QLineEdit* preroll_;
};

}  // namespace zorv::app
