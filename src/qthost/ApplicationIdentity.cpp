#include <QGuiApplication>

#include "qthost/QtHost.h"
#include "qthost/QtText.h"

namespace velmora {

// The application name, not the display name: Qt gives the tray item the
// display name where there is one, else the application name, and on X11 it
// appends a display name to every window title ("Keine Verbindung — Velmora").
void setApplicationIdentity(const std::string& name, const std::string& desktopFileId) {
    QCoreApplication::setApplicationName(qtText(name));
    QGuiApplication::setDesktopFileName(qtText(desktopFileId));
}

} // namespace velmora
