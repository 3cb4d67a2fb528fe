#include "app/damage_strip.h"

#include <algorithm>

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "app/damage_colours.h"
#include "app/position_slider.h"

namespace zorv::app {

namespace {

using core::DamageSeverity;

constexpr int kHeight = 9;
constexpr int kMinMarkWidth = 2;
constexpr int kNearPixels = 4;  // a click or the pointer this close to a mark counts as on it

QString legend() {
    return QStringLiteral(
        "Damage found on the tape:\n"
        "red: video blocks with errors the deck could not conceal\n"
        "amber: video blocks concealed by the deck\n"
        "purple: frames missing from the file (dropped)\n"
        "light blue (low mark): audio error samples only\n"
        "grey (low mark): blank packs, misplaced blocks or a repeated or backward timecode only");
}

// Worse damage is drawn last, over the lighter marks it may share a pixel with.
int drawOrder(const tools::DamageRun& r) { return r.dropped ? 5 : static_cast<int>(r.severity); }

bool lowMark(const tools::DamageRun& r) {
    return !r.dropped && (r.severity == DamageSeverity::kAudio || r.severity == DamageSeverity::kSigns);
}

}  // namespace

DamageStrip::DamageStrip(const PositionSlider* slider, QWidget* parent) : QWidget(parent), slider_(slider) {
    setObjectName(QStringLiteral("damageStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(kHeight);
    setToolTip(legend());
}

QSize DamageStrip::sizeHint() const { return QSize(200, kHeight); }

void DamageStrip::setRuns(const std::vector<tools::DamageRun>* runs, int64_t frameCount) {
    runs_ = runs;
    frames_ = runs ? frameCount : 0;
    update();
}

QColor DamageStrip::colour(const tools::DamageRun& r) {
    if (r.dropped) return damage_colour::dropped();
    switch (r.severity) {
    case DamageSeverity::kUncorrected: return damage_colour::uncorrected();
    case DamageSeverity::kConcealed: return damage_colour::concealed();
    case DamageSeverity::kAudio: return damage_colour::audio();
    case DamageSeverity::kSigns: return damage_colour::signs();
    case DamageSeverity::kNone: break;
    }
    return QColor();
}

QString DamageStrip::meaning(const tools::DamageRun& r) {
    if (r.dropped) return QStringLiteral("dropped");
    switch (r.severity) {
    case DamageSeverity::kUncorrected: return QStringLiteral("video errors not concealed");
    case DamageSeverity::kConcealed: return QStringLiteral("concealed video blocks");
    case DamageSeverity::kAudio: return QStringLiteral("audio error samples");
    case DamageSeverity::kSigns: return QStringLiteral("blank packs, misplaced blocks or timecode out of order");
    case DamageSeverity::kNone: break;
    }
    return QString();
}

const tools::DamageRun* DamageStrip::runAt(int64_t n) const { return runs_ ? tools::damageRunAt(*runs_, n) : nullptr; }

std::pair<int, int> DamageStrip::span() const {
    auto [left, right] = slider_->valueSpan();
    const int dx = mapFromGlobal(slider_->mapToGlobal(QPoint(0, 0))).x();
    return {left + dx, right + dx};
}

std::pair<int, int> DamageStrip::frameSpan(int64_t n) const {
    if (frames_ <= 0) return {0, 0};
    const auto [left, right] = span();
    const int64_t w = right - left;
    const int a = left + static_cast<int>(n * w / frames_);
    const int b = left + static_cast<int>((n + 1) * w / frames_);
    return {a, std::max(b, a + kMinMarkWidth)};
}

void DamageStrip::paintEvent(QPaintEvent*) {
    if (!runs_ || runs_->empty() || frames_ <= 0) return;
    std::vector<const tools::DamageRun*> order;
    order.reserve(runs_->size());
    for (const auto& r : *runs_) order.push_back(&r);
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) { return drawOrder(*a) < drawOrder(*b); });
    QPainter p(this);
    for (const tools::DamageRun* r : order) {
        const int x0 = frameSpan(r->first).first;
        const int x1 = frameSpan(r->last).second;
        const int top = lowMark(*r) ? height() / 2 : 0;
        p.fillRect(QRect(x0, top, x1 - x0, height() - top), colour(*r));
    }
}

const tools::DamageRun* DamageStrip::runNear(int x) const {
    if (!runs_ || frames_ <= 0) return nullptr;
    const tools::DamageRun* best = nullptr;
    int bestDistance = kNearPixels + 1;
    for (const auto& r : *runs_) {
        const int x0 = frameSpan(r.first).first, x1 = frameSpan(r.last).second;
        const int d = x < x0 ? x0 - x : x >= x1 ? x - x1 + 1 : 0;
        if (d < bestDistance || (d == bestDistance && best && drawOrder(r) > drawOrder(*best))) {
            best = &r;
            bestDistance = d;
        }
    }
    return best;
}

void DamageStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        if (const tools::DamageRun* r = runNear(static_cast<int>(event->position().x()))) emit frameClicked(r->first);
    QWidget::mousePressEvent(event);
}

bool DamageStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QString text = legend();
        if (const tools::DamageRun* r = runNear(help->pos().x())) {
            const QString frames = r->first == r->last ? QStringLiteral("Frame %1").arg(r->first)
                                                       : QStringLiteral("Frames %1-%2").arg(r->first).arg(r->last);
            text = frames + QStringLiteral(": ") + meaning(*r) + QStringLiteral("\n\n") + text;
        }
        QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

}  // namespace zorv::app
