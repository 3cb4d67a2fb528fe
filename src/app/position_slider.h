// The position slider (0..2000 across the file): the thumb jumps to a clicked point and follows the
// mouse while the button is held; scene starts are marked with ticks under the groove.
#pragma once

#include <utility>
#include <vector>

#include <QSlider>

namespace zorv::app {

class PositionSlider : public QSlider {
    Q_OBJECT
public:
    static constexpr int kRange = 2000;
    explicit PositionSlider(QWidget* parent = nullptr);

    // Tick marks at these slider values.
    void setTicks(std::vector<int> values);
    const std::vector<int>& ticks() const { return ticks_; }
    // The x (in this widget) of the handle's centre at the first and at the last value: what sits
    // under the slider lines up with the positions between them.
    std::pair<int, int> valueSpan() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> ticks_;
};

}  // namespace zorv::app
