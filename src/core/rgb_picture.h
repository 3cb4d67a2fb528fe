// A view of a packed 24-bit RGB picture (three bytes per pixel, rows top-down) as the overlay layer
// draws into it. The view may hold only a run of the picture's rows: data points at row firstRow and
// rowCount rows follow, stride bytes apart.
#pragma once

#include <cstdint>

namespace zorv::core {

struct RgbPicture {
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;    // height of the whole picture
    int stride = 0;    // bytes from one row to the next
    int firstRow = 0;  // picture row held at data
    int rowCount = 0;  // rows held

    bool holds(int top, int rows) const { return top >= firstRow && top + rows <= firstRow + rowCount; }
    uint8_t* row(int y) const { return data + static_cast<int64_t>(y - firstRow) * stride; }

    // Row stride of a picture of the given width: width x 3 rounded up to a multiple of 4.
    static int strideFor(int width) { return (width * 3 + 3) & ~3; }
};

}  // namespace zorv::core
