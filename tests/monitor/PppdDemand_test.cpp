// A pppd in demand mode keeps its interface up with addresses from its start
// to its end; only a call that is really up may count as established.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "monitor/FakePppd.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/SafeText.h"

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

// Debian installs /etc/ppp/peers as 2750 root:dip and the peers files 0640:
// a user outside dip cannot read what a peer says, "demand" included. Root's
// demand pppd is followed through two calls by the scanner running as root,
// and as such a user; neither may count the idle link. Runs in a forked
// child; as the user its saved uid stays root, so that it can become root
// for the steps that play pppd. Exit status: 0, the step that failed, or 77.
constexpr unsigned kUser = 1000, kDip = 30;
constexpr int kCannotRun = 77;

int followAs(FakeMachine& machine, bool asUser) {
    if (asUser &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(kUser, kUser, 0) != 0 || ::setresuid(kUser, kUser, 0) != 0))
        return kCannotRun;
    const auto asRoot = [&](const std::function<void()>& step) {
        if (asUser && (::seteuid(0) != 0 || ::setegid(0) != 0)) ::_exit(kCannotRun);
        step();
        if (asUser && (::setegid(kUser) != 0 || ::seteuid(kUser) != 0)) ::_exit(kCannotRun);
    };
    if (asUser && readSmallFile(machine.tree.path("etc/ppp/peers/provider"), 4096)) return kCannotRun;
    auto reader = std::make_unique<FakeInterfaces>();
    auto& interfaces = *reader;
    LinuxConnectionSource source(std::move(reader), machine.paths(), nullptr, 1);
    const auto established = [&] {
        const auto list = source.list();
        return list.count == 1 && source.status(list.firstHandle).connected;
    };
    FakePppd pppd(machine, interfaces, 4712, "ppp0", "/dev/ttyS0");
    int step = 0;
    const auto expect = [&](bool up, const std::function<void()>& play) {
        ++step;
        asRoot(play);
        return established() == up;
    };
    const bool right = expect(false,
                              [&] {
                                  pppd.startDemand({"/usr/sbin/pppd", "call", "provider"});
                              }) &&
                       expect(false, [] {}) && // idle, seconds later
                       expect(false, [&] { pppd.dial(); }) && expect(false, [&] { pppd.connected(); }) &&
                       expect(true, [&] { pppd.ipUp("192.0.2.10"); }) && expect(false, [&] { pppd.idleHangUp(); }) &&
                       expect(false, [] {}) && expect(false, [&] { pppd.dial(); }) &&
                       expect(true,
                              [&] {
                                  pppd.connected();
                                  pppd.ipUp("192.0.2.11");
                              }) &&
                       expect(false, [&] { pppd.idleHangUp(); });
    return right ? 0 : step;
}

TEST(DemandOnDebian, AnIdleDemandLinkNeverChargesForRootOrAUserOutsideDip) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to lay out root's files and to play another user";
    for (bool asUser : {false, true}) {
        SCOPED_TRACE(asUser ? "as a user outside dip" : "as root");
        FakeMachine machine;
        machine.tree.write("etc/ppp/options", kSystemOptions);
        machine.tree.write("etc/ppp/peers/provider", kDemandPeer);
        namespace fs = std::filesystem;
        for (const auto& entry : fs::recursive_directory_iterator(machine.tree.path(""))) // others may look
            fs::permissions(entry.path(), entry.is_directory() ? fs::perms(0755) : fs::perms(0644));
        fs::permissions(machine.tree.path(""), fs::perms(0755));
        ASSERT_EQ(::chown(machine.tree.path("etc/ppp/peers").c_str(), 0, kDip), 0);
        ASSERT_EQ(::chown(machine.tree.path("etc/ppp/peers/provider").c_str(), 0, kDip), 0);
        ASSERT_EQ(::chmod(machine.tree.path("etc/ppp/peers").c_str(), 02750), 0);
        ASSERT_EQ(::chmod(machine.tree.path("etc/ppp/peers/provider").c_str(), 0640), 0);

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) ::_exit(followAs(machine, asUser));
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == kCannotRun) GTEST_SKIP() << "cannot play a user outside dip here";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "step " << WEXITSTATUS(status) << " saw the link wrongly";
    }
}

// Without pppd's database: demand said only in ~/.ppprc of pppd's real user.
TEST(DemandWithoutDatabase, DemandInTheUsersOwnOptionsFileCounts) {
    FakeMachine machine;
    machine.tree.write("etc/ppp/options", kSystemOptions);
    machine.tree.write("etc/ppp/peers/provider", "/dev/ttyS0\n115200\nnoipdefault\n");
    machine.tree.write("home/0/.ppprc", "demand\nidle 300\n");
    auto reader = std::make_unique<FakeInterfaces>();
    auto& interfaces = *reader;
    LinuxConnectionSource source(std::move(reader), machine.paths(), nullptr, 1);
    machine.process(4712, {"/usr/sbin/pppd", "call", "provider"});
    machine.tree.write("run/ppp0.pid", "4712\n");
    machine.pppInterface("ppp0");
    interfaces.states["ppp0"] = {true, true, "10.64.64.64", ""}; // the stand-in address
    const auto established = [&] {
        const auto list = source.list();
        return list.count == 1 && source.status(list.firstHandle).connected;
    };
    EXPECT_FALSE(established()) << "idle, waiting for traffic";
    machine.tree.write("run/lock/LCK..ttyS0", "      4712\n");
    interfaces.states["ppp0"] = {true, true, "192.0.2.10", ""};
    EXPECT_TRUE(established()) << "a call: the line is held and the peer's address came";
    machine.tree.remove("run/lock/LCK..ttyS0");
    EXPECT_FALSE(established()) << "hung up";
}

// An options file that cannot be read says nothing, "no demand" least of
// all: pppd's database decides, and the idle link does not count.
TEST(DemandWithUnreadableOptions, TheDatabaseDecides) {
    FakeMachine machine;
    machine.tree.write("etc/ppp/options", kSystemOptions);
    machine.tree.makeDir("etc/ppp/peers/provider"); // there, but not a file anyone can read
    auto reader = std::make_unique<FakeInterfaces>();
    auto& interfaces = *reader;
    LinuxConnectionSource source(std::move(reader), machine.paths(), nullptr, 1);
    FakePppd pppd(machine, interfaces, 4712, "ppp0", "/dev/ttyS0");
    pppd.startDemand({"/usr/sbin/pppd", "call", "provider"});
    const auto list = source.list();
    ASSERT_EQ(list.count, 1u);
    EXPECT_FALSE(source.status(list.firstHandle).connected);
    pppd.dial();
    pppd.connected();
    pppd.ipUp("192.0.2.10");
    EXPECT_TRUE(source.status(source.list().firstHandle).connected);
}

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

TEST(PppdOptionFiles, TheUsersFileComesAfterTheSystemsAndBeforeTheCommandLine) {
    TempTree tree;
    tree.write("etc/ppp/options", "lock\n");
    tree.write("home/.ppprc", "nolock\ndemand\n");
    const std::string home = tree.path("home/.ppprc");
    const auto o = pppdOptionsAsRead(std::string("pppd\0/dev/ttyS0\0", 16), tree.path("etc/ppp"), home);
    EXPECT_TRUE(o.demand);
    EXPECT_FALSE(o.lock) << "the user's file comes after the system's";
    EXPECT_FALSE(o.unreadable);
    EXPECT_TRUE(pppdOptionsAsRead(std::string("pppd\0lock\0", 10), tree.path("etc/ppp"), home).lock)
        << "the command line comes last";
    EXPECT_FALSE(pppdOptionsAsRead({}, tree.path("etc/ppp"), tree.path("nobody/.ppprc")).unreadable)
        << "a file that is not there is empty";
    tree.makeDir("etc/ppp/peers/secret");
    EXPECT_TRUE(pppdOptionsAsRead(std::string("pppd\0call\0secret\0", 17), tree.path("etc/ppp"), {}).unreadable)
        << "one that is there but cannot be read is unknown";
}

TEST(PppdOptionFiles, VpnPluginsAndClientsAreTold) {
    PppdOptions o;
    for (const char* plugin : {"pptp.so", "pppol2tp.so", "sstp-pppd-plugin.so",
                               "/usr/lib/pppd/2.4.9/nm-l2tp-pppd-plugin.so", "nm-fortisslvpn-pppd-plugin.so"}) {
        o.plugin = std::string(plugin) + " ";
        EXPECT_TRUE(carriesVpn(o)) << plugin;
    }
    for (const char* plugin : {"rp-pppoe.so", "nm-pppd-plugin.so", "pppoatm.so", "capiplugin.so"}) {
        o.plugin = std::string(plugin) + " ";
        EXPECT_FALSE(carriesVpn(o)) << plugin;
    }
    o.plugin.clear();
    o.pty = "/usr/sbin/pptp vpn.example.org --nolaunchpppd";
    EXPECT_TRUE(carriesVpn(o));
    o.pty = "pppoe -I eth0 -T 80";
    EXPECT_FALSE(carriesVpn(o)) << "a DSL line";
    for (const char* comm : {"xl2tpd", "openfortivpn", "sstpc", "nm-pptp-service", "nm-fortisslvpn-"})
        EXPECT_TRUE(isVpnClient(comm)) << comm;
    for (const char* comm : {"NetworkManager", "pon", "systemd", "bash", "nm-dispatcher"})
        EXPECT_FALSE(isVpnClient(comm)) << comm;
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
