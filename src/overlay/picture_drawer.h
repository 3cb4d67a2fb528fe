// The drawing a burn-in does on each picture, as the burn-in jobs see it: one drawer per worker thread,
// made by a factory. The overlay layer is the drawing the jobs make for themselves (overlay_drawer.h);
// tests give their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/metadata_record.h"
#include "core/rgb_picture.h"

namespace zorv::overlay {

// What a picture is drawn with.
struct BurnFrameInfo {
    const core::MetadataRecord* record = nullptr;  // null: the picture carries no metadata
    int64_t frameNumber = 0;
    int timecodeStyle = 2;
    double linePeriod = 64e-6;
    int64_t hdvTimecodeFrames = -1;
    int64_t pts = 0;
    int pictureType = 255;
    char frameType = 0;
};

// The drawing of one worker thread.
class PictureDrawer {
public:
    virtual ~PictureDrawer() = default;
    // Prepares for pictures of this size and shape; false: pictures pass undrawn.
    virtual bool prepare(int width, int height, bool wide, int displayNum, int displayDen) = 0;
    // The first row and the number of rows that draw() reads and changes.
    virtual void band(int& top, int& rows) const = 0;
    virtual void draw(core::RgbPicture& picture, const BurnFrameInfo& frame) = 0;
    // Rectangles [x0, x1) x [y0, y1) holding every pixel the next draw() of this frame can change;
    // false when the drawer cannot tell (the whole band may change).
    struct Box {
        int x0, y0, x1, y1;
    };
    virtual bool inkBoxes(const BurnFrameInfo& frame, std::vector<Box>& out) {
        (void)frame, (void)out;
        return false;
    }
};
using DrawerFactory = std::function<std::unique_ptr<PictureDrawer>()>;

}  // namespace zorv::overlay
