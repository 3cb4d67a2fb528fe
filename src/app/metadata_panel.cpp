#include "app/metadata_panel.h"

#include <cstring>

#include <QPainter>

#include "core/rgb_picture.h"
#include "playback/player.h"

namespace zorv::app {

MetadataPanel::MetadataPanel(QWidget* parent) : QWidget(parent) {
    setFixedHeight(kHeight);
    setMinimumWidth(320);
    setAttribute(Qt::WA_OpaquePaintEvent);
    fontReady_ = playback::prepareWindowFont(font_, kHeight);
}

void MetadataPanel::showPicture(const playback::ShownPicture& picture, const core::DisplaySettings& display) {
    hasFrame_ = true;
    kind_ = picture.windowKind;
    hasRecord_ = picture.hasMetadata;
    if (hasRecord_) record_ = picture.record;
    frame_ = picture.overlayFrame();
    frame_.record = hasRecord_ ? &record_ : nullptr;
    display_ = display;
    QStringList parts;
    for (const std::string& t : playback::metadataWindowTexts(kind_, frame_, display_)) parts << QString::fromStdString(t);
    text_ = parts.join(QStringLiteral(" | "));
    setAccessibleDescription(text_);
    render();
}

void MetadataPanel::clear() {
    hasFrame_ = false;
    hasRecord_ = false;
    text_.clear();
    setAccessibleDescription(QString());
    render();
}

QString MetadataPanel::text() const { return text_; }

void MetadataPanel::resizeEvent(QResizeEvent*) { render(); }

void MetadataPanel::render() {
    const int w = width() > 0 ? width() : 640, h = kHeight;
    const int stride = core::RgbPicture::strideFor(w);
    pixels_.resize(static_cast<size_t>(stride) * h);
    core::RgbPicture pic{pixels_.data(), w, h, stride, 0, h};
    if (hasFrame_ && fontReady_) {
        drawMetadataWindow(pic, font_, kind_, frame_, display_);
    } else {
        std::memset(pixels_.data(), 0, pixels_.size());
    }
    image_ = QImage(pixels_.data(), w, h, stride, QImage::Format_RGB888);
    update();
}

void MetadataPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!image_.isNull()) p.drawImage(0, 0, image_);
}

}  // namespace zorv::app
