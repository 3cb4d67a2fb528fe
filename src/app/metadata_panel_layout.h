// The metadata panel's layout: the grid of the player's metadata window (columns at shares of the
// width, rows at thirds of the height) drawn with the largest font whose widest texts still fit their
// columns and rows, so that no two items meet at any panel size or screen scale.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "overlay/font_face.h"
#include "overlay/overlay_layer.h"

namespace zorv::app {

// The panel's font measured at each character height asked for (measuring renders the glyphs once,
// so sizes already seen cost nothing).
class PanelFont {
public:
    bool open();
    bool isOpen() const { return font_.isOpen(); }
    // Sets the font to a character height in pixels.
    bool select(int charHeight);
    int cellHeight(int charHeight);
    int textWidth(int charHeight, const std::string& text);
    overlay::FontFace& face() { return font_; }

private:
    struct Size {
        int cellHeight = 0;
        std::map<std::string, int> widths;
    };
    Size& measured(int charHeight);

    overlay::FontFace font_;
    int selected_ = 0;
    std::map<int, Size> sizes_;
};

struct PanelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // [x0, x1) x [y0, y1)
    bool intersects(const PanelBox& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

struct PanelLayout {
    int charHeight = 0;                         // 0: no font fits (the panel stays blank)
    std::vector<int> columnStarts, columnEnds;  // text from start up to (not including) end
    std::array<int, 3> rowTops{};
    int rowHeight = 0, cellHeight = 0;
    // Top of a text in a row (centred in it).
    int textTop(int row) const { return rowTops[static_cast<size_t>(row)] + (rowHeight - cellHeight) / 2; }
    // One box per cell of the window (the widest text it can show), in metadataWindowCells() order.
    std::vector<PanelBox> boxes;
};

// Lays the window of the given kind out on a panel of width x height device pixels; scale is the
// screen's device pixel ratio (margins grow with it).
PanelLayout layoutMetadataPanel(core::BurnGrid kind, int width, int height, double scale, PanelFont& font);

}  // namespace zorv::app
