#include "overlay/overlay_layer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>

namespace zorv::overlay {

using core::BurnItem;

namespace {

struct Cell {
    BurnItem item;
    int row;
    int column;
};

// A fixed grid's cells in drawing order: row 0 (the highest) first, each row from the left.
struct GridCells {
    std::array<Cell, core::kBurnItemCount> cells{};
    size_t count = 0;
};
constexpr GridCells gridCells(core::BurnGrid grid) {
    GridCells g;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 5; ++column)
            for (const core::BurnItemFacts& f : core::kBurnItems) {
                const core::BurnCell c = f.cells[static_cast<size_t>(grid)];
                if (c.row == row && c.column == column) g.cells[g.count++] = Cell{f.item, row, column};
            }
    return g;
}
constexpr GridCells kGrids[core::kBurnGridCount] = {gridCells(core::BurnGrid::kDv), gridCells(core::BurnGrid::kHdv),
                                                    gridCells(core::BurnGrid::kAvchd), gridCells(core::BurnGrid::kAvchdGps)};
std::span<const Cell> cells(core::BurnGrid grid) {
    const GridCells& g = kGrids[static_cast<size_t>(grid)];
    return std::span<const Cell>(g.cells.data(), g.count);
}

// The items only the GPS grid shows: when one of them is on and the picture has GPS data, AVCHD
// pictures take that grid.
constexpr uint32_t kGpsGridItems = [] {
    uint32_t mask = 0;
    for (const core::BurnItemFacts& f : core::kBurnItems)
        if (f.cells[static_cast<size_t>(core::BurnGrid::kAvchdGps)].used() &&
            !f.cells[static_cast<size_t>(core::BurnGrid::kAvchd)].used())
            mask |= f.bit;
    return mask;
}();

// Outline displacements, in drawing order.
const int kOutline[8][2] = {{-2, -2}, {2, -2}, {-2, 2}, {2, 2}, {-2, 0}, {2, 0}, {0, -2}, {0, 2}};

// Whether an item exists in a family's metadata at all.
bool familyHas(core::MediaFamily family, BurnItem item) {
    uint8_t bit = 0;
    switch (family) {
    case core::MediaFamily::kDv: bit = core::burn_family::kDv; break;
    case core::MediaFamily::kHdv: bit = core::burn_family::kHdv; break;
    case core::MediaFamily::kAvchd: bit = core::burn_family::kAvchd; break;
    case core::MediaFamily::kNone: break;
    }
    return (core::burnItemFacts(item).families & bit) != 0;
}

uint8_t greyLevel(int percent) { return static_cast<uint8_t>(std::min(235, std::clamp(percent, 0, 100) * 235 / 100)); }

void formatOne(BurnItem item, core::TextVariant variant, core::MediaFamily family, const OverlayFrame& frame,
               const core::MetadataRecord& rec, const core::DisplaySettings& display, core::ShutterFormatter& shutter,
               core::TextBuf& out) {
    out.s[0] = '\0';
    switch (item) {
    case BurnItem::kTimecode:
        if (family == core::MediaFamily::kHdv && frame.hdvTimecodeFrames >= 0)
            core::formatHdvTimecode(out, frame.hdvTimecodeFrames, frame.timecodeStyle, display);
        else core::formatTimecode(out, rec, frame.timecodeStyle, display, variant);
        break;
    case BurnItem::kUserBits: core::formatUserBits(out, rec, variant); break;
    case BurnItem::kFileProgress:
        if (family == core::MediaFamily::kAvchd) core::formatAvchdPosition(out, frame.pts, frame.pictureType);
        else core::formatFramePosition(out, frame.frameNumber, frame.timecodeStyle, display, variant);
        break;
    case BurnItem::kFrameType:
        if (!frame.record) {
            out.s[0] = '-';
            out.s[1] = '\0';
        } else if (frame.frameType) {
            out.s[0] = frame.frameType;
            out.s[1] = '\0';
        }
        break;
    case BurnItem::kRecTime: core::formatRecTime(out, rec, variant); break;
    case BurnItem::kRecDate: core::formatRecDate(out, rec, display, variant); break;
    case BurnItem::kShutter: shutter.format(out, rec, frame.timecodeStyle, frame.linePeriod, variant); break;
    case BurnItem::kIris: core::formatIris(out, rec, variant); break;
    case BurnItem::kExposureMode: core::formatExposureMode(out, rec, variant); break;
    case BurnItem::kGain: core::formatGain(out, rec, variant); break;
    case BurnItem::kFocusDistance: core::formatFocusDistance(out, rec, variant); break;
    case BurnItem::kFocusMode: core::formatFocusMode(out, rec, variant); break;
    case BurnItem::kWhiteBalance: core::formatWhiteBalance(out, rec, variant); break;
    case BurnItem::kStabilizer: core::formatStabilizer(out, rec, variant); break;
    case BurnItem::kAudio: core::formatAudioMode(out, rec, variant); break;
    case BurnItem::kLatitude: core::formatLatitude(out, rec, display, variant); break;
    case BurnItem::kLongitude: core::formatLongitude(out, rec, display, variant); break;
    case BurnItem::kAltitude: core::formatAltitude(out, rec, variant); break;
    case BurnItem::kSpeed: core::formatSpeed(out, rec, variant); break;
    case BurnItem::kTrack: core::formatTrack(out, rec, variant); break;
    }
}

core::TextVariant burnVariant(core::MediaFamily f) {
    switch (f) {
    case core::MediaFamily::kDv: return core::TextVariant::DvBurnIn;
    case core::MediaFamily::kHdv: return core::TextVariant::Hdv;
    case core::MediaFamily::kAvchd: return core::TextVariant::AvchdBurnIn;
    case core::MediaFamily::kNone: break;
    }
    return core::TextVariant::DvBurnIn;
}

bool hasGpsData(const core::MetadataRecord& rec, const core::DisplaySettings& display) {
    core::TextBuf t;
    core::formatLatitude(t, rec, display, core::TextVariant::AvchdBurnIn);
    return t.s[0] != '\0';
}

}  // namespace

OverlaySettings OverlaySettings::fromOptions(const core::Options& options) {
    const core::Options o = options.normalized();
    OverlaySettings s;
    s.textBrightness = o.textBrightness;
    s.outlineBrightness = o.outlineBrightness;
    s.transparency = o.transparency;
    s.positioning = core::choiceOf<core::TextPositioning>(o.textPositioning);
    s.always43Area = o.always43Area;
    s.itemMask = o.burnInItemMask;
    s.fontFace = o.fontFace;
    s.textHeight = o.textHeight;
    s.bold = (o.styleFlags & 1) != 0;
    s.italic = (o.styleFlags & 2) != 0;
    s.positions = o.burnPositions;
    s.display = core::displaySettingsOf(o);
    return s;
}

void OverlayLayer::setBrightness(int textPercent, int outlinePercent, int transparencyPercent) {
    textLevel_ = greyLevel(textPercent);
    outlineLevel_ = greyLevel(outlinePercent);
    transparency_ = std::clamp(transparencyPercent, 0, 99);
}

void OverlayLayer::setPositioning(core::TextPositioning mode, const core::BurnPositionTable& positions, bool always43Area) {
    mode_ = core::choiceOf<core::TextPositioning>(core::clampTextPositioning(core::stored(mode)));
    positions_ = positions;
    always43_ = always43Area;
}

void OverlayLayer::setUserFont(std::string face, int textHeight, bool bold, bool italic) {
    userFace_ = face.empty() ? std::string(kFixedFontFace) : std::move(face);
    textHeight_ = core::clampTextHeight(textHeight);
    bold_ = bold;
    italic_ = italic;
}

void OverlayLayer::apply(const OverlaySettings& s) {
    setBrightness(s.textBrightness, s.outlineBrightness, s.transparency);
    setPositioning(s.positioning, s.positions, s.always43Area);
    setItems(s.itemMask);
    setUserFont(s.fontFace, s.textHeight, s.bold, s.italic);
    setDisplay(s.display);
}

void OverlayLayer::release() {
    prepared_ = false;
    laidOut_ = false;  // a layout from inkBoxes() is for the preparation it was made with
    font_.close();
    scratch_.clear();
    scratch_.shrink_to_fit();
    band_ = Band{};
}

bool OverlayLayer::prepare(int width, int height, const PictureAspect& aspect) {
    release();
    if (width <= 0 || height <= 0) return false;
    if (family_ == core::MediaFamily::kHdv && (width != 1440 || height != 1080)) return false;
    width_ = width;
    height_ = height;
    // Pictures whose display shape differs from their pixel grid get characters of corrected width.
    double widthScale = 1.0;
    if (family_ != core::MediaFamily::kDv && aspect.displayNum > 0 && aspect.displayDen > 0)
        widthScale = static_cast<double>(width) * aspect.displayDen / (static_cast<double>(height) * aspect.displayNum);

    safeShare_ = mode_ == core::TextPositioning::kFixed80 ? 80 : mode_ == core::TextPositioning::kFixed90 ? 90 : 0;
    bool ok;
    if (safeShare_ == 0) {
        ok = font_.open(userFace_, bold_, italic_) &&
             font_.setCharacterHeight((textHeight_ * height + 500) / 1000, widthScale);
    } else if (family_ == core::MediaFamily::kDv) {
        ok = font_.open(kFixedFontFace, true, false) && font_.setCellHeight(safeShare_ == 80 ? 28 : 30);
        if (ok && aspect.wide) ok = font_.setCellHeight((3 * font_.cellHeight() + 2) / 4);
    } else {
        ok = font_.open(kFixedFontFace, true, false) && font_.setCharacterHeight((height * 55 + 500) / 1000, widthScale);
    }
    if (!ok) {
        release();
        return false;
    }
    if (safeShare_ == 0) {
        band_ = Band{0, height};
    } else {
        layoutFixed(width, height, aspect.wide);
        const int h = font_.cellHeight();
        band_ = Band{rows_[0], 3 * h};
        if (band_.top < 0 || band_.top + band_.rows > height) band_ = Band{0, height};
    }
    const int stride = core::RgbPicture::strideFor(width);
    scratch_.assign(static_cast<size_t>(stride) * band_.rows, 0);
    placed_.reserve(core::kBurnItemCount);
    texts_.resize(core::kBurnItemCount);
    prepared_ = true;
    return true;
}

void OverlayLayer::layoutFixed(int width, int height, bool wide) {
    const int s = safeShare_;
    if (family_ == core::MediaFamily::kDv) {
        safeWidth_ = width * s / 100;
        if (wide && always43_) safeWidth_ = safeWidth_ * 3 / 4;
    } else {
        safeWidth_ = always43_ ? (s * height * 4 + 150) / 300 : (s * width + 50) / 100;
    }
    safeLeft_ = (width - safeWidth_) / 2;
    const int c = font_.cellWidth(), h = font_.cellHeight();
    // Spread the five columns so that the 43-cell grid fits the safe width.
    const int e = safeLeft_ - (width - 43 * c) / 2;
    const int a = std::abs(e);
    spread_ = e > 0 ? (2 * a + 3) / 4 : -(2 * a / 4);
    const int d = spread_;
    columns_ = {safeLeft_, safeLeft_ + 13 * c - d, safeLeft_ + 25 * c - 2 * d, safeLeft_ + 31 * c - 3 * d,
                safeLeft_ + 37 * c - 4 * d};
    const int bottom = ((100 - s) / 2 + s) * height / 100 - h;
    rows_ = {bottom - 2 * h, bottom - h, bottom};
}

bool OverlayLayer::chooseCells(const OverlayFrame& frame, const core::MetadataRecord& rec) {
    placed_.clear();
    const core::TextVariant variant = burnVariant(family_);
    auto add = [&](BurnItem item, int x, int y) {
        if (!(itemMask_ & core::burnItemBit(item)) || !familyHas(family_, item)) return;
        core::TextBuf& t = texts_[placed_.size()];
        formatOne(item, variant, family_, frame, rec, display_, shutter_, t);
        if (t.s[0] == '\0') return;
        placed_.push_back(Placed{item, x, y});
    };
    if (safeShare_ == 0) {
        const int h = font_.cellHeight();
        for (int i = 0; i < core::kBurnItemCount; ++i) {
            const core::BurnPosition p = positions_[static_cast<size_t>(i)];
            add(static_cast<BurnItem>(i), (p.x * width_ + 50) / 100, height_ - (p.y * height_ + 50) / 100 - h);
        }
        return !placed_.empty();
    }
    std::span<const Cell> table;
    std::array<int, 5> columns = columns_;
    switch (family_) {
    case core::MediaFamily::kNone:
    case core::MediaFamily::kDv: table = cells(core::BurnGrid::kDv); break;
    case core::MediaFamily::kHdv: table = cells(core::BurnGrid::kHdv); break;
    case core::MediaFamily::kAvchd:
        if ((itemMask_ & kGpsGridItems) && hasGpsData(rec, display_)) {
            table = cells(core::BurnGrid::kAvchdGps);
            const int c = font_.cellWidth();
            columns = {safeLeft_, safeLeft_ + 14 * c - spread_, safeLeft_ + 31 * c - 3 * spread_, 0, 0};
        } else {
            table = cells(core::BurnGrid::kAvchd);
        }
        break;
    }
    for (const Cell& cell : table)
        add(cell.item, columns[static_cast<size_t>(cell.column)], rows_[static_cast<size_t>(cell.row)]);
    return !placed_.empty();
}

bool OverlayLayer::draw(core::RgbPicture& picture, const OverlayFrame& frame) {
    const bool laidOut = laidOut_;
    laidOut_ = false;
    if (!prepared_ || picture.width != width_ || picture.height != height_ || !picture.holds(band_.top, band_.rows))
        return false;
    const core::MetadataRecord& rec = frame.record ? *frame.record : empty_;
    if (laidOut ? placed_.empty() : !chooseCells(frame, rec)) return true;

    // Copy the band into the scratch bitmap, draw there. With the layout of inkBoxes(), only the
    // spans its boxes cover are copied and blended back: nothing outside them can change.
    const int stride = core::RgbPicture::strideFor(width_);
    core::RgbPicture bitmap{scratch_.data(), width_, height_, stride, band_.top, band_.rows};
    const Span whole{0, width_};
    auto forEachSpan = [&](auto&& f) {
        for (int r = 0; r < band_.rows; ++r) {
            if (!laidOut) {
                f(band_.top + r, whole);
                continue;
            }
            for (size_t k = rowSpans_[static_cast<size_t>(r)]; k < rowSpans_[static_cast<size_t>(r) + 1]; ++k)
                f(band_.top + r, spans_[k]);
        }
    };
    forEachSpan([&](int y, const Span& s) {
        std::memcpy(bitmap.row(y) + s.x0 * 3, picture.row(y) + s.x0 * 3, static_cast<size_t>(s.x1 - s.x0) * 3);
    });
    for (const auto& off : kOutline)
        for (size_t i = 0; i < placed_.size(); ++i)
            font_.draw(bitmap, placed_[i].x + off[0], placed_[i].y + off[1], texts_[i].view(), outlineLevel_);
    for (size_t i = 0; i < placed_.size(); ++i) font_.draw(bitmap, placed_[i].x, placed_[i].y, texts_[i].view(), textLevel_);

    // Blend back: only pixels that the drawing changed.
    const int t = transparency_;
    forEachSpan([&](int y, const Span& s) {
        uint8_t* dst = picture.row(y) + s.x0 * 3;
        const uint8_t* src = bitmap.row(y) + s.x0 * 3;
        const size_t n = static_cast<size_t>(s.x1 - s.x0) * 3;
        if (t == 0) {
            std::memcpy(dst, src, n);
            return;
        }
        for (size_t x = 0; x < n; x += 3) {
            if (dst[x] == src[x] && dst[x + 1] == src[x + 1] && dst[x + 2] == src[x + 2]) continue;
            for (size_t k = 0; k < 3; ++k)
                dst[x + k] = static_cast<uint8_t>((dst[x + k] * t + src[x + k] * (100 - t)) / 100);
        }
    });
    return true;
}

void OverlayLayer::setSpans(const std::vector<InkBox>& boxes) {
    spans_.clear();
    rowSpans_.assign(static_cast<size_t>(band_.rows) + 1, 0);
    for (int r = 0; r < band_.rows; ++r) {
        const int y = band_.top + r;
        const size_t first = spans_.size();
        rowSpans_[static_cast<size_t>(r)] = first;
        // The boxes on this row in order of their left edge, overlapping or touching ones joined.
        for (const InkBox& b : boxes) {
            if (y < b.y0 || y >= b.y1) continue;
            spans_.push_back(Span{b.x0, b.x1});
            for (size_t k = spans_.size() - 1; k > first && spans_[k - 1].x0 > spans_[k].x0; --k)
                std::swap(spans_[k - 1], spans_[k]);
        }
        size_t out = first;
        for (size_t k = first; k < spans_.size(); ++k) {
            if (out > first && spans_[k].x0 <= spans_[out - 1].x1)
                spans_[out - 1].x1 = std::max(spans_[out - 1].x1, spans_[k].x1);
            else spans_[out++] = spans_[k];
        }
        spans_.resize(out);
    }
    rowSpans_[static_cast<size_t>(band_.rows)] = spans_.size();
}

bool OverlayLayer::inkBoxes(const OverlayFrame& frame, std::vector<InkBox>& out) {
    out.clear();
    laidOut_ = false;
    if (!prepared_) return false;
    chooseCells(frame, frame.record ? *frame.record : empty_);
    laidOut_ = true;
    const int bandEnd = band_.top + band_.rows;
    for (size_t i = 0; i < placed_.size(); ++i) {
        InkBox b;
        font_.inkBounds(placed_[i].x, placed_[i].y, texts_[i].view(), b.x0, b.y0, b.x1, b.y1);
        if (b.x0 == b.x1) continue;
        // The outline reaches two pixels beyond the glyphs on every side.
        b.x0 = std::max(0, b.x0 - 2), b.x1 = std::min(width_, b.x1 + 2);
        b.y0 = std::max(band_.top, b.y0 - 2), b.y1 = std::min(bandEnd, b.y1 + 2);
        if (b.x0 < b.x1 && b.y0 < b.y1) out.push_back(b);
    }
    setSpans(out);
    return true;
}

namespace {

// The window's cells: item, place, and the widest text the item's formatter can give there (the font
// is sized so that this text fits its column).
struct WindowCellDef {
    BurnItem item;
    int row;
    int column;
    const char* widest;
};

const char* widestText(BurnItem item, core::BurnGrid kind) {
    switch (item) {
    case BurnItem::kTimecode:
    case BurnItem::kUserBits: return "00:00:00:00";
    case BurnItem::kFileProgress:
        return kind == core::BurnGrid::kDv || kind == core::BurnGrid::kHdv ? "00:00:00:00" : "00:00:00.000I";
    case BurnItem::kFrameType: return "I";
    case BurnItem::kRecTime:
    case BurnItem::kRecDate: return "00:00:00";
    case BurnItem::kShutter: return "10000";
    case BurnItem::kIris: return "CLOSE";
    case BurnItem::kExposureMode:
    case BurnItem::kGain:
    case BurnItem::kFocusDistance:
    case BurnItem::kFocusMode:
    case BurnItem::kStabilizer: return "----";
    case BurnItem::kWhiteBalance:
    case BurnItem::kAudio: return "------";
    case BurnItem::kLatitude: return "----------------";
    case BurnItem::kLongitude: return "000\u00b0 00' 00.0\" E";
    case BurnItem::kAltitude: return "-0000.0 m";
    case BurnItem::kSpeed: return "000.0 knots";
    case BurnItem::kTrack: return "000.0\u00b0 M";
    }
    return "";
}

// HDV shows the white balance lighting under the mode, as the CLI shows both.
constexpr int kHdvLightingRow = 2, kHdvLightingColumn = 4;

struct WindowTable {
    std::span<const Cell> table;
    core::MediaFamily family = core::MediaFamily::kDv;
    core::TextVariant variant = core::TextVariant::MetadataWindow;
};

WindowTable windowTable(core::BurnGrid kind) {
    switch (kind) {
    case core::BurnGrid::kDv: return {cells(core::BurnGrid::kDv)};
    case core::BurnGrid::kHdv: return {cells(core::BurnGrid::kHdv), core::MediaFamily::kHdv, core::TextVariant::Hdv};
    case core::BurnGrid::kAvchd: return {cells(core::BurnGrid::kAvchd), core::MediaFamily::kAvchd, core::TextVariant::Avchd};
    case core::BurnGrid::kAvchdGps:
        return {cells(core::BurnGrid::kAvchdGps), core::MediaFamily::kAvchd, core::TextVariant::Avchd};
    }
    return {cells(core::BurnGrid::kDv)};
}

const int kWindowColumnCells[] = {0, 13, 25, 31, 37};
const int kGpsWindowColumnCells[] = {0, 14, 31};

}  // namespace

std::span<const int> windowColumnCells(core::BurnGrid kind) {
    if (kind == core::BurnGrid::kAvchdGps) return std::span<const int>(kGpsWindowColumnCells);
    return std::span<const int>(kWindowColumnCells);
}

std::vector<WindowCell> metadataWindowCells(core::BurnGrid kind) {
    std::vector<WindowCell> out;
    for (const Cell& c : windowTable(kind).table) out.push_back(WindowCell{c.row, c.column, widestText(c.item, kind)});
    // The lighting texts are as wide as the white balance texts.
    if (kind == core::BurnGrid::kHdv) out.push_back(WindowCell{kHdvLightingRow, kHdvLightingColumn, "------"});
    return out;
}

void metadataWindowItems(core::BurnGrid kind, const OverlayFrame& frame, const core::DisplaySettings& display,
                         std::vector<WindowItem>& out) {
    out.clear();
    const WindowTable t = windowTable(kind);
    core::MetadataRecord empty;
    const core::MetadataRecord& rec = frame.record ? *frame.record : empty;
    core::ShutterFormatter shutter;
    core::TextBuf text;
    for (const Cell& cell : t.table) {
        formatOne(cell.item, t.variant, t.family, frame, rec, display, shutter, text);
        if (text.s[0] != '\0')
            out.push_back(WindowItem{std::string(text.view()), cell.row, cell.column, cell.item == BurnItem::kFileProgress});
    }
    if (kind == core::BurnGrid::kHdv) {
        core::formatWhiteBalanceLighting(text, rec);
        out.push_back(WindowItem{std::string(text.view()), kHdvLightingRow, kHdvLightingColumn, false});
    }
}

}  // namespace zorv::overlay
