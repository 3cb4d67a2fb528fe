#include "app/opt_subtitle.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QVBoxLayout>

#include <utility>

#include "tools/subtitle_export.h"

namespace zorv::app {

COptSubtitle::COptSubtitle(QWidget* parent) : COptPage(parent) {
    using core::SubtitleLayout;
    auto radio = [](SubtitleLayout l) {
        return std::pair<const char*, int>{tools::subtitleLayoutName(core::stored(l)), core::stored(l)};
    };
    auto* layout = new QVBoxLayout(this);
    layout_ = addRadioGroup(
        this, layout, tr("Export subtitles as ..."),
        {radio(SubtitleLayout::kAllMetadata), radio(SubtitleLayout::kDateAboveTime), radio(SubtitleLayout::kTimeAboveDate),
         radio(SubtitleLayout::kDateThenTime), radio(SubtitleLayout::kTimeThenDate)},
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
