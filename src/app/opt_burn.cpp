#include "app/opt_burn.h"

#include <algorithm>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/codec_select_dialog.h"
#include "core/burn_items.h"

namespace zorv::app {

namespace {
// The item check boxes in the order of their mask bits, five to a column.
std::vector<const core::BurnItemFacts*> itemsByBit() {
    std::vector<const core::BurnItemFacts*> items;
    for (const core::BurnItemFacts& f : core::kBurnItems) items.push_back(&f);
    std::sort(items.begin(), items.end(), [](auto* a, auto* b) { return a->bit < b->bit; });
    return items;
}
}  // namespace

COptBurn::COptBurn(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);

    auto* modeBox = new QGroupBox(tr("Burn-in Mode"), this);
    auto* modeGrid = new QGridLayout(modeBox);
    mode_ = new QButtonGroup(this);
    auto* all = new QRadioButton(tr("All frames"), modeBox);
    all->setObjectName(QStringLiteral("burnMode0"));
    auto* scenes = new QRadioButton(tr("Start of scenes for"), modeBox);
    scenes->setObjectName(QStringLiteral("burnMode1"));
    mode_->addButton(all, core::stored(core::BurnMode::kAllFrames));
    mode_->addButton(scenes, core::stored(core::BurnMode::kSceneStarts));
    duration_ = numberEdit(modeBox, 3, false, "burnDuration");
    durationUnit_ = new QComboBox(modeBox);
    durationUnit_->setObjectName(QStringLiteral("burnDurationUnit"));
    durationUnit_->addItems({tr("secs"), tr("frames")});
    modeGrid->addWidget(all, 0, 0);
    modeGrid->addWidget(scenes, 1, 0);
    modeGrid->addWidget(duration_, 1, 1);
    modeGrid->addWidget(durationUnit_, 1, 2);
    modeGrid->addWidget(new QLabel(tr("(DV only)"), modeBox), 1, 3);
    layout->addWidget(modeBox);

    auto* row = new QHBoxLayout;
    positioning_ = addRadioGroup(this, nullptr, tr("Text Positioning"),
                                 {{"User positioning", core::stored(core::TextPositioning::kUser)},
                                  {"Fixed, 80% title safe", core::stored(core::TextPositioning::kFixed80)},
                                  {"Fixed, 90% title safe", core::stored(core::TextPositioning::kFixed90)}},
                                 "positioning");
    row->addWidget(positioning_->button(core::stored(core::TextPositioning::kUser))->parentWidget());
    auto* look = new QGridLayout;
    area43_ = new QCheckBox(tr("Always use 4:3 area"), this);
    area43_->setObjectName(QStringLiteral("always43"));
    look->addWidget(area43_, 0, 0, 1, 3);
    auto percentRow = [&](int r, const QString& label, const char* name) {
        look->addWidget(new QLabel(label, this), r, 0);
        auto* e = numberEdit(this, 3, false, name);
        look->addWidget(e, r, 1);
        look->addWidget(new QLabel(QStringLiteral("%"), this), r, 2);
        return e;
    };
    brightness_ = percentRow(1, tr("Text brightness"), "textBrightness");
    outline_ = percentRow(2, tr("Outline brightness"), "outlineBrightness");
    transparency_ = percentRow(3, tr("Transparency"), "transparency");
    row->addLayout(look);
    layout->addLayout(row);

    auto* itemsBox = new QGroupBox(tr("Items"), this);
    auto* itemsGrid = new QGridLayout(itemsBox);
    int i = 0;
    for (const core::BurnItemFacts* f : itemsByBit()) {
        QString text = QString::fromLatin1(f->label);
        if (*f->note) text += QLatin1Char(' ') + QString::fromLatin1(f->note);
        auto* box = new QCheckBox(text, itemsBox);
        box->setObjectName(QStringLiteral("burnItem%1").arg(f->bit, 0, 16));
        itemsGrid->addWidget(box, i % 5, i / 5);
        items_.emplace_back(box, f->bit);
        ++i;
    }
    layout->addWidget(itemsBox);

    auto* compBox = new QGroupBox(tr("HDV && AVCHD Output AVI Compression"), this);
    auto* compRow = new QHBoxLayout(compBox);
    compressorName_ = new QLineEdit(compBox);
    compressorName_->setReadOnly(true);
    compressorName_->setObjectName(QStringLiteral("compressorName"));
    auto* select = new QPushButton(tr("Select"), compBox);
    select->setObjectName(QStringLiteral("compressorSelect"));
    connect(select, &QPushButton::clicked, this, &COptBurn::selectCompressor);
    compRow->addWidget(compressorName_, 1);
    compRow->addWidget(select);
    layout->addWidget(compBox);
    includeAudio_ = new QCheckBox(tr("Include audio stream in output AVI file"), this);
    includeAudio_->setObjectName(QStringLiteral("includeAudio"));
    layout->addWidget(includeAudio_);
    layout->addStretch(1);
}

void COptBurn::selectCompressor() {
    const bool shift = QApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
    if (auto chosen = runCodecSelect(this, media::codec::CodecRole::kVideoCompressor, compressor_, shift)) {
        compressor_ = *chosen;
        compressorName_->setText(QString::fromStdString(chosen->name));
    }
}

void COptBurn::fill(const core::Options& o) {
    mode_->button(core::clampBurnInMode(o.burnInMode))->setChecked(true);
    setNumber(duration_, core::clampBurnInDuration(o.burnInDuration));
    durationUnit_->setCurrentIndex(core::clampBurnInDurationUnit(o.burnInDurationUnit));
    positioning_->button(core::clampTextPositioning(o.textPositioning))->setChecked(true);
    area43_->setChecked(o.always43Area);
    setNumber(brightness_, core::clampPercent(o.textBrightness, 100));
    setNumber(outline_, core::clampPercent(o.outlineBrightness, 100));
    setNumber(transparency_, core::clampPercent(o.transparency, 99));
    std::uint32_t shown = 0;
    for (auto& [box, bit] : items_) {
        box->setChecked((o.burnInItemMask & bit) != 0);
        shown |= bit;
    }
    hiddenBits_ = o.burnInItemMask & ~shown;
    compressor_ = o.outputCompressor;
    compressorName_->setText(QString::fromStdString(compressor_.name));
    includeAudio_->setChecked(o.includeAudio);
}

void COptBurn::readBack(core::Options& o) const {
    o.burnInMode = checkedId(mode_, core::stored(core::BurnMode::kAllFrames));
    o.burnInDuration = numberOf(duration_);
    o.burnInDurationUnit = durationUnit_->currentIndex();
    o.textPositioning = checkedId(positioning_, core::stored(core::TextPositioning::kFixed90));
    o.always43Area = area43_->isChecked();
    o.textBrightness = numberOf(brightness_);
    o.outlineBrightness = numberOf(outline_);
    o.transparency = numberOf(transparency_);
    std::uint32_t mask = hiddenBits_;
    for (const auto& [box, bit] : items_)
        if (box->isChecked()) mask |= bit;
    o.burnInItemMask = mask;
    o.outputCompressor = compressor_;
    o.includeAudio = includeAudio_->isChecked();
}

std::optional<core::OptionProblem> COptBurn::check(const core::Options& base) const {
    core::Options o = base;
    readBack(o);
    return core::validateBurnInPage(o);
}

QLineEdit* COptBurn::fieldFor(const core::OptionProblem& p) const {
    switch (p.field) {
    case core::OptionField::kBurnDuration: return duration_;
    case core::OptionField::kTextBrightness: return brightness_;
    case core::OptionField::kOutlineBrightness: return outline_;
    case core::OptionField::kTransparency: return transparency_;
    default: return nullptr;
    }
}

}  // namespace zorv::app
