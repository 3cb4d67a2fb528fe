#include "overlay/overlay_drawer.h"

namespace zorv::overlay {

namespace {

class OverlayDrawer : public PictureDrawer {
public:
    OverlayDrawer(const OverlaySettings& settings, core::MediaFamily family) : layer_(family) { layer_.apply(settings); }

    bool prepare(int width, int height, bool wide, int displayNum, int displayDen) override {
        return layer_.prepare(width, height, PictureAspect{wide, displayNum, displayDen});
    }
    void band(int& top, int& rows) const override {
        const Band b = layer_.band();
        top = b.top;
        rows = b.rows;
    }
    void draw(core::RgbPicture& picture, const BurnFrameInfo& f) override { layer_.draw(picture, frameOf(f)); }
    bool inkBoxes(const BurnFrameInfo& f, std::vector<Box>& out) override {
        if (!layer_.inkBoxes(frameOf(f), boxes_)) return false;
        out.clear();
        for (const InkBox& b : boxes_) out.push_back(Box{b.x0, b.y0, b.x1, b.y1});
        return true;
    }

private:
    static OverlayFrame frameOf(const BurnFrameInfo& f) {
        OverlayFrame frame;
        frame.record = f.record;
        frame.frameNumber = f.frameNumber;
        frame.timecodeStyle = f.timecodeStyle;
        frame.linePeriod = f.linePeriod;
        frame.hdvTimecodeFrames = f.hdvTimecodeFrames;
        frame.pts = f.pts;
        frame.pictureType = f.pictureType;
        frame.frameType = f.frameType;
        return frame;
    }

    OverlayLayer layer_;
    std::vector<InkBox> boxes_;
};

}  // namespace

DrawerFactory overlayDrawerFactory(const OverlaySettings& settings, core::MediaFamily family) {
    return
        [settings, family]() -> std::unique_ptr<PictureDrawer> { return std::make_unique<OverlayDrawer>(settings, family); };
}

}  // namespace zorv::overlay
