#include "app/position_slider.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace zorv::app {

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, kRange);
    setFocusPolicy(Qt::NoFocus);
    setMinimumHeight(26);
}

void PositionSlider::setTicks(std::vector<int> values) {
    ticks_ = std::move(values);
    update();
}

void PositionSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->position().toPoint())) {
            // Jump: put the handle's centre under the pointer, then let the base class start the drag.
            const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
            const int span = groove.width() - handle.width();
            const int x = static_cast<int>(event->position().x()) - groove.x() - handle.width() / 2;
            const int v = QStyle::sliderValueFromPosition(minimum(), maximum(), x, span > 0 ? span : 1);
            setSliderPosition(v);
            triggerAction(SliderMove);
        }
    }
    QSlider::mousePressEvent(event);
}

std::pair<int, int> PositionSlider::valueSpan() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const int left = groove.x() + handle.width() / 2;
    return {left, left + std::max(groove.width() - handle.width(), 1)};
}

void PositionSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (ticks_.empty()) return;
    const auto [left, right] = valueSpan();
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const int y0 = height() - 5;
    for (int v : ticks_) {
        const int x = left + QStyle::sliderPositionFromValue(minimum(), maximum(), v, right - left);
        p.drawLine(x, y0, x, height() - 1);
    }
}

}  // namespace zorv::app
