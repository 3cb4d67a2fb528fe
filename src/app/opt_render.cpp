#include "app/opt_render.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QVBoxLayout>

namespace zorv::app {

namespace {
RendererAvailability& availability() {
    static RendererAvailability a;
    return a;
}
}  // namespace

void setRendererAvailability(RendererAvailability a) { availability() = a; }

COptRender::COptRender(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* text =
        new QLabel(tr("OpenGL is recommended. However some older graphics hardware or buggy drivers may display \"blank\" "
                      "video with OpenGL. You may find that selecting Software solves this problem. Note that Software "
                      "drawing uses more processor time."),
                   this);
    text->setWordWrap(true);
    layout->addWidget(text);
    using core::Renderer, core::stored;
    renderer_ = addRadioGroup(this, layout, tr("Video renderer"),
                              {{"Software (embedded)", stored(Renderer::kVmr7Windowless)},
                               {"OpenGL (embedded) (recommended)", stored(Renderer::kVmr9Windowless)},
                               {"Software (own window)", stored(Renderer::kVmr7Windowed)},
                               {"OpenGL (own window)", stored(Renderer::kVmr9Windowed)}},
                              "renderer");
    const RendererAvailability a = availability();
    renderer_->button(stored(Renderer::kVmr7Windowless))->setEnabled(a.software);
    renderer_->button(stored(Renderer::kVmr7Windowed))->setEnabled(a.software);
    renderer_->button(stored(Renderer::kVmr9Windowless))->setEnabled(a.openGl);
    renderer_->button(stored(Renderer::kVmr9Windowed))->setEnabled(a.openGl);
    layout->addStretch(1);
}

void COptRender::fill(const core::Options& o) { renderer_->button(core::clampRenderer(o.renderer))->setChecked(true); }

void COptRender::readBack(core::Options& o) const {
    o.renderer = checkedId(renderer_, core::stored(core::Renderer::kVmr9Windowed));
}

}  // namespace zorv::app
