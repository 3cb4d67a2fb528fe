// Burn-in page: all frames or scene starts, text positioning, brightness, outline and transparency,
// the items drawn, and the output compression of HDV and AVCHD burn-in.
#pragma once

#include <vector>

#include "app/opt_page.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;

namespace zorv::app {

class COptBurn : public COptPage {
    Q_OBJECT
public:
    explicit COptBurn(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;
    std::optional<core::OptionProblem> check(const core::Options& base) const override;
    QLineEdit* fieldFor(const core::OptionProblem& problem) const override;

private:
    void selectCompressor();

    QButtonGroup* mode_;
    QLineEdit* duration_;
    QComboBox* durationUnit_;
    QButtonGroup* positioning_;
    QCheckBox* area43_;
    QLineEdit* brightness_;
    QLineEdit* outline_;
    QLineEdit* transparency_;
    std::vector<std::pair<QCheckBox*, std::uint32_t>> items_;
    std::uint32_t hiddenBits_ = 0;
    QLineEdit* compressorName_;
    core::DecoderSelection compressor_;
    QCheckBox* includeAudio_;
};

}  // namespace zorv::app
