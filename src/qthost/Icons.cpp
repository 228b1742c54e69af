#include "qthost/Icons.h"

#include <initializer_list>

#include <QImageReader>
#include <QPixmap>
#include <QString>

#include "platform/IconResources.h"

namespace velmora {
namespace {

// Each image is read as the PNG it is, by Qt's own reader: a reader left to
// guess the format from the content would load every image plugin (JPEG, GIF,
// ICO) to ask it first. Only sizes up to 64 pixels are carried, all a window
// frame, a task bar or a notification area shows of a running program; the
// desktop takes its larger icons from the installed hicolor theme.
void addSizes(QIcon& icon, const QString& name, std::initializer_list<int> sizes) {
    for (int size : sizes) {
        QImageReader reader(QStringLiteral(":/velmora/icons/%1-%2.png").arg(name).arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
}

QIcon programIcon() {
    QIcon icon;
    addSizes(icon, QStringLiteral("velmora"), {16, 22, 24, 32, 48, 64});
    return icon;
}

// The notification area shows the icon small: below 32 pixels it gets its own,
// simpler drawing; from 32 pixels on it is the program icon.
QIcon trayIcon() {
    QIcon icon;
    addSizes(icon, QStringLiteral("velmora-tray-16"), {16, 22, 24});
    addSizes(icon, QStringLiteral("velmora"), {32, 48, 64});
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
