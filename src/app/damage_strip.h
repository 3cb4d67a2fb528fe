// The damage strip under the position slider: a mark at every damaged frame of the open DV file,
// coloured by how bad the frame is (red: video blocks in error, amber: concealed blocks only, purple:
// dropped frames; a lower light-blue mark: audio error samples only, grey: other signs). Frames line up
// with the slider's positions; the tooltip names the colours and the frames under the pointer, and a
// click on a mark asks to show its first frame.
#pragma once

#include <cstdint>
#include <vector>

#include <QColor>
#include <QString>
#include <QWidget>

#include "tools/damage_report.h"

namespace zorv::app {

class PositionSlider;

class DamageStrip : public QWidget {
    Q_OBJECT
public:
    // slider: the position slider the strip lines up with (it must outlive the strip).
    DamageStrip(const PositionSlider* slider, QWidget* parent = nullptr);

    // The runs to mark (kept by pointer: the owner keeps them alive until the next call) of a file of
    // frameCount frames; null or a count of 0 clears the strip.
    void setRuns(const std::vector<tools::DamageRun>* runs, int64_t frameCount);

    // The mark colour of a run and what it means (the tooltip's words).
    static QColor colour(const tools::DamageRun& run);
    static QString meaning(const tools::DamageRun& run);
    // The run marked at frame n, or null.
    const tools::DamageRun* runAt(int64_t n) const;
    // The x range [left, right) of frame n's mark in this widget.
    std::pair<int, int> frameSpan(int64_t n) const;

    QSize sizeHint() const override;

signals:
    void frameClicked(int64_t frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::pair<int, int> span() const;  // x of frame 0's start and of the end of the last frame
    const tools::DamageRun* runNear(int x) const;

    const PositionSlider* slider_;
    const std::vector<tools::DamageRun>* runs_ = nullptr;
    int64_t frames_ = 0;
};

}  // namespace zorv::app
