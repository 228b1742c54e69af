#include "monitor/RouteNetlink.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "monitor/SafeText.h"

namespace velmora {
namespace {

constexpr std::size_t kAnswerBytes = std::size_t{32} * 1024; // one interface with all its attributes fits easily

template <typename T>
T copied(const void* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// The byte counters of a link message: the 64-bit ones, else the old 32-bit ones.
std::optional<ByteCounters> countersOf(const nlmsghdr* header) {
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(header));
    int left = static_cast<int>(header->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof *info));
    std::optional<ByteCounters> old;
    for (const rtattr* attr = IFLA_RTA(info); RTA_OK(attr, left); attr = RTA_NEXT(attr, left)) {
        const auto payload = RTA_PAYLOAD(attr);
        if (attr->rta_type == IFLA_STATS64 && payload >= sizeof(rtnl_link_stats64)) {
            const auto stats = copied<rtnl_link_stats64>(RTA_DATA(attr));
            return ByteCounters{stats.rx_bytes, stats.tx_bytes};
        }
        if (attr->rta_type == IFLA_STATS && payload >= sizeof(rtnl_link_stats)) {
            const auto stats = copied<rtnl_link_stats>(RTA_DATA(attr));
            old = ByteCounters{stats.rx_bytes, stats.tx_bytes};
        }
    }
    return old;
}

} // namespace

RouteNetlink::RouteNetlink() : socket_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {
    if (socket_ < 0) return;
    const timeval wait{1, 0}; // the kernel answers at once; this only bounds a kernel that does not
    if (::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
        ::close(socket_);
        socket_ = -1;
    }
}

RouteNetlink::~RouteNetlink() {
    if (socket_ >= 0) ::close(socket_);
}

std::optional<LinkFacts> RouteNetlink::byName(const std::string& ifname) {
    if (!isInterfaceName(ifname)) return std::nullopt;
    return ask(0, ifname);
}

std::optional<LinkFacts> RouteNetlink::byIndex(int index) {
    if (index <= 0) return std::nullopt;
    return ask(index, {});
}

std::optional<LinkFacts> RouteNetlink::ask(int index, const std::string& ifname) {
    if (socket_ < 0) return std::nullopt;
    struct {
        nlmsghdr header;
        ifinfomsg info;
        char attributes[RTA_SPACE(16)]; // IFLA_IFNAME: at most 15 characters and the NUL
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof request.info);
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = ++sequence_;
    request.info.ifi_family = AF_UNSPEC;
    request.info.ifi_index = index;
    if (!ifname.empty()) {
        auto* attr =
            reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
        attr->rta_type = IFLA_IFNAME;
        attr->rta_len = static_cast<unsigned short>(RTA_LENGTH(ifname.size() + 1));
        std::memcpy(RTA_DATA(attr), ifname.c_str(), ifname.size() + 1);
        request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attr->rta_len);
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket_, &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(request.header.nlmsg_len))
        return std::nullopt;
    alignas(nlmsghdr) static thread_local char answer[kAnswerBytes];
    for (;;) {
        const ssize_t got = ::recv(socket_, answer, sizeof answer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        int left = static_cast<int>(got);
        for (const auto* header = reinterpret_cast<const nlmsghdr*>(answer); NLMSG_OK(header, left);
             header = NLMSG_NEXT(header, left)) {
            if (header->nlmsg_seq != sequence_) continue; // an answer to an earlier question that timed out
            if (header->nlmsg_type != RTM_NEWLINK || header->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
                return std::nullopt; // NLMSG_ERROR: no such interface
            const auto info = copied<ifinfomsg>(NLMSG_DATA(header));
            return LinkFacts{info.ifi_index, info.ifi_type, info.ifi_flags, countersOf(header)};
        }
    }
}

// Classic BPF over one netlink message. Loads read in network byte order,
// so the host-order fields are compared with their byte-swapped values.
bool filterLinkNews(int socket) {
    constexpr auto kType = static_cast<unsigned>(offsetof(nlmsghdr, nlmsg_type));
    constexpr auto kLinkKind = static_cast<unsigned>(NLMSG_LENGTH(0) + offsetof(ifinfomsg, ifi_type));
    constexpr auto kScope = static_cast<unsigned>(NLMSG_LENGTH(0) + offsetof(ifaddrmsg, ifa_scope));
    const auto half = [](unsigned value) { return static_cast<unsigned>(htons(static_cast<std::uint16_t>(value))); };
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, kType),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, half(RTM_NEWLINK), 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, half(RTM_DELLINK), 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, half(RTM_NEWADDR), 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, half(RTM_DELADDR), 2, 4),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, kLinkKind), // link news: PPP interfaces only
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, half(ARPHRD_PPP), 2, 3),
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, kScope), // address news: beyond the link only
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, RT_SCOPE_LINK, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, 0xffffffffu), // pass
        BPF_STMT(BPF_RET | BPF_K, 0),           // drop
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    return ::setsockopt(socket, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

} // namespace velmora
