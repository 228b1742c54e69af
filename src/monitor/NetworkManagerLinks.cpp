#include "monitor/NetworkManagerLinks.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <QVariantMap>

#include <arpa/inet.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "monitor/SafeText.h"

namespace velmora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kIp4Interface = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
const QString kModemService = QStringLiteral("org.freedesktop.ModemManager1");
const QString kModemInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem");
const QString kModemPathPrefix = QStringLiteral("/org/freedesktop/ModemManager1/Modem/");

constexpr int kCallTimeoutMs = 2000; // asynchronous: bounds a stale answer, never blocks
constexpr int kDebounceMs = 30;
constexpr int kPeriodicMs = 10000; // a safety net for a change whose signal was missed
constexpr qsizetype kMaxActiveConnections = 32;

// NetworkManager's states of an active connection and kinds of device.
constexpr uint kActivating = 1, kActivated = 2, kDeactivating = 3;
constexpr uint kDeviceEthernet = 1, kDeviceBluetooth = 5, kDeviceModem = 8, kDeviceAdsl = 12, kDevicePpp = 23;

QVariantMap propertyMap(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    const QVariant first = reply.arguments().constFirst();
    if (!first.canConvert<QDBusArgument>()) return {};
    const auto arg = first.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("a{sv}")) return {};
    return qdbus_cast<QVariantMap>(arg);
}

QStringList pathList(const QVariant& value) {
    QStringList paths;
    if (value.canConvert<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        if (arg.currentSignature() != QLatin1String("ao")) return {};
        arg.beginArray();
        while (!arg.atEnd() && paths.size() < kMaxActiveConnections) {
            QDBusObjectPath path;
            arg >> path;
            paths << path.path();
        }
        arg.endArray();
    } else if (value.metaType() == QMetaType::fromType<QList<QDBusObjectPath>>()) {
        for (const auto& path : value.value<QList<QDBusObjectPath>>().mid(0, kMaxActiveConnections))
            paths << path.path();
    }
    return paths;
}

QString pathValue(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return {};
}

// The first IPv4 address of "AddressData" (aa{sv}, each with "address").
std::string firstAddress(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return {};
    const auto arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("aa{sv}")) return {};
    QString address;
    arg.beginArray();
    while (!arg.atEnd()) {
        QVariantMap entry;
        arg >> entry;
        if (address.isEmpty()) address = entry.value(QStringLiteral("address")).toString();
    }
    arg.endArray();
    in_addr parsed{};
    char dotted[INET_ADDRSTRLEN] = {};
    if (::inet_pton(AF_INET, address.toStdString().c_str(), &parsed) != 1) return {};
    if (!::inet_ntop(AF_INET, &parsed, dotted, sizeof dotted)) return {};
    return dotted;
}

std::string text(const QVariant& value, std::size_t maxBytes) {
    return cleanText(value.toString().toStdString(), maxBytes);
}

bool isDialUpKind(const QString& type) {
    static const QStringList kinds = {QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("bluetooth"),
                                      QStringLiteral("pppoe"), QStringLiteral("adsl")};
    return kinds.contains(type);
}

std::string deviceTypeOf(uint deviceKind, const QString& connectionType) {
    switch (deviceKind) {
    case kDeviceModem:
    case kDeviceBluetooth: return "modem";
    case kDeviceAdsl: return "adsl";
    case kDeviceEthernet:
    case kDevicePpp: return "pppoe";
    default: break;
    }
    if (connectionType == QLatin1String("pppoe") || connectionType == QLatin1String("adsl"))
        return connectionType.toStdString();
    return "modem";
}

bool isModemPath(const QString& udi) {
    if (!udi.startsWith(kModemPathPrefix) || udi.size() == kModemPathPrefix.size() || udi.size() > 80) return false;
    for (qsizetype i = kModemPathPrefix.size(); i < udi.size(); ++i)
        if (!udi.at(i).isDigit()) return false;
    return true;
}

} // namespace

struct NetworkManagerLinks::Refresh {
    struct Entry {
        ObservedLink link;
        QString connectionType;
        uint deviceKind = 0;
        std::string control; // the device NetworkManager drives, e.g. the modem's tty
        std::string model;
    };
    std::uint64_t serial = 0;
    int outstanding = 0;
    std::vector<Entry> entries;
};

NetworkManagerLinks::NetworkManagerLinks(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , bus_(std::move(bus))
    , debounce_(new QTimer(this))
    , periodic_(new QTimer(this))
    , changed_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    debounce_->setSingleShot(true);
    debounce_->setInterval(kDebounceMs);
    connect(debounce_, &QTimer::timeout, this, &NetworkManagerLinks::refresh);
    periodic_->setInterval(kPeriodicMs);
    connect(periodic_, &QTimer::timeout, this, &NetworkManagerLinks::refresh);
    if (!bus_.isConnected()) return;
    watcher_ = new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { ownerChanged(owner); });
    for (const char* name : {"PropertiesChanged", "StateChanged"})
        bus_.connect(kService, QString(), QString(), QString::fromLatin1(name), this,
                     SLOT(onManagerSignal(QDBusMessage)));
    refresh();
}

NetworkManagerLinks::~NetworkManagerLinks() {
    if (changed_ >= 0) ::close(changed_);
}

void NetworkManagerLinks::takeChangeSignal() {
    std::uint64_t count = 0;
    if (changed_ >= 0) (void)!::read(changed_, &count, sizeof count); // EAGAIN: nothing was signalled
}

// Only a real change is signalled: the periodic refresh must not wake a
// sleeping caller every ten seconds.
void NetworkManagerLinks::setLinks(std::vector<ObservedLink> links) {
    if (links == links_) return;
    links_ = std::move(links);
    const std::uint64_t one = 1;
    // EAGAIN: the counter is full, so the descriptor is readable anyway.
    if (changed_ >= 0 && ::write(changed_, &one, sizeof one) != sizeof one && errno != EAGAIN)
        qWarning("velmora: a change of NetworkManager's links cannot be signalled: %s", std::strerror(errno));
}

void NetworkManagerLinks::onManagerSignal(const QDBusMessage&) { scheduleRefresh(); }

void NetworkManagerLinks::scheduleRefresh() {
    if (!debounce_->isActive()) debounce_->start();
}

void NetworkManagerLinks::ownerChanged(const QString& owner) {
    if (!owner.isEmpty()) {
        scheduleRefresh();
        return;
    }
    // NetworkManager left: what it said no longer holds, and nothing is asked until it is back.
    ++serial_;
    inFlight_ = again_ = false;
    periodic_->stop();
    setLinks({});
}

void NetworkManagerLinks::refresh() {
    if (!bus_.isConnected()) return;
    if (inFlight_) {
        again_ = true;
        return;
    }
    start();
}

template <typename Handler>
void NetworkManagerLinks::getAll(const std::shared_ptr<Refresh>& run, const QString& service, const QString& path,
                                 const QString& interface, Handler handler) {
    auto call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                               QStringLiteral("GetAll"));
    call << interface;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    ++run->outstanding;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, run, pending, handler]() {
        pending->deleteLater();
        if (run->serial == serial_) handler(pending->reply());
        if (--run->outstanding == 0) finish(run);
    });
}

void NetworkManagerLinks::start() {
    inFlight_ = true;
    auto run = std::make_shared<Refresh>();
    run->serial = ++serial_;
    getAll(run, kService, kManagerPath, kManagerInterface, [this, run](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage)
            periodic_->start();
        else
            periodic_->stop(); // absent: wait for its owner to appear
        for (const auto& path : pathList(propertyMap(reply).value(QStringLiteral("ActiveConnections"))))
            readActiveConnection(run, path);
    });
}

void NetworkManagerLinks::readActiveConnection(const std::shared_ptr<Refresh>& run, const QString& path) {
    getAll(run, kService, path, kActiveInterface, [this, run, path](const QDBusMessage& reply) {
        const auto props = propertyMap(reply);
        const QString type = props.value(QStringLiteral("Type")).toString();
        const uint state = props.value(QStringLiteral("State")).toUInt();
        if (!isDialUpKind(type) || (state != kActivating && state != kActivated && state != kDeactivating)) return;
        Refresh::Entry entry;
        entry.link.nmPath = path.toStdString();
        entry.link.entryName = text(props.value(QStringLiteral("Id")), kMaxEntryNameBytes);
        entry.link.established = state == kActivated;
        entry.connectionType = type;
        const std::size_t index = run->entries.size();
        run->entries.push_back(std::move(entry));
        const auto devices = pathList(props.value(QStringLiteral("Devices")));
        if (!devices.isEmpty()) readDevice(run, index, devices.constFirst());
        const QString ip4 = pathValue(props.value(QStringLiteral("Ip4Config")));
        if (ip4.size() > 1) readAddress(run, index, ip4);
    });
}

void NetworkManagerLinks::readDevice(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& path) {
    getAll(run, kService, path, kDeviceInterface, [this, run, index](const QDBusMessage& reply) {
        const auto props = propertyMap(reply);
        auto& entry = run->entries[index];
        entry.deviceKind = props.value(QStringLiteral("DeviceType")).toUInt();
        const std::string ifname = props.value(QStringLiteral("IpInterface")).toString().toStdString();
        if (isInterfaceName(ifname)) entry.link.ifname = ifname;
        entry.control = text(props.value(QStringLiteral("Interface")), 64);
        const QString udi = props.value(QStringLiteral("Udi")).toString();
        if (entry.deviceKind == kDeviceModem && isModemPath(udi)) readModel(run, index, udi);
    });
}

void NetworkManagerLinks::readAddress(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& path) {
    getAll(run, kService, path, kIp4Interface, [run, index](const QDBusMessage& reply) {
        run->entries[index].link.address = firstAddress(propertyMap(reply).value(QStringLiteral("AddressData")));
    });
}

void NetworkManagerLinks::readModel(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& modemPath) {
    getAll(run, kModemService, modemPath, kModemInterface, [run, index](const QDBusMessage& reply) {
        run->entries[index].model = text(propertyMap(reply).value(QStringLiteral("Model")), 64);
    });
}

void NetworkManagerLinks::finish(const std::shared_ptr<Refresh>& run) {
    if (run->serial != serial_) return;
    std::vector<ObservedLink> links;
    for (auto& entry : run->entries) {
        auto& link = entry.link;
        link.deviceType = deviceTypeOf(entry.deviceKind, entry.connectionType);
        std::string device = entry.control.empty() ? link.ifname : entry.control;
        if (device.rfind("tty", 0) == 0) device = "/dev/" + device;
        if (!entry.model.empty()) device += " (" + entry.model + ")";
        link.deviceName = cleanText(device, kMaxDeviceNameBytes);
        links.push_back(std::move(link));
    }
    setLinks(std::move(links));
    ++refreshCount_;
    inFlight_ = false;
    if (again_) {
        again_ = false;
        start();
    }
}

} // namespace velmora
