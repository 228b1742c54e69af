#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"

namespace velmora::test {
namespace {

class PppdLinks : public testing::Test {
protected:
    FakeMachine machine;
    FakeInterfaces* interfaces = nullptr;
    std::unique_ptr<LinuxConnectionSource> source;

    void SetUp() override {
        auto reader = std::make_unique<FakeInterfaces>();
        interfaces = reader.get();
        source = std::make_unique<LinuxConnectionSource>(std::move(reader), machine.paths(), nullptr, 1);
    }
    // Up with an address; a PPP interface unless sysfs says otherwise already.
    void up(const std::string& ifname, const std::string& address = "10.64.0.9") {
        if (!std::filesystem::exists(machine.tree.path("sys/class/net/" + ifname + "/type")))
            machine.pppInterface(ifname);
        interfaces->states[ifname] = {true, true, address, ""};
    }
    void linkFile(const std::string& linkName, int pid, const std::string& ifname, const std::string& dir = "run") {
        machine.tree.write(dir + "/ppp-" + linkName + ".pid",
                           std::to_string(pid) + "\n" + ifname + (ifname.empty() ? "" : "\n"));
    }
    void interfaceFile(const std::string& ifname, int pid, const std::string& dir = "run/pppd") {
        machine.tree.write(dir + "/" + ifname + ".pid", std::to_string(pid) + "\n");
    }
    struct Seen {
        ConnectionList list;
        ConnectionStatus status;
        std::string address;
    };
    Seen probe() {
        Seen seen;
        seen.list = source->list();
        seen.status = source->status(seen.list.firstHandle);
        seen.address = source->projectionAddress(seen.list.firstHandle);
        return seen;
    }
};

TEST_F(PppdLinks, NothingRunningListsNothing) {
    machine.process(100, {"/usr/sbin/sshd", "-D"}, 5, 1, "sshd");
    machine.tree.write("run/sshd.pid", "100\n");
    const auto seen = probe();
    EXPECT_EQ(seen.list.count, 0u);
    EXPECT_EQ(seen.list.firstHandle, 0u);
    EXPECT_FALSE(seen.status.connected);
}

TEST_F(PppdLinks, PppdWithoutInterfaceIsDialling) {
    machine.process(4711, {"/usr/sbin/pppd", "call", "provider", "/dev/ttyS0", "115200"});
    const auto seen = probe();
    ASSERT_EQ(seen.list.count, 1u);
    EXPECT_NE(seen.list.firstHandle, 0u);
    EXPECT_EQ(seen.list.firstEntryName, "provider");
    EXPECT_FALSE(seen.status.connected);
    EXPECT_EQ(seen.status.deviceType, "modem");
    EXPECT_EQ(seen.status.deviceName, "/dev/ttyS0");
}

TEST_F(PppdLinks, EstablishedNeedsUpRunningAndAnAddress) {
    machine.process(4711, {"pppd", "call", "provider"});
    linkFile("arcor", 4711, "ppp0");
    machine.pppInterface("ppp0");

    interfaces->states["ppp0"] = {true, true, "", ""};
    EXPECT_FALSE(probe().status.connected) << "up without address";
    interfaces->states["ppp0"] = {true, false, "10.1.2.3", ""};
    EXPECT_FALSE(probe().status.connected) << "not running";
    interfaces->states["ppp0"] = {false, false, "10.1.2.3", ""};
    EXPECT_FALSE(probe().status.connected) << "down";

    up("ppp0", "10.1.2.3");
    const auto seen = probe();
    EXPECT_EQ(seen.list.count, 1u);
    EXPECT_TRUE(seen.status.connected);
    EXPECT_EQ(seen.address, "10.1.2.3");
    EXPECT_EQ(seen.list.firstEntryName, "arcor");
}

TEST_F(PppdLinks, EntryNameComesFromLinkNameThenCallPeerThenInterface) {
    machine.process(10, {"pppd", "call", "peer-a", "linkname", "ignored?"});
    linkFile("from-file", 10, "ppp0", "run/pppd");
    machine.process(20, {"pppd", "call", "peer-b"}, 2000);
    interfaceFile("ppp1", 20, "run");
    machine.process(30, {"pppd", "/dev/ttyS1"}, 3000);
    interfaceFile("ppp2", 30);
    for (const char* ifname : {"ppp0", "ppp1", "ppp2"}) up(ifname);

    source->list();
    std::vector<std::string> names;
    for (const auto& listed : source->snapshot()) names.push_back(listed.link.entryName);
    EXPECT_EQ(names, (std::vector<std::string>{"from-file", "peer-b", "ppp2"}));
}

TEST_F(PppdLinks, DeviceNameCarriesTheModemsProductFromSysfs) {
    // ttyUSB ports sit two levels below the USB device that names the product.
    machine.tree.write("sys/devices/usb1/1-1/product", "Huawei Mobile\n");
    machine.tree.makeDir("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0");
    machine.tree.symlink(machine.tree.path("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0"), "sys/class/tty/ttyUSB0/device");
    machine.process(50, {"pppd", "ttyUSB0", "460800", "call", "mobil"});
    EXPECT_EQ(probe().status.deviceName, "/dev/ttyUSB0 (Huawei Mobile)");
}

TEST_F(PppdLinks, KernelPppInterfaceWithoutKnownPppdIsListedByItsName) {
    machine.pppInterface("ippp0");
    machine.tree.write("sys/class/net/eth0/type", "1\n");
    up("ippp0");
    up("eth0");
    const auto seen = probe();
    ASSERT_EQ(seen.list.count, 1u);
    EXPECT_EQ(seen.list.firstEntryName, "ippp0");
    EXPECT_EQ(seen.status.deviceType, "isdn");
    EXPECT_TRUE(seen.status.connected);
}

TEST_F(PppdLinks, PppdFoundOnlyInProcIsPairedWithTheOnePppInterface) {
    // A pppd whose run directory is elsewhere: its interface must not show up
    // as a second link that would push the established one off first place.
    machine.process(60, {"pppd", "call", "isp"});
    machine.pppInterface("ppp0");
    up("ppp0");
    const auto seen = probe();
    ASSERT_EQ(seen.list.count, 1u);
    EXPECT_EQ(seen.list.firstEntryName, "isp");
    EXPECT_TRUE(seen.status.connected);
}

TEST_F(PppdLinks, EstablishedLinksComeFirstTheOneUpLongestFirst) {
    machine.process(70, {"pppd", "call", "redial"}, 100);
    linkFile("redial", 70, "");
    const auto dialling = probe();
    EXPECT_EQ(dialling.list.firstEntryName, "redial");
    EXPECT_FALSE(dialling.status.connected);

    // A younger pppd comes up while the first one still dials: the link that is up is shown.
    machine.process(80, {"pppd", "call", "second"}, 9000);
    linkFile("second", 80, "ppp1");
    up("ppp1");
    const auto secondUp = probe();
    EXPECT_EQ(secondUp.list.count, 2u);
    EXPECT_EQ(secondUp.list.firstEntryName, "second");
    EXPECT_TRUE(secondUp.status.connected);
    EXPECT_EQ(source->snapshot().at(1).handle, dialling.list.firstHandle) << "the dialling link keeps its handle";

    // The older pppd comes up later: the one up longest stays first.
    linkFile("redial", 70, "ppp0");
    up("ppp0");
    const auto bothUp = probe();
    EXPECT_EQ(bothUp.list.firstHandle, secondUp.list.firstHandle);
    EXPECT_TRUE(source->status(dialling.list.firstHandle).connected);

    machine.tree.remove("proc/80"); // pppd ends, its interface goes
    machine.tree.remove("sys/class/net/ppp1");
    interfaces->states.erase("ppp1");
    const auto afterDrop = probe();
    EXPECT_EQ(afterDrop.list.count, 1u);
    EXPECT_EQ(afterDrop.list.firstHandle, dialling.list.firstHandle) << "dialling and up are one link";
    EXPECT_FALSE(source->status(secondUp.list.firstHandle).connected) << "a gone link's handle answers nothing";
    EXPECT_EQ(source->projectionAddress(secondUp.list.firstHandle), "");
    EXPECT_FALSE(source->status(0).connected);
    EXPECT_FALSE(source->status(987654).connected);
}

TEST_F(PppdLinks, LinksUpAtTheSamePollPutTheOlderPppdFirst) {
    machine.process(90, {"pppd", "call", "aaa-young"}, 5000);
    machine.process(91, {"pppd", "call", "zzz-old"}, 10);
    linkFile("aaa-young", 90, "ppp0");
    linkFile("zzz-old", 91, "ppp1");
    up("ppp0");
    up("ppp1");
    EXPECT_EQ(probe().list.firstEntryName, "zzz-old");
}

TEST_F(PppdLinks, LinksFirstSeenTogetherPutTheOlderPppdFirst) {
    machine.process(90, {"pppd", "call", "aaa-young"}, 5000);
    machine.process(91, {"pppd", "call", "zzz-old"}, 10);
    EXPECT_EQ(probe().list.firstEntryName, "zzz-old");
}

TEST_F(PppdLinks, StalePidFilesAndOtherProcessesAreIgnored) {
    linkFile("gone", 4242, "ppp0"); // no such process
    machine.process(4343, {"bash"}, 10, 1, "bash");
    linkFile("reused", 4343, "ppp1"); // pid reused by another program
    machine.process(4444, {"pppd", "call", "x"}, 50);
    machine.process(4445, {"pppd", "call", "x"}, 51, 4444); // pppd's child before it runs its script
    EXPECT_EQ(probe().list.count, 1u);
}

TEST_F(PppdLinks, HostileFilesNeitherHangNorLeakGarbage) {
    machine.process(500, {"pppd", "/dev/ttyS0"});
    machine.tree.write("run/ppp-bad\x1b[2J\xc3(name" + std::string(200, 'x') + ".pid", "500\n../../etc\n");
    machine.process(501, {"pppd", "call", std::string(5000, 'n') + "\x01\xff", std::string(9000, '/')});
    machine.tree.write("run/ppp-huge.pid", std::string(10 << 20, '7'));
    ASSERT_EQ(::mkfifo(machine.tree.path("run/ppp-fifo.pid").c_str(), 0600), 0);
    machine.tree.write("elsewhere.pid", "500\nppp0\n");
    machine.tree.symlink(machine.tree.path("elsewhere.pid"), "run/pppd/ppp-sneaky.pid");
    machine.tree.write("run/ppp-neg.pid", "-500\n");
    machine.tree.write("run/ppp-bin.pid", std::string("\0\x01\x02garbage", 10));
    machine.tree.write("proc/502/stat", std::string(20000, '('));
    machine.tree.write("proc/503/stat", "503 (pppd) S\n");
    machine.tree.write("proc/504/stat", std::string("\xff\0\x01 (pppd) ", 11) + std::string(3000, '9'));
    machine.tree.write("run/ppp-x.pid", "502\n");
    machine.tree.write("run/ppp-y.pid", "503\n");
    machine.process(505, {"pppd", "call", "echt"});
    interfaceFile("ppp0", 505);
    up("ppp0");

    const auto seen = probe();
    ASSERT_EQ(seen.list.count, 3u) << "pppds 500 and 501 dialling, 505 on ppp0";
    for (const auto& listed : source->snapshot()) {
        const auto& name = listed.link.entryName;
        EXPECT_LE(name.size(), 256u);
        for (unsigned char c : name) EXPECT_GE(c, 0x20);
        EXPECT_LE(listed.link.deviceName.size(), 128u);
        if (listed.link.pid != 505) {
            EXPECT_EQ(listed.link.ifname, "") << "the symlinked pid file must not claim ppp0";
        }
        if (listed.link.pid == 500) {
            EXPECT_EQ(name.substr(0, 12), "bad[2J(namex");
        }
        if (listed.link.pid == 501) {
            EXPECT_EQ(name, std::string(256, 'n'));
        }
    }
}

TEST_F(PppdLinks, AnotherUsersPppdIsIgnoredButAnyPppInterfaceCounts) {
    machine.process(800, {"pppd", "call", "fake"}, 50, 1, "pppd", 4242); // older, dialling, someone else's
    machine.tree.write("run/ppp-fake.pid", "800\n");
    machine.process(801, {"pppd", "call", "echt"}, 60);
    linkFile("echt", 801, "ppp0");
    up("ppp0");
    machine.pppInterface("ppp3"); // made by someone else's pppd: an interface is a link whoever made it
    up("ppp3");
    source->list();
    std::vector<std::string> names;
    for (const auto& listed : source->snapshot()) names.push_back(listed.link.entryName);
    EXPECT_EQ(names, (std::vector<std::string>{"echt", "ppp3"}));
}

TEST_F(PppdLinks, AnIpv6OnlyLinkIsEstablishedAndShowsItsAddress) {
    machine.process(40, {"pppd", "call", "v6"});
    linkFile("v6", 40, "ppp0");
    machine.pppInterface("ppp0");
    interfaces->states["ppp0"] = {true, true, "", "2001:db8::40"};
    auto seen = probe();
    EXPECT_TRUE(seen.status.connected);
    EXPECT_EQ(seen.address, "2001:db8::40");
    interfaces->states["ppp0"] = {true, true, "10.0.0.40", "2001:db8::40"};
    EXPECT_EQ(probe().address, "10.0.0.40") << "IPv4 first";
}

TEST_F(PppdLinks, WithoutNewsTheProcessWalkWaitsForItsInterval) {
    LinuxConnectionSource sparse(std::make_unique<FakeInterfaces>(), machine.paths(), nullptr, 3);
    EXPECT_EQ(sparse.list().count, 0u); // the first poll always looks
    machine.process(600, {"pppd", "call", "slow"});
    EXPECT_EQ(sparse.list().count, 0u);
    EXPECT_EQ(sparse.list().count, 0u);
    EXPECT_EQ(sparse.list().count, 1u) << "third poll after the last look";
    EXPECT_EQ(sparse.rescanCount(), 2u);
}

TEST_F(PppdLinks, APidFileWrittenOrRemovedBringsALookAtOnce) {
    LinuxConnectionSource onNews(std::make_unique<FakeInterfaces>(), machine.paths(), nullptr, 0);
    EXPECT_EQ(onNews.list().count, 0u);
    machine.process(700, {"pppd", "call", "quick"});
    machine.tree.write("run/unrelated.state", "x");
    EXPECT_EQ(onNews.list().count, 0u) << "nothing that concerns pppd changed, nothing looked at";
    const auto looks = onNews.rescanCount();
    machine.tree.write("run/ppp-quick.pid", "700\n");
    EXPECT_EQ(onNews.list().firstEntryName, "quick");
    EXPECT_EQ(onNews.rescanCount(), looks + 1);
    EXPECT_EQ(onNews.list().count, 1u);
    EXPECT_EQ(onNews.rescanCount(), looks + 1) << "no news, no look";
    machine.tree.remove("proc/700");
    machine.tree.remove("run/ppp-quick.pid");
    EXPECT_EQ(onNews.list().count, 0u);
}

} // namespace
} // namespace velmora::test
