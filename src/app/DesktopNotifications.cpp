#include "app/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace velmora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// Long enough for the bus to start a server on demand.
constexpr int kAnswerMs = 10'000;
constexpr int kServerDecidesHowLong = -1;

} // namespace

DesktopNotifications::DesktopNotifications(QString appName, QString icon, QString desktopEntry)
    : appName_(std::move(appName)), icon_(std::move(icon)), desktopEntry_(std::move(desktopEntry)) {}

void DesktopNotifications::notify(const std::string& summary, const std::string& body,
                                  std::function<void()> unavailable) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return unavailable();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopEntry_}};
    call << appName_ << 0u << icon_ << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList()
         << hints << kServerDecidesHowLong;
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerMs), &pending_);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, &pending_,
                     [unavailable = std::move(unavailable)](QDBusPendingCallWatcher* done) {
                         const QDBusPendingReply<uint> reply = *done;
                         done->deleteLater();
                         if (reply.isError()) unavailable();
                     });
}

} // namespace velmora
