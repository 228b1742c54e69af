#include "monitor/InterfaceState.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "monitor/SafeText.h"

namespace velmora {
namespace {

bool isLinkLocal(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        return (ntohl(in.sin_addr.s_addr) >> 16) == 0xa9fe; // 169.254.0.0/16
    }
    sockaddr_in6 in6{};
    std::memcpy(&in6, address, sizeof in6);
    return IN6_IS_ADDR_LINKLOCAL(&in6.sin6_addr);
}

std::string textOf(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        if (::inet_ntop(AF_INET, &in.sin_addr, text, sizeof text)) return text;
        return {};
    }
    sockaddr_in6 in6{};
    std::memcpy(&in6, address, sizeof in6);
    if (::inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text)) return text;
    return {};
}

// The first address of each family that reaches beyond the link. The list
// comes from one netlink dump; it is asked only when the interfaces changed.
void readAddresses(const std::string& ifname, InterfaceState& state) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        const sockaddr* address = entry->ifa_addr;
        if (!address || ifname != entry->ifa_name) continue;
        if (address->sa_family != AF_INET && address->sa_family != AF_INET6) continue;
        if (isLinkLocal(address)) continue;
        std::string& slot = address->sa_family == AF_INET ? state.ipv4 : state.ipv6;
        if (slot.empty()) slot = textOf(address);
    }
    ::freeifaddrs(list);
}

} // namespace

KernelInterfaceStateReader::KernelInterfaceStateReader() : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

KernelInterfaceStateReader::~KernelInterfaceStateReader() {
    if (socket_ >= 0) ::close(socket_);
}

std::optional<InterfaceState> KernelInterfaceStateReader::query(const std::string& ifname) {
    if (socket_ < 0 || !isInterfaceName(ifname)) return std::nullopt;
    ifreq req{};
    std::memcpy(req.ifr_name, ifname.data(), ifname.size());
    if (::ioctl(socket_, SIOCGIFFLAGS, &req) != 0) return std::nullopt;
    InterfaceState state;
    state.up = (req.ifr_flags & IFF_UP) != 0;
    state.running = (req.ifr_flags & IFF_RUNNING) != 0;
    readAddresses(ifname, state);
    return state;
}

std::optional<ByteCounters> KernelInterfaceStateReader::counters(const std::string& ifname) {
    const auto facts = netlink_.byName(ifname);
    return facts ? facts->counters : std::nullopt;
}

} // namespace velmora
