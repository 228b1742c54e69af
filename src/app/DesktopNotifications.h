#pragma once
// The desktop's notifications: org.freedesktop.Notifications on the session
// bus, asked without waiting (a notification server that hangs must not stop
// the meter). Where there is no session bus, no such service (none running and
// none the bus can start) or the call fails or times out, the caller's
// `unavailable` runs instead, so the message still reaches the user.

#include <QObject>
#include <QString>

#include "ui/MonitorEnvironment.h"

namespace velmora {

class DesktopNotifications : public DesktopNotifier {
public:
    // appName: the sender as the notification names it; icon: a theme icon's
    // name; desktopEntry: the desktop entry's id, for servers that group by it.
    DesktopNotifications(QString appName, QString icon, QString desktopEntry);
    // Answers still under way are dropped: their callbacks never run.
    ~DesktopNotifications() override = default;

    void notify(const std::string& summary, const std::string& body, std::function<void()> unavailable) override;

private:
    QString appName_;
    QString icon_;
    QString desktopEntry_;
    QObject pending_; // parent of the calls under way
};

} // namespace velmora
