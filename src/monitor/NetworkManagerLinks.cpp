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

constexpr int kDebounceMs = 30;
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

bool answered(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ReplyMessage; }

// The bus says nobody has the name: NetworkManager is not running.
bool isAbsent(const QDBusMessage& reply) {
    const QString error = reply.errorName();
    return error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

// NetworkManager says the object is not there (any more).
bool isGone(const QDBusMessage& reply) {
    const QString error = reply.errorName();
    return error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
           error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface");
}

bool isModemPath(const QString& udi) {
    if (!udi.startsWith(kModemPathPrefix) || udi.size() == kModemPathPrefix.size() || udi.size() > 80) return false;
    for (qsizetype i = kModemPathPrefix.size(); i < udi.size(); ++i)
        if (!udi.at(i).isDigit()) return false;
    return true;
}

} // namespace

struct NetworkManagerLinks::Entry {
    ObservedLink link;
    QString connectionType;
    uint deviceKind = 0;
    std::string control; // the device NetworkManager drives, e.g. the modem's tty
    std::string model;
};

struct NetworkManagerLinks::Refresh {
    std::uint64_t serial = 0;
    int outstanding = 0;
    bool unanswered = false; // NetworkManager did not say which connections are active
    std::vector<Entry> entries;
};

NetworkManagerLinks::NetworkManagerLinks(QDBusConnection bus, QObject* parent, NetworkManagerTiming timing)
    : QObject(parent)
    , bus_(std::move(bus))
    , timing_(timing)
    , debounce_(new QTimer(this))
    , periodic_(new QTimer(this))
    , changed_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    debounce_->setSingleShot(true);
    debounce_->setInterval(kDebounceMs);
    connect(debounce_, &QTimer::timeout, this, &NetworkManagerLinks::refresh);
    periodic_->setInterval(timing_.periodicMs);
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
    managerGone();
}

// NetworkManager left: what it said no longer holds, and nothing is asked until it is back.
void NetworkManagerLinks::managerGone() {
    ++serial_;
    inFlight_ = again_ = false;
    periodic_->stop();
    last_.reset();
    setLinks({});
}

bool NetworkManagerLinks::refreshingPeriodically() const { return periodic_->isActive(); }

const NetworkManagerLinks::Entry* NetworkManagerLinks::lastKnown(const std::string& path) const {
    if (!last_) return nullptr;
    for (const auto& entry : last_->entries)
        if (entry.link.nmPath == path) return &entry;
    return nullptr;
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
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, timing_.callTimeoutMs), this);
    ++run->outstanding;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, run, pending, handler]() {
        pending->deleteLater();
        if (run->serial == serial_) handler(pending->reply());
        if (--run->outstanding == 0) finish(run);
    });
}

// A refresh whose first answer fails publishes nothing: the links stay as
// they were, and the periodic refresh asks again, unless the bus says that
// NetworkManager is not there at all.
void NetworkManagerLinks::start() {
    inFlight_ = true;
    auto run = std::make_shared<Refresh>();
    run->serial = ++serial_;
    getAll(run, kService, kManagerPath, kManagerInterface, [this, run](const QDBusMessage& reply) {
        if (isAbsent(reply)) {
            managerGone(); // waits for its owner to appear
            return;
        }
        if (!periodic_->isActive()) periodic_->start();
        if (!answered(reply)) {
            run->unanswered = true;
            return;
        }
        for (const auto& path : pathList(propertyMap(reply).value(QStringLiteral("ActiveConnections"))))
            readActiveConnection(run, path);
    });
}

// A connection whose properties do not come keeps all that was known of it.
void NetworkManagerLinks::readActiveConnection(const std::shared_ptr<Refresh>& run, const QString& path) {
    getAll(run, kService, path, kActiveInterface, [this, run, path](const QDBusMessage& reply) {
        if (!answered(reply)) {
            const Entry* known = isGone(reply) ? nullptr : lastKnown(path.toStdString());
            if (known) run->entries.push_back(*known);
            return;
        }
        const auto props = propertyMap(reply);
        const QString type = props.value(QStringLiteral("Type")).toString();
        const uint state = props.value(QStringLiteral("State")).toUInt();
        if (!isDialUpKind(type) || (state != kActivating && state != kActivated && state != kDeactivating)) return;
        Entry entry;
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
        auto& entry = run->entries[index];
        if (!answered(reply)) {
            if (const Entry* known = lastKnown(entry.link.nmPath)) {
                entry.deviceKind = known->deviceKind;
                entry.link.ifname = known->link.ifname;
                entry.control = known->control;
                entry.model = known->model;
            }
            return;
        }
        const auto props = propertyMap(reply);
        entry.deviceKind = props.value(QStringLiteral("DeviceType")).toUInt();
        const std::string ifname = props.value(QStringLiteral("IpInterface")).toString().toStdString();
        if (isInterfaceName(ifname)) entry.link.ifname = ifname;
        entry.control = text(props.value(QStringLiteral("Interface")), 64);
        const QString udi = props.value(QStringLiteral("Udi")).toString();
        if (entry.deviceKind == kDeviceModem && isModemPath(udi)) readModel(run, index, udi);
    });
}

void NetworkManagerLinks::readAddress(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& path) {
    getAll(run, kService, path, kIp4Interface, [this, run, index](const QDBusMessage& reply) {
        auto& entry = run->entries[index];
        if (answered(reply))
            entry.link.address = firstAddress(propertyMap(reply).value(QStringLiteral("AddressData")));
        else if (const Entry* known = lastKnown(entry.link.nmPath))
            entry.link.address = known->link.address;
    });
}

void NetworkManagerLinks::readModel(const std::shared_ptr<Refresh>& run, std::size_t index, const QString& modemPath) {
    getAll(run, kModemService, modemPath, kModemInterface, [this, run, index](const QDBusMessage& reply) {
        auto& entry = run->entries[index];
        if (answered(reply))
            entry.model = text(propertyMap(reply).value(QStringLiteral("Model")), 64);
        else if (const Entry* known = lastKnown(entry.link.nmPath))
            entry.model = known->model;
    });
}

void NetworkManagerLinks::finish(const std::shared_ptr<Refresh>& run) {
    if (run->serial != serial_) return;
    if (!run->unanswered) {
        std::vector<ObservedLink> links;
        for (const auto& entry : run->entries) {
            ObservedLink link = entry.link;
            link.deviceType = deviceTypeOf(entry.deviceKind, entry.connectionType);
            std::string device = entry.control.empty() ? link.ifname : entry.control;
            if (device.rfind("tty", 0) == 0) device = "/dev/" + device;
            if (!entry.model.empty()) device += " (" + entry.model + ")";
            link.deviceName = cleanText(device, kMaxDeviceNameBytes);
            links.push_back(std::move(link));
        }
        last_ = run;
        setLinks(std::move(links));
    }
    ++refreshCount_;
    inFlight_ = false;
    if (again_) {
        again_ = false;
        start();
    }
}

} // namespace velmora
