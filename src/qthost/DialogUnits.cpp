#include "qthost/DialogUnits.h"

#include <cmath>

#include <QFontMetricsF>
#include <QString>

namespace velmora {
namespace {

// The templates were laid out for a face whose texts run narrower, for their
// average character width, than DejaVu's: a dialog unit is this much wider
// than a quarter of the font's average character, so that every text fits.
constexpr double kTextRoom = 1.15;

// Room for the window manager's frame beside a window's client area.
constexpr int kFrameAllowance = 16;

constexpr double kPreferredPoints = 8.0;
constexpr double kSmallestPoints = 6.0;

} // namespace

int DialogBaseUnits::toPixelsX(int units) const { return static_cast<int>(std::lround(units * averageWidth / 4)); }
int DialogBaseUnits::toPixelsY(int units) const { return static_cast<int>(std::lround(units * height / 8.0)); }

QRect DialogBaseUnits::toPixels(int x, int y, int width, int height) const {
    const int left = toPixelsX(x);
    const int top = toPixelsY(y);
    return QRect(left, top, toPixelsX(x + width) - left, toPixelsY(y + height) - top);
}

// At 8 points on a 96-DPI screen the main window (433 units) is about 760
// pixels wide and fits an 800-pixel screen; at a scale of 2 on a 1280-pixel
// screen (640 pixels in Qt's units) it takes 7 points.
QFont dialogFont(int widthUnits, int availableWidth) {
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    // In half points: a loop counted in floating point may miss its end.
    for (int halfPoints = static_cast<int>(kPreferredPoints * 2); halfPoints >= static_cast<int>(kSmallestPoints * 2);
         --halfPoints) {
        font.setPointSizeF(halfPoints / 2.0);
        if (widthUnits <= 0 || availableWidth <= 0) break;
        if (baseUnitsOf(font).toPixelsX(widthUnits) + kFrameAllowance <= availableWidth) break;
    }
    return font;
}

DialogBaseUnits baseUnitsOf(const QFont& font, const QPaintDevice* device) {
    const QFontMetricsF metrics = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return DialogBaseUnits{metrics.horizontalAdvance(alphabet) / 52 * kTextRoom,
                           static_cast<int>(std::lround(metrics.height()))};
}

} // namespace velmora
