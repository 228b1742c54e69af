#include "qthost/FramedGroupBox.h"

#include <cmath>

#include <QPainter>

namespace velmora {
namespace {

// Measures in the font's line height, as the frame has always had them: the
// top edge half a line down, the title 0.6 lines in with 0.2 lines of room
// either side (and two pixels more, where the line breaks off for it).
int lines(const QFontMetrics& metrics, double count) { return static_cast<int>(std::lround(metrics.height() * count)); }
constexpr int kTitleInset = 2;

} // namespace

// Painted here, not by a style sheet: a style sheet brings Qt's whole style
// sheet machinery into memory for one rounded line, and the style's own group
// box frame is an image that loads every image plugin to be read.
void FramedGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int room = lines(metrics, 0.2);
    const QRect titleBox(lines(metrics, 0.6), 0, metrics.horizontalAdvance(title()) + 2 * (room + kTitleInset),
                         metrics.height());
    painter.save();
    painter.setClipRegion(QRegion(rect()) - titleBox);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRoundedRect(QRectF(rect().adjusted(0, lines(metrics, 0.5), 0, 0)).adjusted(0.5, 0.5, -0.5, -0.5), 1, 1);
    painter.restore();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(titleBox.adjusted(room + kTitleInset, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title());
}

} // namespace velmora
