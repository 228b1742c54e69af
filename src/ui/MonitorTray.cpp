// The notification-area icon and the way the window is put away and brought back.
#include "platform/Utf8.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

namespace {
constexpr std::size_t kTooltipMaxChars = 63;
} // namespace

bool MonitorDialog::notifyTray(TrayOp op, int iconId, int iconResource, std::string_view tooltip) {
    return env_.host.trayNotify(self_, op, iconId, iconResource, utf8Prefix(tooltip, kTooltipMaxChars));
}

void MonitorDialog::addTrayIcon() {
    trayAvailable_ = notifyTray(TrayOp::Add, ids::TrayIconId, trayIcon_, kProductName);
}

void MonitorDialog::removeTrayIcon() { notifyTray(TrayOp::Delete, ids::TrayIconId, trayIcon_, kProductName); }

// Without a notification area the window is minimised instead of hidden, so
// that its task-bar button still brings it back.
void MonitorDialog::minimizeOrHide() {
    if (connected_ || !trayAvailable_) {
        env_.host.show(self_, ShowMode::Minimized);
        return;
    }
    env_.host.show(self_, ShowMode::Hidden);
    hiddenInTray_ = true;
}

int MonitorDialog::onTrayNotify(int /*iconId*/, int mouseMessage) {
    if (mouseMessage == MouseLeftDown) {
        hiddenInTray_ = false; // first, or the guard would keep the window hidden
        env_.host.centerOnWorkArea(self_);
        env_.host.show(self_, ShowMode::Normal);
        env_.host.setForeground(self_);
    }
    return 1;
}

bool MonitorDialog::onWindowPosChanging() { return hiddenInTray_; }

// A panel that starts after the program, or again after a restart, gets the
// icon anew. While there is none, a window hidden in the notification area
// could not be brought back: it goes to the task bar, minimised.
void MonitorDialog::onTrayAreaChanged(bool present) {
    removeTrayIcon();
    trayAvailable_ = false;
    if (present) {
        addTrayIcon();
        return;
    }
    if (hiddenInTray_) {
        hiddenInTray_ = false; // first, or the guard would keep the window hidden
        env_.host.show(self_, ShowMode::Minimized);
    }
}

} // namespace velmora
