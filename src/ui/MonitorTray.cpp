// The notification-area icon, its menu, and the way the window is put away and
// brought back.
#include "platform/Utf8.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

namespace {
constexpr std::size_t kTooltipMaxChars = 63;

// The tray menu's entries.
enum TrayMenuEntry { MenuShow = 1, MenuHistory, MenuAutostart, MenuQuit };
} // namespace

bool MonitorDialog::notifyTray(TrayOp op, int iconId, int iconResource, std::string_view tooltip) {
    return env_.host.trayNotify(self_, op, iconId, iconResource, utf8Prefix(tooltip, kTooltipMaxChars));
}

void MonitorDialog::addTrayIcon() {
    trayAvailable_ = notifyTray(TrayOp::Add, ids::TrayIconId, trayIcon_, kProductName);
    if (trayAvailable_) env_.host.setTrayMenu(ids::TrayIconId, trayMenuItems());
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
    if (mouseMessage == MouseLeftDown) bringBack();
    return 1;
}

void MonitorDialog::bringBack() {
    hiddenInTray_ = false; // first, or the guard would keep the window hidden
    env_.host.centerOnWorkArea(self_);
    env_.host.show(self_, ShowMode::Normal);
    env_.host.setForeground(self_);
}

// "Beenden" ends the program as Escape does, and like Escape it waits while a
// dialog or question of the window is open: ending beneath it would leave
// that open until the user closed it.
std::vector<TrayMenuItem> MonitorDialog::trayMenuItems() const {
    std::vector<TrayMenuItem> items{{MenuShow, "Anzeigen"}};
    if (env_.history) items.push_back({MenuHistory, "Verlauf..."});
    if (env_.autostart) items.push_back({MenuAutostart, "Beim Anmelden starten", true, env_.autostart->exists()});
    items.push_back({MenuQuit, "Beenden", false, false, !env_.host.hasModalAbove(self_)});
    return items;
}

// The check mark is read from the disk each time: the entry may have been
// removed or made by hand or by a second copy of the program.
void MonitorDialog::onTrayMenuOpening(int iconId) { env_.host.setTrayMenu(iconId, trayMenuItems()); }

void MonitorDialog::onTrayMenuChoice(int iconId, int itemId) {
    switch (itemId) {
    case MenuShow: bringBack(); break;
    case MenuHistory:
        if (env_.history) env_.history->open();
        break;
    case MenuAutostart: toggleAutostart(); break;
    case MenuQuit:
        if (!env_.host.hasModalAbove(self_)) onCommand(IdCancel);
        return; // the menu goes with the window
    default: break;
    }
    env_.host.setTrayMenu(iconId, trayMenuItems());
}

// A failed write leaves the entry as it was; the check mark keeps showing what
// is on disk and the beep says that the choice did not take.
void MonitorDialog::toggleAutostart() {
    if (!env_.autostart) return;
    const WriteResult result = env_.autostart->exists() ? env_.autostart->disable() : env_.autostart->enable();
    if (!result) env_.host.beep();
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
