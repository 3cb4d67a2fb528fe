// Capture page: when a capture stops, the AVI type of the capture files, splitter use, device
// control and the date and time written into the frames.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;
class QCheckBox;

namespace zorv::app {

class COptCapture : public COptPage {
    Q_OBJECT
public:
    explicit COptCapture(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;
    std::optional<core::OptionProblem> check(const core::Options& base) const override;
    QLineEdit* fieldFor(const core::OptionProblem& problem) const override;

private:
    QButtonGroup* stopMode_;
    QLineEdit* hours_;
    QLineEdit* minutes_;
    QLineEdit* seconds_;
    QLineEdit* noFrames_;
    QButtonGroup* aviType_;
    QCheckBox* useSplitter_;
    QCheckBox* slave_;
    QCheckBox* currentDateTime_;
};

}  // namespace zorv::app
