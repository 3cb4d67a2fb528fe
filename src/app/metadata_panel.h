// The metadata panel beside the video: the shown picture's camcorder metadata drawn as the player's
// metadata-window picture (red text on black, File progress in grey), 100 pixels high. The font
// follows the panel's size and the text is drawn at the screen's device pixel ratio.
#pragma once

#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "core/metadata_record.h"
#include "core/metadata_text.h"
#include "app/metadata_panel_layout.h"
#include "overlay/overlay_layer.h"

namespace zorv::playback {
struct ShownPicture;
}

namespace zorv::app {

class MetadataPanel : public QWidget {
    Q_OBJECT
public:
    explicit MetadataPanel(QWidget* parent = nullptr);

    // Shows the metadata of the picture (its window kind, record and position).
    void showPicture(const playback::ShownPicture& picture, const core::DisplaySettings& display);
    void clear();

    // The texts drawn, one per item, joined by " | " (empty when nothing is shown).
    QString text() const;

    QSize sizeHint() const override { return QSize(640, kHeight); }
    static constexpr int kHeight = 100;
    static constexpr int kMinimumWidth = 320;
    // The layout of the last drawing (device pixels).
    const PanelLayout& layout() const { return layout_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void render();

    PanelFont font_;
    PanelLayout layout_;
    std::vector<overlay::WindowItem> items_;
    bool hasFrame_ = false;
    core::BurnGrid kind_ = core::BurnGrid::kDv;
    core::MetadataRecord record_;
    bool hasRecord_ = false;
    overlay::OverlayFrame frame_;
    core::DisplaySettings display_;
    std::vector<uint8_t> pixels_;
    QImage image_;
    QString text_;
};

}  // namespace zorv::app
