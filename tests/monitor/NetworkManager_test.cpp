// NetworkManager's origin against a mock NetworkManager on a private bus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <signal.h>

#include <functional>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/NetworkManagerLinks.h"

namespace velmora::test {
namespace {

// Drives the mock: "add" sets up a modem and a wired link, "activate" gives the
// dial-up connection its address, "remove" ends it.
constexpr const char* kDriver = R"PY(
import sys, dbus
bus = dbus.SessionBus()
NM = 'org.freedesktop.NetworkManager'
MOCK = 'org.freedesktop.DBus.Mock'
ACTIVE = NM + '.Connection.Active'
mock = dbus.Interface(bus.get_object(NM, '/org/freedesktop/NetworkManager'), MOCK)
modem = '/org/freedesktop/NetworkManager/Devices/modem0'
step = sys.argv[1]
if step == 'add':
    mock.AddObject(modem, NM + '.Device', {
        'DeviceType': dbus.UInt32(8), 'IpInterface': 'ppp0', 'Interface': 'ttyUSB0',
        'Udi': '/org/freedesktop/ModemManager1/Modem/0', 'State': dbus.UInt32(40),
        'StateReason': (dbus.UInt32(40), dbus.UInt32(0)), 'ActiveConnection': dbus.ObjectPath('/')}, [])
    eth = mock.AddEthernetDevice('eth0', 'eth0', 100)
    settings = dbus.Interface(bus.get_object(NM, '/org/freedesktop/NetworkManager/Settings'), NM + '.Settings')
    gsm = settings.AddConnection({'connection': {'id': 'Mobilfunk Vertrag', 'type': 'gsm'}})
    wired = settings.AddConnection({'connection': {'id': 'Kabel', 'type': '802-3-ethernet'}})
    mock.AddActiveConnection([eth], wired, '/', 'wired0', dbus.UInt32(2))
    print(mock.AddActiveConnection([modem], gsm, '/', 'gsm0', dbus.UInt32(1)))
elif step == 'activate':
    ac = sys.argv[2]
    ip4 = '/org/freedesktop/NetworkManager/IP4Config/7'
    mock.AddObject(ip4, NM + '.IP4Config', {'AddressData': dbus.Array(
        [dbus.Dictionary({'address': '192.0.2.44', 'prefix': dbus.UInt32(32)}, signature='sv')],
        signature='a{sv}')}, [])
    dbus.Interface(bus.get_object(NM, ac), MOCK).AddProperty(ACTIVE, 'Ip4Config', dbus.ObjectPath(ip4))
    dbus.Interface(bus.get_object(NM, ac), 'org.freedesktop.DBus.Properties').Set(ACTIVE, 'State', dbus.UInt32(2))
elif step == 'remove':
    mock.RemoveActiveConnection(modem, sys.argv[2])
)PY";

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "monitor_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QString pythonWithDbusmock() {
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(python, {QStringLiteral("-c"), QStringLiteral("import dbusmock, dbus")});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return python;
    }
    return {};
}

class NetworkManagerMock : public testing::Test {
protected:
    QProcess bus;
    QProcess mock;
    QString python;
    QString address;
    TempTree tree;

    void SetUp() override {
        application();
        python = pythonWithDbusmock();
        if (python.isEmpty()) GTEST_SKIP() << "python3-dbusmock is not installed";
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(bus.waitForReadyRead(10000)) << "dbus-daemon did not start";
        address = QString::fromUtf8(bus.readLine()).trimmed();
        mock.setProcessEnvironment(environment());
        mock.start(python, {"-m", "dbusmock", "--session", "--template", "networkmanager"});
        auto connection = QDBusConnection::connectToBus(address, QStringLiteral("velmora-probe"));
        ASSERT_TRUE(waitFor(
            [&] {
                return connection.interface()
                    ->isServiceRegistered(QStringLiteral("org.freedesktop.NetworkManager"))
                    .value();
            },
            15000))
            << "the mock did not come up";
        QDBusConnection::disconnectFromBus(QStringLiteral("velmora-probe"));
        tree.write("driver.py", kDriver);
    }
    void TearDown() override {
        for (QProcess* process : {&mock, &bus}) {
            process->kill();
            process->waitForFinished(5000);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("velmora-test"));
    }
    QProcessEnvironment environment() const {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        return env;
    }
    QString drive(const QStringList& args) {
        QProcess driver;
        driver.setProcessEnvironment(environment());
        driver.start(python, QStringList{QString::fromStdString(tree.path("driver.py"))} + args);
        const bool finished = driver.waitForFinished(15000);
        EXPECT_TRUE(finished && driver.exitCode() == 0) << driver.readAllStandardError().toStdString();
        return QString::fromUtf8(driver.readAllStandardOutput()).trimmed();
    }
    std::unique_ptr<NetworkManagerLinks> watch(NetworkManagerTiming timing = {}) {
        return std::make_unique<NetworkManagerLinks>(
            QDBusConnection::connectToBus(address, QStringLiteral("velmora-test")), nullptr, timing);
    }
    // Lets the event loop run for a while.
    static void spend(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

TEST_F(NetworkManagerMock, FollowsADialUpConnectionThroughItsStates) {
    auto links = watch();
    ASSERT_TRUE(waitFor([&] { return links->refreshCount() >= 1; }));
    EXPECT_TRUE(links->links().empty());

    const QString active = drive({"add"});
    ASSERT_TRUE(waitFor([&] { return links->links().size() == 1; })) << "the wired connection is not dial-up";
    const ObservedLink activating = links->links().front();
    EXPECT_EQ(activating.entryName, "Mobilfunk Vertrag");
    EXPECT_FALSE(activating.established);
    EXPECT_EQ(activating.ifname, "ppp0");
    EXPECT_EQ(activating.deviceType, "modem");
    EXPECT_EQ(activating.deviceName, "/dev/ttyUSB0");
    EXPECT_EQ(activating.nmPath, active.toStdString());

    drive({"activate", active});
    ASSERT_TRUE(waitFor([&] { return !links->links().empty() && links->links().front().established; }));
    EXPECT_EQ(links->links().front().address, "192.0.2.44");

    drive({"remove", active});
    EXPECT_TRUE(waitFor([&] { return links->links().empty(); }));
}

TEST_F(NetworkManagerMock, ALinkBothOriginsReportIsListedOnce) {
    FakeMachine machine;
    machine.process(77, {"pppd", "plugin", "nm-pppd-plugin.so", "/dev/ttyUSB0"});
    machine.tree.write("run/pppd/ppp-nm-ppp0.pid", "77\nppp0\n");
    machine.pppInterface("ppp0");
    auto reader = std::make_unique<FakeInterfaces>();
    reader->states["ppp0"] = {true, true, "10.20.30.40", ""};
    auto links = watch();
    auto* manager = links.get();
    LinuxConnectionSource source(std::move(reader), machine.paths(), std::move(links), 1);

    drive({"add"});
    ASSERT_TRUE(waitFor([&] { return manager->links().size() == 1; }));
    const auto list = source.list();
    EXPECT_EQ(list.count, 1u);
    EXPECT_EQ(list.firstEntryName, "Mobilfunk Vertrag");
    EXPECT_TRUE(source.status(list.firstHandle).connected) << "the interface is up, whatever NetworkManager says";
    EXPECT_EQ(source.projectionAddress(list.firstHandle), "10.20.30.40");
}

// A link only NetworkManager knows is counted on its IP interface (ppp0), not
// on the port it dials through; the figure outlives the connection.
TEST_F(NetworkManagerMock, ALinkCountsTheBytesOfItsIpInterface) {
    auto reader = std::make_unique<FakeInterfaces>();
    reader->states["ppp0"] = {true, true, "192.0.2.44", ""};
    reader->states["ttyUSB0"] = {true, true, "", ""};
    reader->carried["ppp0"] = {6'000'000'000, 70'000};
    reader->carried["ttyUSB0"] = {1, 1};
    auto* interfaces = reader.get();
    auto links = watch();
    auto* manager = links.get();
    FakeMachine machine;
    LinuxConnectionSource source(std::move(reader), machine.paths(), std::move(links), 1);

    const QString active = drive({"add"});
    drive({"activate", active});
    ASSERT_TRUE(waitFor([&] { return manager->links().size() == 1 && manager->links().front().established; }));
    const auto handle = source.list().firstHandle;
    EXPECT_EQ(source.counters(handle), (ByteCounters{6'000'000'000, 70'000})) << "beyond 32 bits, from ppp0";
    interfaces->carried["ppp0"] = {6'000'500'000, 90'000};
    source.list();
    EXPECT_EQ(source.counters(handle), (ByteCounters{6'000'500'000, 90'000}));

    drive({"remove", active});
    ASSERT_TRUE(waitFor([&] { return source.list().count == 0; }));
    EXPECT_EQ(source.counters(handle), (ByteCounters{6'000'500'000, 90'000})) << "the last known figure";
}

TEST_F(NetworkManagerMock, ForgetsEverythingWhenNetworkManagerLeaves) {
    auto links = watch();
    drive({"add"});
    ASSERT_TRUE(waitFor([&] { return links->links().size() == 1; }));
    mock.kill();
    mock.waitForFinished(5000);
    EXPECT_TRUE(waitFor([&] { return links->links().empty(); }));
}

// NetworkManager stops answering for a while (stopped, as a process swapped
// out or busy would be): every question times out, several refreshes in a
// row. The connection is neither ended nor started anew, and the refresh
// keeps running and sees the connection end once it answers again.
TEST_F(NetworkManagerMock, ASlowBusNeitherEndsNorRestartsAConnection) {
    auto links = watch({300, 400});
    auto* manager = links.get();
    const QString active = drive({"add"});
    drive({"activate", active});
    ASSERT_TRUE(waitFor([&] { return manager->links().size() == 1 && manager->links().front().established; }));
    FakeMachine machine;
    LinuxConnectionSource source(std::make_unique<FakeInterfaces>(), machine.paths(), std::move(links), 1);
    const auto before = source.list();
    ASSERT_TRUE(source.status(before.firstHandle).connected);

    ASSERT_EQ(::kill(static_cast<pid_t>(mock.processId()), SIGSTOP), 0);
    const auto refreshes = manager->refreshCount();
    manager->refresh();
    for (int second = 0; second < 4; ++second) {
        spend(500);
        const auto during = source.list();
        EXPECT_EQ(during.firstHandle, before.firstHandle) << "after " << (second + 1) * 500 << " ms";
        EXPECT_TRUE(source.status(during.firstHandle).connected);
    }
    EXPECT_GE(manager->refreshCount(), refreshes + 2) << "refreshes went on, each timing out";
    EXPECT_TRUE(manager->refreshingPeriodically());
    ASSERT_EQ(::kill(static_cast<pid_t>(mock.processId()), SIGCONT), 0);

    drive({"remove", active});
    EXPECT_TRUE(waitFor([&] { return source.list().count == 0; }));
}

TEST(NetworkManagerLinksWithoutBus, StayEmpty) {
    application();
    NetworkManagerLinks links(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("velmora-nowhere")));
    links.refresh();
    QCoreApplication::processEvents();
    EXPECT_TRUE(links.links().empty());
}

} // namespace
} // namespace velmora::test
