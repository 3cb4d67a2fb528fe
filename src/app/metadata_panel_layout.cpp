#include "app/metadata_panel_layout.h"

#include <algorithm>
#include <cmath>

namespace zorv::app {

namespace {
constexpr int kGridCells = 43;
constexpr int kSmallestCharHeight = 4;
}  // namespace

bool PanelFont::open() { return font_.open("Courier New", true, false); }

bool PanelFont::select(int charHeight) {
    if (selected_ == charHeight) return true;
    if (!font_.setCharacterHeight(charHeight)) return false;
    selected_ = charHeight;
    return true;
}

PanelFont::Size& PanelFont::measured(int charHeight) {
    auto it = sizes_.find(charHeight);
    if (it != sizes_.end()) return it->second;
    Size& s = sizes_[charHeight];
    if (select(charHeight)) s.cellHeight = font_.cellHeight();
    return s;
}

int PanelFont::cellHeight(int charHeight) { return measured(charHeight).cellHeight; }

int PanelFont::textWidth(int charHeight, const std::string& text) {
    Size& s = measured(charHeight);
    auto it = s.widths.find(text);
    if (it != s.widths.end()) return it->second;
    select(charHeight);
    const int w = font_.textWidth(text);
    s.widths.emplace(text, w);
    return w;
}

PanelLayout layoutMetadataPanel(core::BurnGrid kind, int width, int height, double scale, PanelFont& font) {
    PanelLayout l;
    const int margin = std::max(1, static_cast<int>(std::lround(2 * scale)));
    const auto cells = overlay::windowColumnCells(kind);
    for (size_t k = 0; k < cells.size(); ++k) l.columnStarts.push_back(width * cells[k] / kGridCells + margin);
    for (size_t k = 0; k < cells.size(); ++k)
        l.columnEnds.push_back(k + 1 < cells.size() ? l.columnStarts[k + 1] - 2 * margin : width - margin);
    l.rowTops = {0, height / 3, 2 * height / 3};
    const int rowHeight = l.rowHeight =
        std::min({l.rowTops[1] - l.rowTops[0], l.rowTops[2] - l.rowTops[1], height - l.rowTops[2]});
    const std::vector<overlay::WindowCell> windowCells = overlay::metadataWindowCells(kind);
    if (!font.isOpen() && !font.open()) return l;

    auto fits = [&](int px) {
        const int h = font.cellHeight(px);
        if (h <= 0 || h > rowHeight) return false;
        for (const overlay::WindowCell& c : windowCells) {
            const size_t col = static_cast<size_t>(c.column);
            // A quarter of the character height clear before the next column, so columns read apart.
            if (l.columnStarts[col] + font.textWidth(px, c.widest) + px / 4 > l.columnEnds[col]) return false;
        }
        return true;
    };
    // The largest fitting height: a search, then a look at the next few heights (hinted advances do not
    // grow strictly with the height).
    int lo = kSmallestCharHeight, hi = std::max(lo, rowHeight);
    if (!fits(lo)) return l;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid - 1;
    }
    for (int up = lo + 1; up <= std::min(lo + 3, rowHeight); ++up)
        if (fits(up)) lo = up;
    l.charHeight = lo;
    l.cellHeight = font.cellHeight(lo);
    for (const overlay::WindowCell& c : windowCells) {
        const size_t col = static_cast<size_t>(c.column);
        const int top = l.textTop(c.row);
        l.boxes.push_back(
            PanelBox{l.columnStarts[col], top, l.columnStarts[col] + font.textWidth(lo, c.widest), top + l.cellHeight});
    }
    return l;
}

}  // namespace zorv::app
