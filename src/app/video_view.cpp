#include "app/video_view.h"

#include <cstring>

#include <QPainter>
#include <QWidget>

#include "app/damage_outline.h"
#include "core/options.h"
#include "playback/player.h"

#ifdef ZORV_HAVE_OPENGL
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#endif

namespace zorv::app {

void VideoView::setPicture(const playback::ShownPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || picture.rgb.empty()) return;
    if (image_.width() != picture.width || image_.height() != picture.height)
        image_ = QImage(picture.width, picture.height, QImage::Format_RGB888);
    const size_t rowBytes = static_cast<size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image_.scanLine(y), picture.rgb.data() + static_cast<size_t>(y) * picture.stride, rowBytes);
    displayNum_ = picture.displayNum > 0 ? picture.displayNum : 4;
    displayDen_ = picture.displayDen > 0 ? picture.displayDen : 3;
    widget()->update();
}

void VideoView::setOutline(const DamageOutline* outline) {
    outline_ = outline;
    widget()->update();
}

void VideoView::clear() {
    image_ = QImage();
    widget()->update();
}

QRect VideoView::pictureRect(int w, int h, int num, int den) {
    if (w <= 0 || h <= 0 || num <= 0 || den <= 0) return QRect(0, 0, w, h);
    // Widest rectangle of the aspect num:den that fits.
    int pw = w, ph = static_cast<int>(static_cast<int64_t>(w) * den / num);
    if (ph > h) {
        ph = h;
        pw = static_cast<int>(static_cast<int64_t>(h) * num / den);
    }
    return QRect((w - pw) / 2, (h - ph) / 2, pw, ph);
}

void VideoView::paintInto(QWidget& target) {
    QPainter p(&target);
    p.fillRect(target.rect(), Qt::black);
    if (image_.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRect shown = pictureRect(target.width(), target.height(), displayNum_, displayDen_);
    p.drawImage(shown, image_);
    if (outline_) outline_->paint(p, shown);
}

namespace {

class SoftwareView : public QWidget, public VideoView {
public:
    explicit SoftwareView(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumSize(160, 120);
    }
    QWidget* widget() override { return this; }

protected:
    void paintEvent(QPaintEvent*) override { paintInto(*this); }
};

#ifdef ZORV_HAVE_OPENGL
class OpenGlView : public QOpenGLWidget, public VideoView {
public:
    explicit OpenGlView(QWidget* parent) : QOpenGLWidget(parent) { setMinimumSize(160, 120); }
    QWidget* widget() override { return this; }

protected:
    void paintGL() override { paintInto(*this); }
};
#endif

}  // namespace

bool probeOpenGl() {
#ifdef ZORV_HAVE_OPENGL
    QOpenGLContext context;
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid()) return false;
    const bool ok = context.makeCurrent(&surface);
    if (ok) context.doneCurrent();
    return ok;
#else
    return false;
#endif
}

bool rendererHasOwnWindow(int renderer) {
    const auto r = core::choiceOf<core::Renderer>(core::clampRenderer(renderer));
    return r == core::Renderer::kVmr7Windowed || r == core::Renderer::kVmr9Windowed;
}

bool rendererUsesOpenGl(int renderer) {
    const auto r = core::choiceOf<core::Renderer>(core::clampRenderer(renderer));
    return r == core::Renderer::kVmr9Windowless || r == core::Renderer::kVmr9Windowed;
}

VideoView* createVideoView(int renderer, QWidget* parent) {
#ifdef ZORV_HAVE_OPENGL
    if (rendererUsesOpenGl(renderer)) return new OpenGlView(parent);
#endif
    (void)renderer;
    return new SoftwareView(parent);
}

}  // namespace zorv::app
