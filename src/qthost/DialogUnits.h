#pragma once
// Dialog units to pixels. Templates are laid out in units of the dialog font:
// x in quarters of its average character width, y in eighths of its height.

#include <QFont>
#include <QRect>

class QPaintDevice;

namespace velmora {

struct DialogBaseUnits {
    double averageWidth = 0; // pixels of one average character, see baseUnitsOf
    int height = 0;          // the font's line height

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    // Each edge is mapped on its own, so that adjacent rectangles stay adjacent.
    QRect toPixels(int x, int y, int width, int height) const;
};

// The UI font of every dialog: a narrow sans-serif face with umlauts and "€"
// (DejaVu Sans Condensed), at 8 points, or smaller where a window `widthUnits`
// wide would not fit into `availableWidth` pixels (a small screen, or a large
// scale factor).
QFont dialogFont(int widthUnits = 0, int availableWidth = 0);

// Base units of font as drawn on device (nullptr: the screen's default).
DialogBaseUnits baseUnitsOf(const QFont& font, const QPaintDevice* device = nullptr);

} // namespace velmora
