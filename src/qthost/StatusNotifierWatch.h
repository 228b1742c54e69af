#pragma once
// A StatusNotifierItem notification area: the service
// org.kde.StatusNotifierWatcher on the session bus, once it reports a host
// (the panel that shows the items) registered with it.

#include <functional>

#include <QDBusServiceWatcher>
#include <QObject>

class QDBusPendingCallWatcher;

namespace velmora {

class StatusNotifierWatch : public QObject {
    Q_OBJECT

public:
    // changed() is called whenever present() may have changed.
    explicit StatusNotifierWatch(std::function<void()> changed);
    bool present() const { return watcherUp_ && hostRegistered_; }

private Q_SLOTS:
    void hostRegistered();

private:
    void askForHost();
    void answered(QDBusPendingCallWatcher* call);
    void set(bool watcherUp, bool hostRegistered);

    std::function<void()> changed_;
    QDBusServiceWatcher serviceWatcher_;
    bool watcherUp_ = false;
    bool hostRegistered_ = false;
};

} // namespace velmora
