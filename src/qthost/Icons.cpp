#include "qthost/Icons.h"

#include <cstring>
#include <initializer_list>

#include <QImage>
#include <QPixmap>
#include <QString>

#include "platform/IconResources.h"
#include "qthost/IconPixels.h"

namespace velmora {
namespace {

// The pixels come ready from the build (IconPixels.h): reading PNGs here would
// have Qt's image reader list and open every image plugin first, and decode.
// Only sizes up to 64 pixels are carried, all a window frame, a task bar or a
// notification area shows of a running program; the desktop takes its larger
// icons from the installed hicolor theme.
void addSizes(QIcon& icon, const char* name, std::initializer_list<int> sizes) {
    for (int size : sizes)
        for (const IconPixels& pixels : iconPixels())
            if (pixels.width == size && std::strcmp(pixels.name, name) == 0) {
                // Wraps the pixels without a copy (rows of whole 32-bit pixels need
                // no padding); premultiplied already, they are the pixmap's own
                // format, so the pixmap shares them instead of converting a copy.
                const QImage image(reinterpret_cast<const uchar*>(pixels.argb), pixels.width, pixels.height,
                                   QImage::Format_ARGB32_Premultiplied);
                icon.addPixmap(QPixmap::fromImage(image));
            }
}

QIcon programIcon() {
    QIcon icon;
    addSizes(icon, "velmora", {16, 22, 24, 32, 48, 64});
    return icon;
}

// The notification area shows the icon small: below 32 pixels it gets its own,
// simpler drawing; from 32 pixels on it is the program icon.
QIcon trayIcon() {
    QIcon icon;
    addSizes(icon, "velmora-tray-16", {16, 22, 24});
    addSizes(icon, "velmora", {32, 48, 64});
    return icon;
}

} // namespace

QIcon iconForResource(int iconResource) {
    switch (iconResource) {
    case icons::Program: return programIcon();
    case icons::TrayResource: return trayIcon();
    default: return {};
    }
}

} // namespace velmora
