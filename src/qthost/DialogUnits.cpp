#include "qthost/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace velmora {
namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int mulDivRounded(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

int DialogBaseUnits::toPixelsX(int units) const { return mulDivRounded(units, averageWidth, 4); }
int DialogBaseUnits::toPixelsY(int units) const { return mulDivRounded(units, height, 8); }

QRect DialogBaseUnits::toPixels(int x, int y, int width, int height) const {
    const int left = toPixelsX(x);
    const int top = toPixelsY(y);
    return QRect(left, top, toPixelsX(x + width) - left, toPixelsY(y + height) - top);
}

// At 8 points this face is too wide for the templates: "Verbunden seit
// [ h.m.s ]:" and "Telekom 'Region 200'" in its drop-down list get clipped. At
// 9 points the average width rounds up to a whole pixel more, and every text fits.
QFont dialogFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    return font;
}

DialogBaseUnits baseUnitsOf(const QFont& font, const QPaintDevice* device) {
    const QFontMetrics metrics = device ? QFontMetrics(font, device) : QFontMetrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int alphabetWidth = metrics.horizontalAdvance(alphabet);
    return DialogBaseUnits{(alphabetWidth + 51) / 52, metrics.height()};
}

} // namespace velmora
