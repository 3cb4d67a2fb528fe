// General page: date and drop-frame display forms, progress and GPS display, window position memory
// and "Save all settings as default".
#pragma once

#include "app/opt_page.h"

class QButtonGroup;
class QCheckBox;

namespace zorv::app {

class COptGeneral : public COptPage {
    Q_OBJECT
public:
    explicit COptGeneral(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;

private:
    QButtonGroup* dateFormat_;
    QButtonGroup* dropFrame_;
    QCheckBox* progressAsFrame_;
    QCheckBox* gpsDecimal_;
    QCheckBox* showGps_;
    QCheckBox* rememberPosition_;
    QCheckBox* saveDefaults_;
};

}  // namespace zorv::app
