#include "app/opt_subtitle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QVBoxLayout>

namespace zorv::app {

COptSubtitle::COptSubtitle(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    layout_ = addRadioGroup(this, layout, tr("Export subtitles as ..."),
                            {{"All metadata", 0},
                             {"Date above Time (2 lines)", 1},
                             {"Time above Date (2 lines)", 2},
                             {"Date then Time (1 line)", 3},
                             {"Time then Date (1 line)", 4}},
                            "subtitleLayout");
    layout->addStretch(1);
}

void COptSubtitle::fill(const core::Options& o) {
    layout_->button(core::clampSubtitleLayout(o.subtitleLayout))->setChecked(true);
}

void COptSubtitle::readBack(core::Options& o) const { o.subtitleLayout = checkedId(layout_, 4); }

}  // namespace zorv::app
