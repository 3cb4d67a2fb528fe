// The overlay text layer: draws the camcorder metadata of a picture as outlined grey text into the
// picture itself (burn-in), and the metadata-window pictures of the player.
//
// Pictures are packed 24-bit RGB, rows top-down (core::RgbPicture). The fixed layouts (80 % and 90 %
// title safe) place the items in a grid of 43 character cells across and three rows at the foot of the
// safe area and only ever touch that band of rows; user positioning puts each item at its own place
// and works on the whole picture. Drawing: the touched rows are copied into a scratch bitmap, the
// outline colour is drawn eight times around every text, the text colour once on top, and the result
// is blended back where it differs from the picture (transparency 0 copies it back as it is).
//
// One layer per thread: a layer keeps its scratch bitmap and font between pictures.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/media_family.h"
#include "core/metadata_record.h"
#include "core/metadata_text.h"
#include "core/options.h"
#include "core/rgb_picture.h"
#include "overlay/font_face.h"

namespace zorv::overlay {

// Which metadata the layer draws and how: DV frames, HDV pictures (1440 x 1080 only) or AVCHD pictures.

inline constexpr const char* kFixedFontFace = "Courier New";

struct OverlaySettings {
    int textBrightness = 90;     // 0..100 %
    int outlineBrightness = 10;  // 0..100 %
    int transparency = 0;        // 0..99 %
    core::TextPositioning positioning = core::TextPositioning::kFixed90;
    bool always43Area = false;
    uint32_t itemMask = core::kDefaultBurnItemMask;
    std::string fontFace = kFixedFontFace;  // user positioning only
    int textHeight = 50;                    // tenths of a percent of the picture height
    bool bold = true;
    bool italic = false;
    core::BurnPositionTable positions = core::defaultBurnPositions();
    core::DisplaySettings display;

    // The burn-in and display options of the option record, clamped as they are read.
    static OverlaySettings fromOptions(const core::Options& options);
};

// What prepare needs to know of the picture's shape besides its size.
struct PictureAspect {
    bool wide = false;                   // DV: the video source pack marks 16:9
    int displayNum = 0, displayDen = 0;  // HDV/AVCHD display aspect ratio; 0 when it is the pixel grid's
};

// One picture's metadata and position.
struct OverlayFrame {
    const core::MetadataRecord* record = nullptr;  // null: no metadata (placeholder texts)
    int64_t frameNumber = 0;                       // File progress of DV and HDV
    int timecodeStyle = 2;
    double linePeriod = 64e-6;
    int64_t hdvTimecodeFrames = -1;  // HDV timecode as a frame count, -1 when kept in the record
    int64_t pts = 0;                 // AVCHD File progress (90 kHz)
    int pictureType = 255;           // AVCHD picture type (0 I, 1 P, 2 B, 255 none)
    char frameType = 0;              // HDV Frame type letter (0: empty text)
};

// A rectangle of pixels [x0, x1) x [y0, y1).
struct InkBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The picture rows a drawing can change.
struct Band {
    int top = 0;
    int rows = 0;
};

class OverlayLayer {
public:
    explicit OverlayLayer(core::MediaFamily family) : family_(family) {}

    void setBrightness(int textPercent, int outlinePercent, int transparencyPercent);
    void setPositioning(core::TextPositioning mode, const core::BurnPositionTable& positions, bool always43Area);
    void setItems(uint32_t itemMask) { itemMask_ = itemMask; }
    void setUserFont(std::string face, int textHeight, bool bold, bool italic);
    void setDisplay(const core::DisplaySettings& display) { display_ = display; }
    void apply(const OverlaySettings& settings);

    // Creates the font and scratch bitmap for pictures of this size and shape and computes the layout.
    // Fails (releasing what it made) when the font cannot be found or sized, or when the family does
    // not take pictures of this size (HDV: 1440 x 1080 only).
    bool prepare(int width, int height, const PictureAspect& aspect);
    bool prepared() const { return prepared_; }
    void release();

    // The rows that draw() reads and changes.
    Band band() const { return band_; }
    // Draws the enabled items of the frame; the picture must hold band(). Returns false, leaving the
    // picture as it was, when the layer is not prepared or the picture does not fit it.
    bool draw(core::RgbPicture& picture, const OverlayFrame& frame);
    // Lays out the frame's texts and gives the rectangles that hold every pixel draw() can change for
    // it (outline included, clipped to the band); the next draw() must be of the same frame and uses
    // this layout. False when the layer is not prepared.
    bool inkBoxes(const OverlayFrame& frame, std::vector<InkBox>& out);

    // Derived values (after set/prepare).
    uint8_t textLevel() const { return textLevel_; }
    uint8_t outlineLevel() const { return outlineLevel_; }
    int safeWidth() const { return safeWidth_; }
    int safeLeft() const { return safeLeft_; }
    int spread() const { return spread_; }
    int cellWidth() const { return font_.cellWidth(); }
    int cellHeight() const { return font_.cellHeight(); }
    int columnStart(int column) const { return columns_[column]; }  // 0..4
    int rowTop(int row) const { return rows_[row]; }                // 0..2
    const FontFace& font() const { return font_; }

private:
    struct Placed {
        core::BurnItem item;
        int x, y;
    };
    void layoutFixed(int width, int height, bool wide);
    bool chooseCells(const OverlayFrame& frame, const core::MetadataRecord& rec);

    core::MediaFamily family_;
    uint8_t textLevel_ = 211, outlineLevel_ = 23;
    int transparency_ = 0;
    core::TextPositioning mode_ = core::TextPositioning::kFixed90;
    bool always43_ = false;
    core::BurnPositionTable positions_ = core::defaultBurnPositions();
    uint32_t itemMask_ = core::kDefaultBurnItemMask;
    std::string userFace_ = kFixedFontFace;
    int textHeight_ = 50;
    bool bold_ = true, italic_ = false;
    core::DisplaySettings display_;

    bool prepared_ = false;
    int width_ = 0, height_ = 0;
    int safeShare_ = 0, safeWidth_ = 0, safeLeft_ = 0, spread_ = 0;
    std::array<int, 5> columns_{};
    std::array<int, 3> rows_{};
    Band band_;
    FontFace font_;
    std::vector<uint8_t> scratch_;
    std::vector<Placed> placed_;
    bool laidOut_ = false;  // placed_ and texts_ hold the next frame's layout
    // With a layout from inkBoxes(): the column spans of each band row that the boxes cover (their
    // union, in order), so that draw() copies and blends back only those. Row r of the band has
    // spans_[rowSpans_[r]] up to spans_[rowSpans_[r + 1]].
    struct Span {
        int x0, x1;
    };
    void setSpans(const std::vector<InkBox>& boxes);
    std::vector<Span> spans_;
    std::vector<size_t> rowSpans_;
    std::vector<core::TextBuf> texts_;
    core::ShutterFormatter shutter_;
    core::MetadataRecord empty_;
};

// Which window the player shows the metadata of.

// The metadata window's grid: columns start at these cells of 43 across the width, rows at thirds of
// the height. The window draws red text, File progress in grey.
std::span<const int> windowColumnCells(core::BurnGrid kind);
// A cell the window fills and the widest text it can show there.
struct WindowCell {
    int row;
    int column;
    const char* widest;  // UTF-8
};
std::vector<WindowCell> metadataWindowCells(core::BurnGrid kind);
// One item as the window shows it for a frame.
struct WindowItem {
    std::string text;
    int row;
    int column;
    bool grey;
};
// The items of the frame in drawing order (empty ones left out).
void metadataWindowItems(core::BurnGrid kind, const OverlayFrame& frame, const core::DisplaySettings& display,
                         std::vector<WindowItem>& out);

}  // namespace zorv::overlay
