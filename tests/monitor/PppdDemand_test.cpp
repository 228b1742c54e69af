// A pppd in demand mode keeps its interface up with addresses from its start
// to its end; only a call that is really up may count as established.
#include <gtest/gtest.h>

#include "monitor/FakePppd.h"
#include "monitor/LinuxConnectionSource.h"

namespace velmora::test {
namespace {

// Debian's defaults and a peer set up for dialling on demand, as pon starts it.
constexpr const char* kSystemOptions = "asyncmap 0\nauth\ncrtscts\nlock\nhide-password\nmodem\n"
                                       "lcp-echo-interval 30\nlcp-echo-failure 4\nnoipx\n";
constexpr const char* kDemandPeer = "# dial when traffic wants out\nnoauth\n"
                                    "connect \"/usr/sbin/chat -v -f /etc/chatscripts/provider\"\n"
                                    "/dev/ttyS0\n115200\ndefaultroute\ndemand\nidle 600\nuser \"kunde\"\n";

class DemandMode : public testing::TestWithParam<unsigned> {
protected:
    FakeMachine machine;
    FakeInterfaces* interfaces = nullptr;
    std::unique_ptr<LinuxConnectionSource> source;

    void SetUp() override {
        machine.tree.write("etc/ppp/options", kSystemOptions);
        machine.tree.write("etc/ppp/peers/provider", kDemandPeer);
        auto reader = std::make_unique<FakeInterfaces>();
        interfaces = reader.get();
        // Every poll looks again, or only on news (and while a call is under way).
        source = std::make_unique<LinuxConnectionSource>(std::move(reader), machine.paths(), nullptr, GetParam());
    }
    void followCalls(FakePppd& pppd);
    bool established() {
        const auto list = source->list();
        return list.count == 1 && source->status(list.firstHandle).connected;
    }
};

TEST_P(DemandMode, CountsOnlyWhileACallIsUpAndAgainAfterTheIdleHangUp) {
    for (bool childrenList : {false, true}) {
        SCOPED_TRACE(childrenList ? "the kernel lists children" : "children found by their parent");
        machine.tree.remove("run/pppd2.tdb");
        FakePppd pppd(machine, *interfaces, 4712, "ppp0", "/dev/ttyS0");
        pppd.childrenList = childrenList;
        followCalls(pppd);
    }
}

void DemandMode::followCalls(FakePppd& pppd) {
    pppd.startDemand({"/usr/sbin/pppd", "call", "provider"});
    EXPECT_FALSE(established()) << "waiting for traffic with stand-in addresses";
    pppd.dial();
    EXPECT_FALSE(established()) << "chat is dialling";
    pppd.connected();
    EXPECT_FALSE(established()) << "negotiating";
    pppd.ipUp("192.0.2.10");
    EXPECT_TRUE(established());
    EXPECT_EQ(source->projectionAddress(source->list().firstHandle), "192.0.2.10");
    EXPECT_TRUE(established()) << "stays up";
    pppd.idleHangUp();
    EXPECT_FALSE(established()) << "hung up after idling, interface and address unchanged";

    pppd.dial();
    EXPECT_FALSE(established()) << "the next call is dialled while the last call's IPLOCAL is still set";
    pppd.connected();
    pppd.ipUp("192.0.2.10");
    EXPECT_TRUE(established());
    pppd.idleHangUp();
    EXPECT_FALSE(established());
}

TEST_P(DemandMode, ADemandLinkIsADiallingLinkBehindOneThatIsUp) {
    FakePppd idle(machine, *interfaces, 4712, "ppp0", "/dev/ttyS0");
    idle.startDemand({"/usr/sbin/pppd", "call", "provider"});
    machine.process(5000, {"/usr/sbin/pppd", "call", "other", "/dev/ttyS1"}, 9000);
    machine.tree.write("run/ppp-other.pid", "5000\nppp1\n");
    machine.pppInterface("ppp1");
    interfaces->states["ppp1"] = {true, true, "198.51.100.4", ""};
    const auto list = source->list();
    EXPECT_EQ(list.count, 2u);
    EXPECT_EQ(list.firstEntryName, "other");
    EXPECT_TRUE(source->status(list.firstHandle).connected);
}

TEST_P(DemandMode, DemandOnTheCommandLineCountsToo) {
    machine.tree.write("etc/ppp/peers/provider", "/dev/ttyS0\nconnect \"chat -f /etc/chatscripts/provider\"\n");
    FakePppd pppd(machine, *interfaces, 4712, "ppp0", "/dev/ttyS0");
    pppd.startDemand({"/usr/sbin/pppd", "call", "provider", "demand", "idle", "120"});
    EXPECT_FALSE(established());
}

INSTANTIATE_TEST_SUITE_P(Polls, DemandMode, testing::Values(1u, 0u), [](const auto& info) {
    return info.param == 1 ? std::string("LookingEveryPoll") : std::string("LookingOnNews");
});

TEST(PppdOptionFiles, AreReadAsPppdReadsThem) {
    TempTree tree;
    tree.write("etc/ppp/options", "lock\nmodem # modem lines\n");
    tree.write("etc/ppp/peers/kabel", "/dev/ttyS1 38400\nlocal\n'linkname' \"Null Modem\"\nfile /nonexistent\n");
    tree.write("etc/ppp/options.ttyS1", "nolock\n");
    tree.write("etc/ppp/peers/loop", "call loop\n");
    const std::string cmdline = std::string("pppd\0call\0kabel\0", 16);
    const auto o = effectivePppdOptions(cmdline, tree.path("etc/ppp"));
    EXPECT_EQ(o.tty, "/dev/ttyS1");
    EXPECT_TRUE(o.local) << "the peer's local comes after the system's modem";
    EXPECT_FALSE(o.lock) << "the port's own file comes last";
    EXPECT_EQ(o.linkName, "Null Modem");
    EXPECT_EQ(pppDeviceType(o, ""), "null");
    EXPECT_FALSE(effectivePppdOptions(std::string("pppd\0call\0loop\0", 15), tree.path("etc/ppp")).demand)
        << "a file naming itself ends";
    tree.write("etc/ppp/elsewhere", "demand\n");
    EXPECT_FALSE(effectivePppdOptions(std::string("pppd\0call\0../elsewhere\0", 23), tree.path("etc/ppp")).demand)
        << "a peer name is no path";
    EXPECT_EQ(optionFileWords("a \"b c\" 'd#e' f\\ g # h\ni"),
              (std::vector<std::string>{"a", "b c", "d#e", "f g", "i"}));
}

TEST(PppdOptionFiles, NullModemNeedsLocalAndNoConnectScript) {
    PppdOptions o;
    o.tty = "/dev/ttyS0";
    o.local = true;
    EXPECT_EQ(pppDeviceType(o, ""), "null");
    o.connect = "chat -f dial";
    EXPECT_EQ(pppDeviceType(o, ""), "modem") << "local with a script that dials is a modem";
    o.connect.clear();
    o.local = false;
    EXPECT_EQ(pppDeviceType(o, ""), "modem");
    o.local = true;
    o.tty = "/dev/ttyI0";
    EXPECT_EQ(pppDeviceType(o, ""), "isdn");
}

} // namespace
} // namespace velmora::test
