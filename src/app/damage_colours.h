// The colours the window marks damage with, on the damage strip and on the picture. Each is of middle
// lightness so that it reads on light and dark window themes and on the picture alike.
#pragma once

#include <QColor>

namespace zorv::app::damage_colour {

inline QColor uncorrected() { return QColor(0xE0, 0x2A, 0x2A); }  // red: errors nobody concealed
inline QColor concealed() { return QColor(0xF2, 0xA0, 0x00); }    // amber: concealed by the deck
inline QColor dropped() { return QColor(0xA0, 0x40, 0xD0); }      // purple: frame missing from the file
inline QColor audio() { return QColor(0x5A, 0xB4, 0xF0); }        // light blue: audio error samples only
inline QColor signs() { return QColor(0x9A, 0x9A, 0x9A); }        // grey: other signs only

}  // namespace zorv::app::damage_colour
