// Export Metadata page: which frames get a row, and the header line.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;
class QCheckBox;

namespace zorv::app {

class COptExport : public COptPage {
    Q_OBJECT
public:
    explicit COptExport(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;

private:
    QButtonGroup* frequency_;
    QCheckBox* header_;
};

}  // namespace zorv::app
