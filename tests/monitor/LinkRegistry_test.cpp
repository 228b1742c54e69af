#include <gtest/gtest.h>

#include "monitor/LinkRegistry.h"

namespace velmora::test {
namespace {

ObservedLink kernelLink(int pid, std::string ifname, bool established = true) {
    ObservedLink l;
    l.pid = pid;
    l.startTime = 100u + static_cast<unsigned>(pid);
    l.ifname = std::move(ifname);
    l.entryName = "pppd-" + std::to_string(pid);
    l.established = established;
    l.deviceType = "modem";
    l.deviceName = "/dev/ttyS0";
    l.address = "10.0.0.1";
    return l;
}

ObservedLink managedLink(std::string path, std::string ifname, bool established) {
    ObservedLink l;
    l.nmPath = std::move(path);
    l.ifname = std::move(ifname);
    l.entryName = "Mobilfunk";
    l.established = established;
    l.deviceType = "modem";
    l.deviceName = "/dev/ttyUSB0 (E220)";
    return l;
}

TEST(MergeOrigins, SameInterfaceIsOneLinkWithManagerNamesAndKernelState) {
    const auto merged = mergeOrigins({kernelLink(5, "ppp0", true)}, {managedLink("/ac/1", "ppp0", false)});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].entryName, "Mobilfunk");
    EXPECT_EQ(merged[0].deviceName, "/dev/ttyUSB0 (E220)");
    EXPECT_TRUE(merged[0].established) << "the kernel's state is the fresher one";
    EXPECT_EQ(merged[0].address, "10.0.0.1");
    EXPECT_EQ(merged[0].nmPath, "/ac/1");
}

TEST(MergeOrigins, ManagerLinksWithoutMatchingInterfaceStaySeparate) {
    const auto merged =
        mergeOrigins({kernelLink(5, "ppp0")}, {managedLink("/ac/1", "", false), managedLink("/ac/2", "wwan0", true)});
    EXPECT_EQ(merged.size(), 3u);
}

TEST(LinkRegistry, KeepsHandlesAndFirstSeenOrderAcrossPolls) {
    LinkRegistry registry;
    const auto first = registry.update({kernelLink(7, "")});
    const auto second = registry.update({kernelLink(3, "ppp1"), kernelLink(7, "ppp0")});
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].handle, first[0].handle);
    EXPECT_EQ(second[0].link.pid, 7);
    const auto third = registry.update({kernelLink(3, "ppp1")});
    EXPECT_EQ(third[0].handle, second[1].handle);
    EXPECT_NE(third[0].handle, 0u);
    const auto back = registry.update({kernelLink(3, "ppp1"), kernelLink(7, "ppp0")});
    EXPECT_NE(back[1].handle, first[0].handle) << "a link that went and came back is a new link";
}

TEST(LinkRegistry, ALinkThatFallsBackToDiallingGoesBehindTheOnesUp) {
    LinkRegistry registry;
    auto older = kernelLink(1, "ppp0");
    const auto younger = kernelLink(2, "ppp1");
    EXPECT_EQ(registry.update({older, younger})[0].link.pid, 1) << "up at the same poll: the older pppd first";
    older.established = false;
    EXPECT_EQ(registry.update({older, younger})[0].link.pid, 2);
    older.established = true;
    const auto back = registry.update({older, younger});
    EXPECT_EQ(back[0].link.pid, 2) << "the link up longest stays first";
    EXPECT_EQ(back[1].link.pid, 1);
}

TEST(LinkRegistry, APppdRestartedWithTheSamePidIsANewLink) {
    LinkRegistry registry;
    auto link = kernelLink(9, "ppp0");
    const auto before = registry.update({link});
    link.startTime += 1;
    EXPECT_NE(registry.update({link})[0].handle, before[0].handle);
}

TEST(LinkRegistry, ManagerLinkKeepsItsHandleWhenItGainsItsInterface) {
    LinkRegistry registry;
    const auto activating = registry.update({managedLink("/ac/4", "", false)});
    auto merged = mergeOrigins({kernelLink(11, "ppp0")}, {managedLink("/ac/4", "ppp0", true)});
    EXPECT_EQ(registry.update(merged)[0].handle, activating[0].handle);
    EXPECT_EQ(registry.update(merged)[0].handle, activating[0].handle);
}

} // namespace
} // namespace velmora::test
