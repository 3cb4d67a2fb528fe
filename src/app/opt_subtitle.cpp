#include "app/opt_subtitle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QVBoxLayout>

namespace zorv::app {

COptSubtitle::COptSubtitle(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    layout_ = addRadioGroup(this, layout, tr("Export subtitles as ..."),
                            {{"All metadata", core::stored(core::SubtitleLayout::kAllMetadata)},
                             {"Date above Time (2 lines)", core::stored(core::SubtitleLayout::kDateAboveTime)},
                             {"Time above Date (2 lines)", core::stored(core::SubtitleLayout::kTimeAboveDate)},
                             {"Date then Time (1 line)", core::stored(core::SubtitleLayout::kDateThenTime)},
                             {"Time then Date (1 line)", core::stored(core::SubtitleLayout::kTimeThenDate)}},
                            "subtitleLayout");
    layout->addStretch(1);
}

void COptSubtitle::fill(const core::Options& o) {
    layout_->button(core::clampSubtitleLayout(o.subtitleLayout))->setChecked(true);
}

void COptSubtitle::readBack(core::Options& o) const {
    o.subtitleLayout = checkedId(layout_, core::stored(core::SubtitleLayout::kTimeThenDate));
}

}  // namespace zorv::app
