// A scalable font face found by family name through fontconfig and rasterised with FreeType
// (anti-aliased grey levels), drawn as text into 24-bit RGB pictures. Sizes follow the two ways a
// font height is asked for on the desktop: a cell height (ascent plus descent of the face's Windows
// metrics) or a character height (the em size). The glyphs of the first 256 code points are rendered
// once when the size is set, so drawing a text allocates nothing.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/rgb_picture.h"

namespace zorv::overlay {

class FontFace {
public:
    FontFace();
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
    FontFace(FontFace&&) noexcept;
    FontFace& operator=(FontFace&&) noexcept;

    // Resolves family (with bold weight and italic slant as asked) to a font file and loads it.
    bool open(std::string_view family, bool bold, bool italic);
    bool isOpen() const;
    void close();
    const std::string& file() const { return file_; }

    // Sets the size from a cell height in pixels; widthScale below 1 narrows the characters.
    bool setCellHeight(int pixels, double widthScale = 1.0);
    // Sets the size from a character (em) height in pixels.
    bool setCharacterHeight(int pixels, double widthScale = 1.0);

    // The measured character cell: width of one character, height, and ascent above the baseline.
    int cellWidth() const { return cellWidth_; }
    int cellHeight() const { return ascent_ + descent_; }
    int ascent() const { return ascent_; }

    // Draws UTF-8 text whose cell has its top-left corner at (x, y) in the colour r, g, b (the picture's
    // byte order), blending the glyphs' coverage over the picture; everything outside the rows the
    // picture holds is clipped.
    void draw(core::RgbPicture& picture, int x, int y, std::string_view text, uint8_t r, uint8_t g, uint8_t b) const;
    void draw(core::RgbPicture& picture, int x, int y, std::string_view text, uint8_t level) const {
        draw(picture, x, y, text, level, level, level);
    }
    // Advance width of a text in pixels.
    int textWidth(std::string_view text) const;
    // The pixels draw() at (x, y) can change: [x0, x1) x [y0, y1), empty (x0 == x1) for a blank text.
    void inkBounds(int x, int y, std::string_view text, int& x0, int& y0, int& x1, int& y1) const;

private:
    struct Glyph {
        int left = 0, top = 0, width = 0, rows = 0, advance = 0;
        std::vector<uint8_t> coverage;
        std::vector<uint8_t> coverage3;  // each coverage byte three times, for drawing grey on RGB bytes
    };
    bool applySize(double ppem, double widthScale);
    bool render(uint32_t codePoint, Glyph& g) const;
    const Glyph& glyph(uint32_t codePoint) const;

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string file_;
    int cellWidth_ = 0, ascent_ = 0, descent_ = 0;
    std::array<Glyph, 256> low_;
    mutable std::map<uint32_t, Glyph> high_;
};

// The font file fontconfig picks for a family, or empty when it finds none.
std::string matchFontFile(std::string_view family, bool bold, bool italic);

}  // namespace zorv::overlay
