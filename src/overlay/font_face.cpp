#include "overlay/font_face.h"

#include <algorithm>

#include <cmath>
#include <cstring>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

namespace zorv::overlay {

struct FontFace::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

std::string matchFontFile(std::string_view family, bool bold, bool italic) {
    std::string name(family);
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return {};
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    if (match) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
            file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

FontFace::FontFace() = default;
FontFace::~FontFace() = default;
FontFace::FontFace(FontFace&&) noexcept = default;
FontFace& FontFace::operator=(FontFace&&) noexcept = default;

bool FontFace::isOpen() const { return impl_ && impl_->face; }

void FontFace::close() {
    impl_.reset();
    file_.clear();
    high_.clear();
    for (auto& g : low_) g = Glyph{};
    cellWidth_ = ascent_ = descent_ = 0;
}

bool FontFace::open(std::string_view family, bool bold, bool italic) {
    close();
    std::string file = matchFontFile(family, bold, italic);
    if (file.empty()) return false;
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->library) != 0) return false;
    if (FT_New_Face(impl->library, file.c_str(), 0, &impl->face) != 0) return false;
    if (!FT_IS_SCALABLE(impl->face)) return false;
    impl_ = std::move(impl);
    file_ = std::move(file);
    return true;
}

namespace {
// The ascent and descent in font units that a desktop font cell is built from: the Windows metrics of
// the OS/2 table when the face has them, else the horizontal header's.
void cellUnits(FT_Face face, double& ascent, double& descent) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face->ascender;
        descent = -face->descender;
    }
}
}  // namespace

bool FontFace::setCellHeight(int pixels, double widthScale) {
    if (!isOpen() || pixels <= 0) return false;
    double asc = 0, desc = 0;
    cellUnits(impl_->face, asc, desc);
    if (asc + desc <= 0) return false;
    return applySize(pixels * impl_->face->units_per_EM / (asc + desc), widthScale);
}

bool FontFace::setCharacterHeight(int pixels, double widthScale) {
    if (!isOpen() || pixels <= 0) return false;
    return applySize(pixels, widthScale);
}

bool FontFace::applySize(double ppem, double widthScale) {
    FT_Face face = impl_->face;
    const auto h = static_cast<FT_F26Dot6>(std::lround(ppem * 64));
    const auto w = static_cast<FT_F26Dot6>(std::lround(ppem * widthScale * 64));
    if (h <= 0 || w <= 0 || FT_Set_Char_Size(face, w, h, 72, 72) != 0) return false;
    double asc = 0, desc = 0;
    cellUnits(face, asc, desc);
    const double scale = ppem / face->units_per_EM;
    ascent_ = static_cast<int>(std::lround(asc * scale));
    descent_ = static_cast<int>(std::lround(desc * scale));
    high_.clear();
    for (uint32_t cp = 0; cp < low_.size(); ++cp) {
        low_[cp] = Glyph{};
        if (cp >= 32 && cp != 127) render(cp, low_[cp]);
    }
    cellWidth_ = low_['0'].advance;
    return cellWidth_ > 0 && ascent_ + descent_ > 0;
}

bool FontFace::render(uint32_t codePoint, Glyph& g) const {
    FT_Face face = impl_->face;
    if (FT_Load_Char(face, codePoint, FT_LOAD_RENDER) != 0) return false;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) {
        g.width = g.rows = 0;
        return true;
    }
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
    for (int r = 0; r < g.rows; ++r)
        std::memcpy(g.coverage.data() + static_cast<size_t>(r) * g.width, bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch,
                    static_cast<size_t>(g.width));
    g.coverage3.resize(g.coverage.size() * 3);
    for (size_t i = 0; i < g.coverage.size(); ++i)
        g.coverage3[3 * i] = g.coverage3[3 * i + 1] = g.coverage3[3 * i + 2] = g.coverage[i];
    return true;
}

const FontFace::Glyph& FontFace::glyph(uint32_t codePoint) const {
    if (codePoint < low_.size()) return low_[codePoint];
    auto it = high_.find(codePoint);
    if (it != high_.end()) return it->second;
    Glyph g;
    if (isOpen()) render(codePoint, g);
    return high_.emplace(codePoint, std::move(g)).first->second;
}

namespace {
// Blends a run of bytes towards a grey level by their coverage: (p x (255 - a) + level x a) / 255,
// rounded. The sum stays below 65535, where (x + 1 + (x >> 8)) >> 8 is x / 255 exactly, so the run can
// be worked on in 16-bit lanes.
__attribute__((optimize("tree-vectorize"))) void blendGreyRun(uint8_t* dst, const uint8_t* cov, size_t n, uint16_t level) {
    for (size_t j = 0; j < n; ++j) {
        const uint16_t a = cov[j];
        const uint16_t x = static_cast<uint16_t>(dst[j] * (255 - a) + level * a + 127);
        dst[j] = static_cast<uint8_t>((x + 1 + (x >> 8)) >> 8);
    }
}

// The next code point of UTF-8 text (a stray byte stands for itself).
uint32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int more = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
    uint32_t cp = more == 3 ? b0 & 0x07 : more == 2 ? b0 & 0x0F : b0 & 0x1F;
    if (more == 0) return b0;
    size_t j = i;
    for (int k = 0; k < more; ++k, ++j) {
        if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) return b0;
        cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    }
    i = j;
    return cp;
}
}  // namespace

int FontFace::textWidth(std::string_view text) const {
    int w = 0;
    for (size_t i = 0; i < text.size();) w += glyph(nextCodePoint(text, i)).advance;
    return w;
}

void FontFace::inkBounds(int x, int y, std::string_view text, int& x0, int& y0, int& x1, int& y1) const {
    x0 = y0 = x1 = y1 = 0;
    bool any = false;
    const int baseline = y + ascent_;
    int pen = x;
    for (size_t i = 0; i < text.size();) {
        const Glyph& g = glyph(nextCodePoint(text, i));
        if (g.width > 0 && g.rows > 0) {
            const int gx = pen + g.left, gy = baseline - g.top;
            if (!any) {
                x0 = gx, y0 = gy, x1 = gx + g.width, y1 = gy + g.rows;
                any = true;
            } else {
                x0 = std::min(x0, gx), y0 = std::min(y0, gy);
                x1 = std::max(x1, gx + g.width), y1 = std::max(y1, gy + g.rows);
            }
        }
        pen += g.advance;
    }
}

void FontFace::draw(core::RgbPicture& picture, int x, int y, std::string_view text, uint8_t r0, uint8_t g0,
                    uint8_t b0) const {
    if (!isOpen()) return;
    const int baseline = y + ascent_;
    const int rowBegin = picture.firstRow, rowEnd = picture.firstRow + picture.rowCount;
    int pen = x;
    for (size_t i = 0; i < text.size();) {
        const Glyph& g = glyph(nextCodePoint(text, i));
        const int gx = pen + g.left, gy = baseline - g.top;
        for (int r = 0; r < g.rows; ++r) {
            const int py = gy + r;
            if (py < rowBegin || py >= rowEnd) continue;
            uint8_t* row = picture.row(py);
            const uint8_t* cov = g.coverage.data() + static_cast<size_t>(r) * g.width;
            // Columns inside the picture; a pixel with no coverage comes out as it was, so none is skipped.
            const int c0 = std::max(0, -gx), c1 = std::min(g.width, picture.width - gx);
            if (c0 >= c1) continue;
            if (r0 == g0 && g0 == b0) {
                blendGreyRun(row + (gx + c0) * 3, g.coverage3.data() + (static_cast<size_t>(r) * g.width + c0) * 3,
                             static_cast<size_t>(c1 - c0) * 3, r0);
                continue;
            }
            for (int c = c0; c < c1; ++c) {
                const unsigned a = cov[c], keep = 255 - a;
                uint8_t* p = row + (gx + c) * 3;
                p[0] = static_cast<uint8_t>((p[0] * keep + r0 * a + 127) / 255);
                p[1] = static_cast<uint8_t>((p[1] * keep + g0 * a + 127) / 255);
                p[2] = static_cast<uint8_t>((p[2] * keep + b0 * a + 127) / 255);
            }
        }
        pen += g.advance;
    }
}

}  // namespace zorv::overlay
