// Rendering page: the video output used by the players. The four choices keep their stored values:
// 1 software drawing inside the main window, 2 OpenGL inside the main window (recommended),
// 3 software drawing in a window of its own, 4 OpenGL in a window of its own.
#pragma once

#include "app/opt_page.h"

class QButtonGroup;

namespace zorv::app {

// Which video outputs could be created at start-up (the main window probes them).
struct RendererAvailability {
    bool software = true;  // values 1 and 3
    bool openGl = true;    // values 2 and 4
};
void setRendererAvailability(RendererAvailability availability);

class COptRender : public COptPage {
    Q_OBJECT
public:
    explicit COptRender(QWidget* parent = nullptr);
    void fill(const core::Options& o) override;
    void readBack(core::Options& o) const override;

private:
    QButtonGroup* renderer_;
};

}  // namespace zorv::app
