// Export Subtitles page: the subtitle layout.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;

namespace zorv::app {

class COptSubtitle : public COptPage {
    Q_OBJECT
public:
    explicit COptSubtitle(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;

private:
    QButtonGroup* layout_;
};

}  // namespace zorv::app
