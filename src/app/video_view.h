// The video area: the shown picture scaled into the widget with its display aspect ratio, black
// around it. Two surfaces: plain software drawing and an OpenGL surface; either sits inside the main
// window or in a window of its own (the four choices of the Rendering page).
#pragma once

#include <memory>

#include <QImage>

class QWidget;

namespace zorv::playback {
struct ShownPicture;
}

namespace zorv::app {

class DamageOutline;

class VideoView {
public:
    virtual ~VideoView() = default;
    virtual QWidget* widget() = 0;

    // Copies the picture (the buffer is reused while the size stays) and repaints.
    void setPicture(const playback::ShownPicture& picture);
    void clear();
    const QImage& image() const { return image_; }
    // Outlines drawn over the picture (null: none); the outline must outlive the view or be reset.
    void setOutline(const DamageOutline* outline);
    const DamageOutline* outline() const { return outline_; }

    // The rectangle the picture takes in a w x h area, keeping the display aspect.
    static QRect pictureRect(int areaWidth, int areaHeight, int displayNum, int displayDen);

protected:
    void paintInto(QWidget& target);

    QImage image_;
    const DamageOutline* outline_ = nullptr;
    int displayNum_ = 4, displayDen_ = 3;
};

// True when an OpenGL context can be created here (start-up probe).
bool probeOpenGl();
// The surface for a Rendering-page value: 2 and 4 OpenGL (when built with it), 1 and 3 software.
// The widget is owned by parent (Qt's parent-child ownership).
VideoView* createVideoView(int renderer, QWidget* parent);
// Values 3 and 4 show the video in a window of its own.
bool rendererHasOwnWindow(int renderer);
bool rendererUsesOpenGl(int renderer);

}  // namespace zorv::app
