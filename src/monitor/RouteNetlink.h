#pragma once
// Questions to the kernel's routing netlink (rtnetlink) about one interface,
// answered at once: its index, kind, flags and byte counters. Unlike a dump
// of every interface, one answer costs the same on a host with 5 interfaces
// as on one with 5,000.

#include <cstdint>
#include <optional>
#include <string>

#include "monitor/ByteCounters.h"

namespace velmora {

struct LinkFacts {
    int index = 0;
    unsigned type = 0;  // ARPHRD_*
    unsigned flags = 0; // IFF_*, IFF_RUNNING included
    std::optional<ByteCounters> counters;
};

class RouteNetlink {
public:
    RouteNetlink();
    ~RouteNetlink();
    RouteNetlink(const RouteNetlink&) = delete;
    RouteNetlink& operator=(const RouteNetlink&) = delete;

    // nullopt when there is no such interface or the kernel cannot be asked.
    std::optional<LinkFacts> byName(const std::string& ifname);
    std::optional<LinkFacts> byIndex(int index);

private:
    std::optional<LinkFacts> ask(int index, const std::string& ifname);

    int socket_ = -1;
    std::uint32_t sequence_ = 0;
};

// A socket filter for a netlink socket that listens to the link and address
// groups: the kernel then passes on only what can concern a dial-up link,
// news of PPP interfaces and of addresses beyond the link itself. Link news
// of other kinds (a host's hundred container interfaces going up and down)
// and link-local addresses never reach the socket, so they never wake us.
// False when it cannot be installed; everything then comes through.
bool filterLinkNews(int socket);

} // namespace velmora
