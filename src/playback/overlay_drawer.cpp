#include "playback/overlay_drawer.h"

namespace zorv::playback {

namespace {

class OverlayDrawer : public tools::PictureDrawer {
public:
    OverlayDrawer(const OverlaySettings& settings, LayerFamily family) : layer_(family) { layer_.apply(settings); }

    bool prepare(int width, int height, bool wide, int displayNum, int displayDen) override {
        return layer_.prepare(width, height, PictureAspect{wide, displayNum, displayDen});
    }
    void band(int& top, int& rows) const override {
        const Band b = layer_.band();
        top = b.top;
        rows = b.rows;
    }
    void draw(core::RgbPicture& picture, const tools::BurnFrameInfo& f) override {
        OverlayFrame frame;
        frame.record = f.record;
        frame.frameNumber = f.frameNumber;
        frame.timecodeStyle = f.timecodeStyle;
        frame.linePeriod = f.linePeriod;
        frame.hdvTimecodeFrames = f.hdvTimecodeFrames;
        frame.pts = f.pts;
        frame.pictureType = f.pictureType;
        frame.frameType = f.frameType;
        layer_.draw(picture, frame);
    }

private:
    OverlayLayer layer_;
};

}  // namespace

tools::DrawerFactory overlayDrawerFactory(const OverlaySettings& settings, LayerFamily family) {
    return [settings, family]() -> std::unique_ptr<tools::PictureDrawer> {
        return std::make_unique<OverlayDrawer>(settings, family);
    };
}

}  // namespace zorv::playback
