#include "app/opt_scene_detect.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zorv::app {

namespace {
struct SceneBox {
    const char* text;
    std::uint32_t bit;
};
static const SceneBox kSceneBoxes[] = {
    {"Timecode discontinuity", 0x1},
    {"User Bits change", 0x2},
    {"Recording date/time discontinuity", 0x10},
    {"Shutter speed", 0x40},
    {"Iris", 0x80},
    {"Stabilizer", 0x100},
    {"Gain", 0x200},
    {"Auto-Exposure Mode", 0x400},
    {"White Balance", 0x1000},
    {"Focus", 0x4000},
    {"Audio sampling freq", 0x8000},
    {"Audio locked/unlocked", 0x10000},
    {"Tape Index point", 0x20000},
    {"Dropped Frame", 0x40000},
    {"Damage", core::scene_trigger::kDamage},
};
// The damage box says what it reacts to.
constexpr char kDamageTip[] =
    "A scene starts at the first frame of every run of damaged frames (concealed or "
    "uncorrected video blocks, audio error samples, blank packs, misplaced blocks, "
    "repeated or backward timecode)";
constexpr int kRows = 8;
}  // namespace

COptSceneDetect::COptSceneDetect(QWidget* parent) : COptPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(tr("Scene changes are detected at Timecode discontinuities, Recording Date/Time "
                               "discontinuities, or at changes in other metadata items."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* grid = new QGridLayout;
    int i = 0;
    for (const SceneBox& b : kSceneBoxes) {
        auto* box = new QCheckBox(QString::fromLatin1(b.text), this);
        box->setObjectName(QStringLiteral("scene%1").arg(b.bit, 0, 16));
        if (b.bit == core::scene_trigger::kDamage) box->setToolTip(QString::fromLatin1(kDamageTip));
        grid->addWidget(box, i % kRows, i / kRows);
        boxes_.emplace_back(box, b.bit);
        ++i;
    }
    layout->addLayout(grid);
    layout->addStretch(1);
}

void COptSceneDetect::fill(const core::Options& o) {
    std::uint32_t shown = 0;
    for (auto& [box, bit] : boxes_) {
        box->setChecked((o.sceneTriggerMask & bit) != 0);
        shown |= bit;
    }
    others_ = o.sceneTriggerMask & ~shown;
}

void COptSceneDetect::readBack(core::Options& o) const {
    std::uint32_t mask = others_;
    for (const auto& [box, bit] : boxes_)
        if (box->isChecked()) mask |= bit;
    o.sceneTriggerMask = mask;
}

}  // namespace zorv::app
