#include "app/metadata_panel.h"

#include <cmath>
#include <cstring>

#include <QPainter>

#include "core/rgb_picture.h"
#include "playback/player.h"

namespace zorv::app {

MetadataPanel::MetadataPanel(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    setMinimumWidth(kMinimumWidth);
    setAttribute(Qt::WA_OpaquePaintEvent);
    font_.open();
}

void MetadataPanel::showPicture(const playback::ShownPicture& picture, const core::DisplaySettings& display) {
    hasFrame_ = true;
    kind_ = picture.windowKind;
    hasRecord_ = picture.hasMetadata;
    if (hasRecord_) record_ = picture.record;
    frame_ = picture.overlayFrame();
    frame_.record = hasRecord_ ? &record_ : nullptr;
    display_ = display;
    overlay::metadataWindowItems(kind_, frame_, display_, items_);
    QStringList parts;
    for (const overlay::WindowItem& i : items_) parts << QString::fromStdString(i.text);
    text_ = parts.join(QStringLiteral(" | "));
    setAccessibleDescription(text_);
    render();
}

void MetadataPanel::clear() {
    hasFrame_ = false;
    hasRecord_ = false;
    items_.clear();
    text_.clear();
    setAccessibleDescription(QString());
    render();
}

QString MetadataPanel::text() const { return text_; }

void MetadataPanel::resizeEvent(QResizeEvent*) { render(); }

void MetadataPanel::render() {
    const qreal dpr = devicePixelRatioF();
    const int w = static_cast<int>(std::lround((width() > 0 ? width() : 640) * dpr));
    const int h = static_cast<int>(std::lround(kHeight * dpr));
    const int stride = core::RgbPicture::strideFor(w);
    pixels_.assign(static_cast<size_t>(stride) * h, 0);
    if (hasFrame_) {
        layout_ = layoutMetadataPanel(kind_, w, h, dpr, font_);
        if (layout_.charHeight > 0 && font_.select(layout_.charHeight)) {
            for (const overlay::WindowItem& item : items_) {
                const size_t col = static_cast<size_t>(item.column);
                const int x0 = layout_.columnStarts[col], x1 = layout_.columnEnds[col];
                if (x1 <= x0) continue;
                // Each text is clipped to its column, whatever its length.
                core::RgbPicture cell{pixels_.data() + static_cast<size_t>(x0) * 3, x1 - x0, h, stride, 0, h};
                const int y = layout_.textTop(item.row);
                if (item.grey) font_.face().draw(cell, 0, y, item.text, 128, 128, 128);
                else font_.face().draw(cell, 0, y, item.text, 255, 32, 32);
            }
        }
    }
    image_ = QImage(pixels_.data(), w, h, stride, QImage::Format_RGB888);
    image_.setDevicePixelRatio(dpr);
    update();
}

void MetadataPanel::paintEvent(QPaintEvent*) {
    if (image_.devicePixelRatio() != devicePixelRatioF()) render();  // moved to a screen of another scale
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!image_.isNull()) p.drawImage(0, 0, image_);
}

}  // namespace zorv::app
