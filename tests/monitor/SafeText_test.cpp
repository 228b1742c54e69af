#include <gtest/gtest.h>

#include <sys/stat.h>

#include "monitor/FakeSystem.h"
#include "monitor/PppdCommandLine.h"
#include "monitor/SafeText.h"

namespace velmora::test {
namespace {

TEST(CleanText, DropsControlsAndInvalidUtf8) {
    EXPECT_EQ(cleanText("Ein\tname\n\x1b[31m", 100), "Einname[31m");
    EXPECT_EQ(cleanText("a\xc2\x85"
                        "b\x7f",
                        100),
              "ab");                                                             // C1 NEL and DEL
    EXPECT_EQ(cleanText("\xc0\x80x\xed\xa0\x80y\xf5\x80\x80\x80z", 100), "xyz"); // overlong, surrogate, > U+10FFFF
    EXPECT_EQ(cleanText("Gr\xc3\xbc\xc3\x9f"
                        "e \xe2\x82\xac",
                        100),
              "Grüße €");
    EXPECT_EQ(cleanText("\xe2\x82", 100), ""); // cut-off sequence
}

TEST(CleanText, CutsOnCharacterBoundaries) {
    EXPECT_EQ(cleanText("abc", 2), "ab");
    EXPECT_EQ(cleanText("a\xe2\x82\xac", 3), "a") << "the euro sign does not fit whole";
    EXPECT_EQ(cleanText(std::string(1000, 'x'), 256).size(), 256u);
}

TEST(ParsePid, AcceptsOnlyPlainPositiveNumbersWithinTheKernelLimit) {
    EXPECT_EQ(parsePid("4711\n"), 4711);
    EXPECT_EQ(parsePid("  12 "), 12);
    for (const char* bad : {"", "0", "-5", "12ab", "1 2", "4194305", "99999999999", "+3", "0x10"})
        EXPECT_FALSE(parsePid(bad)) << bad;
}

TEST(InterfaceName, RefusesPathsAndBlanks) {
    EXPECT_TRUE(isInterfaceName("ppp0"));
    EXPECT_TRUE(isInterfaceName("wwan0-x"));
    for (const char* bad : {"", ".", "..", "../etc", "a/b", "ppp 0", "ppp0:1", "abcdefghijklmnop"})
        EXPECT_FALSE(isInterfaceName(bad)) << bad;
}

TEST(ReadSmallFile, ReadsAtMostTheLimitAndOnlyRegularFiles) {
    TempTree tree;
    tree.write("big", std::string(100000, 'a'));
    EXPECT_EQ(readSmallFile(tree.path("big"), 4096)->size(), 4096u);
    ASSERT_EQ(::mkfifo(tree.path("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readSmallFile(tree.path("fifo"), 10)) << "must not block on a FIFO";
    EXPECT_FALSE(readSmallFile(tree.path(""), 10)) << "a directory";
    EXPECT_FALSE(readSmallFile(tree.path("missing"), 10));
    tree.symlink(tree.path("big"), "link");
    EXPECT_FALSE(readSmallFile(tree.path("link"), 10, true));
    EXPECT_TRUE(readSmallFile(tree.path("link"), 10, false));
}

std::string commandLine(const std::vector<const char*>& args) {
    std::string joined;
    for (const char* arg : args) joined += std::string(arg) + '\0';
    return joined;
}

TEST(PppdCommandLine, ReadsNamesAndSkipsOptionValues) {
    const auto o = parsePppdCommandLine(commandLine(
        {"/usr/sbin/pppd", "user", "ttyUSB9", "call", "t-online", "linkname", "dsl", "unit", "3", "/dev/ttyS1"}));
    EXPECT_EQ(o.callPeer, "t-online");
    EXPECT_EQ(o.linkName, "dsl");
    EXPECT_EQ(o.ifname, "ppp3");
    EXPECT_EQ(o.tty, "/dev/ttyS1") << "ttyUSB9 is the user's name, not a device";
    EXPECT_EQ(parsePppdCommandLine(commandLine({"pppd", "ifname", "../x"})).ifname, "");
    EXPECT_EQ(parsePppdCommandLine(commandLine({"pppd", "call"})).callPeer, "") << "a missing value";
}

TEST(PppdCommandLine, DeviceTypeFollowsPluginsPtyAndTty) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"pppd", "/dev/ttyS0"}, "modem"},
        {{"pppd", "ttyACM0", "115200"}, "modem"},
        {{"pppd", "/dev/ttyUSB2"}, "modem"},
        {{"pppd", "/dev/ttyI0"}, "isdn"},
        {{"pppd", "plugin", "capiplugin.so"}, "isdn"},
        {{"pppd", "plugin", "rp-pppoe.so", "eth0"}, "pppoe"},
        {{"pppd", "plugin", "pppoe.so", "nic-enp3s0"}, "pppoe"},
        {{"pppd", "nic-eth1"}, "pppoe"},
        {{"pppd", "pty", "pptp vpn.example.org --nolaunchpppd"}, "vpn"},
        {{"pppd", "plugin", "pppol2tp.so"}, "vpn"},
        {{"pppd", "plugin", "pppoatm.so", "0.38"}, "adsl"},
        {{"pppd", "call", "x"}, ""},
    };
    for (const auto& [args, type] : cases) {
        const auto o = parsePppdCommandLine(commandLine(args));
        EXPECT_EQ(pppDeviceType(o, ""), type) << args.at(1);
    }
    EXPECT_EQ(pppDeviceType({}, "ippp0"), "isdn");
    EXPECT_EQ(parsePppdCommandLine(commandLine({"pppd", "plugin", "rp-pppoe.so", "nic-eth0"})).nic, "eth0");
}

} // namespace
} // namespace velmora::test
