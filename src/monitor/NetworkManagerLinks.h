#pragma once
// NetworkManager's active dial-up connections, kept as a snapshot that is
// refreshed through the Qt event loop whenever NetworkManager announces a
// change, and every few seconds while it is on the bus. A poll only reads
// the snapshot, so it never waits on the bus. An answer that fails or comes
// too late changes nothing: the device and connection keep what was last
// known of them, so a slow bus never ends or restarts a connection; only
// NetworkManager leaving the bus, or saying a connection is gone, does.

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "monitor/ObservedLink.h"

class QDBusMessage;
class QDBusServiceWatcher;
class QTimer;

namespace velmora {

struct NetworkManagerTiming {
    int callTimeoutMs = 2000; // asynchronous: bounds a stale answer, never blocks
    int periodicMs = 10000;   // a safety net for a change whose signal was missed
};

class NetworkManagerLinks : public QObject {
    Q_OBJECT
public:
    // Watches the given bus; without a connected bus the snapshot stays empty.
    explicit NetworkManagerLinks(QDBusConnection bus, QObject* parent = nullptr, NetworkManagerTiming timing = {});
    ~NetworkManagerLinks() override;

    const std::vector<ObservedLink>& links() const { return links_; }
    // Readable from the moment the links change until takeChangeSignal(), so
    // that a caller asleep on descriptors hears of them.
    int changeDescriptor() const { return changed_; }
    void takeChangeSignal();
    // Completed refreshes so far; lets a caller wait for fresh data.
    std::uint64_t refreshCount() const { return refreshCount_; }
    // Starts an asynchronous refresh (one more follows if one is under way).
    void refresh();
    // The periodic refresh is running (NetworkManager is on the bus).
    bool refreshingPeriodically() const;

private slots:
    void onManagerSignal(const QDBusMessage& message);

private:
    struct Entry;
    struct Refresh;
    void start();
    void finish(const std::shared_ptr<Refresh>& run);
    void readActiveConnection(const std::shared_ptr<Refresh>& run, const QString& path);
    void readDevice(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& path);
    void readAddress(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& path);
    void readModel(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& modemPath);
    template <typename Handler>
    void getAll(const std::shared_ptr<Refresh>& run, const QString& service, const QString& path,
                const QString& interface, Handler handler);
    void scheduleRefresh();
    void ownerChanged(const QString& owner);
    void setLinks(std::vector<ObservedLink> links);
    void managerGone();
    const Entry* lastKnown(const std::string& path) const;

    QDBusConnection bus_;
    NetworkManagerTiming timing_;
    std::shared_ptr<const Refresh> last_; // the last refresh that was published
    QDBusServiceWatcher* watcher_ = nullptr;
    QTimer* debounce_ = nullptr;
    QTimer* periodic_ = nullptr;
    std::vector<ObservedLink> links_;
    int changed_ = -1; // an eventfd
    std::uint64_t refreshCount_ = 0;
    std::uint64_t serial_ = 0;
    bool inFlight_ = false;
    bool again_ = false;
};

} // namespace velmora
