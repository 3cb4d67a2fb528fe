// Scenes page: which metadata changes start a new scene (bits of the scene-trigger mask).
#pragma once

#include <vector>

#include "app/opt_page.h"

class QCheckBox;

namespace zorv::app {

class COptSceneDetect : public COptPage {
    Q_OBJECT
public:
    explicit COptSceneDetect(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;

private:
    std::vector<std::pair<QCheckBox*, std::uint32_t>> boxes_;
    std::uint32_t others_ = 0;  // bits that no check box shows stay as they were
};

}  // namespace zorv::app
