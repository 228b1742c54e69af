#include "qthost/StatusNotifierWatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace velmora {
namespace {

const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

StatusNotifierWatch::StatusNotifierWatch(std::function<void()> changed)
    : changed_(std::move(changed))
    , serviceWatcher_(kService, QDBusConnection::sessionBus(),
                      QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return; // no session bus: no such notification area
    connect(&serviceWatcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { askForHost(); });
    connect(&serviceWatcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { set(false, false); });
    bus.connect(kService, kPath, kService, QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(hostRegistered()));
    askForHost(); // a watcher already running answers; none gives an error
}

// Asked without waiting: a watcher that hangs must not hang the program.
void StatusNotifierWatch::askForHost() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* c) { answered(c); });
}

void StatusNotifierWatch::answered(QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<QDBusVariant> reply = *call;
    call->deleteLater();
    if (reply.isError()) {
        set(false, false);
        return;
    }
    // A host that registered while the question was under way has said so already.
    set(true, hostRegistered_ || reply.value().variant().toBool());
}

void StatusNotifierWatch::hostRegistered() { set(true, true); }

void StatusNotifierWatch::set(bool watcherUp, bool hostRegistered) {
    const bool before = present();
    watcherUp_ = watcherUp;
    hostRegistered_ = hostRegistered;
    if (present() != before && changed_) changed_();
}

} // namespace velmora
