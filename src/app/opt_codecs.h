// Decoders page: DV decoder resolution and the MPEG-2, AVC video and AC-3 audio decoder selections.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;

namespace zorv::app {

class COptCodecs : public COptPage {
    Q_OBJECT
public:
    explicit COptCodecs(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;

private:
    void select(int which);
    void showName(int which);

    QButtonGroup* resolution_;
    QLineEdit* names_[3];
    core::DecoderSelection choices_[3];
};

}  // namespace zorv::app
