// The position slider (0..2000 across the file): the thumb jumps to a clicked point and follows the
// mouse while the button is held; scene starts are marked with ticks under the groove.
#pragma once

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

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> ticks_;
};

}  // namespace zorv::app
