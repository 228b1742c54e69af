#include "qthost/Icons.h"

#include <initializer_list>

#include <QString>

#include "platform/IconResources.h"

namespace velmora {
namespace {

void addSizes(QIcon& icon, const QString& name, std::initializer_list<int> sizes) {
    for (int size : sizes)
        icon.addFile(QStringLiteral(":/velmora/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
}

QIcon programIcon() {
    QIcon icon;
    addSizes(icon, QStringLiteral("velmora"), {16, 22, 24, 32, 48, 64, 128, 256});
    return icon;
}

// The notification area shows the icon small: below 32 pixels it gets its own,
// simpler drawing.
QIcon trayIcon() {
    QIcon icon;
    addSizes(icon, QStringLiteral("velmora-tray-16"), {16, 22, 24});
    addSizes(icon, QStringLiteral("velmora-tray"), {32, 48, 64});
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
