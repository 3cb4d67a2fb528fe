// Burn-in user positioning page: font, text height and style, and an X/Y position per item.
#pragma once

#include "app/opt_page.h"

class QCheckBox;
class QComboBox;

namespace zorv::app {

class COptBurnUser : public COptPage {
    Q_OBJECT
public:
    explicit COptBurnUser(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;
    std::optional<core::OptionProblem> check(const core::Options& base) const override;
    QLineEdit* fieldFor(const core::OptionProblem& problem) const override;

    // "5.0" -> 50 (tenths of a percent); core::kNotANumber when not a number with at most one decimal.
    static int parseTextHeight(const QString& text);

private:
    QComboBox* font_;
    QLineEdit* height_;
    QCheckBox* bold_;
    QCheckBox* italic_;
    QLineEdit* x_[core::kBurnItemCount];
    QLineEdit* y_[core::kBurnItemCount];
};

}  // namespace zorv::app
