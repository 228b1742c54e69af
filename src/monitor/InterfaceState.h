#pragma once
// The kernel's view of one network interface: is it up, and which addresses
// does it hold. Behind an interface so tests can stand in for it.

#include <optional>
#include <string>

#include "monitor/ByteCounters.h"
#include "monitor/RouteNetlink.h"

namespace velmora {

struct InterfaceState {
    bool up = false;      // IFF_UP
    bool running = false; // IFF_RUNNING: the link layer is ready
    std::string ipv4;     // dotted decimal, not link-local; empty when none
    std::string ipv6;     // RFC 5952 text, not link-local; empty when none

    // Up, running and reachable beyond the link itself: IPv4 or IPv6 will do.
    bool established() const { return up && running && (!ipv4.empty() || !ipv6.empty()); }
    // What the address field shows: IPv4 first, else IPv6; empty when neither.
    const std::string& shownAddress() const { return ipv4.empty() ? ipv6 : ipv4; }
};

class InterfaceStateReader {
public:
    virtual ~InterfaceStateReader() = default;
    // nullopt when no interface of that name exists (or it cannot be asked).
    virtual std::optional<InterfaceState> query(const std::string& ifname) = 0;
    // What the interface has carried, 64-bit; nullopt when that is unknown.
    virtual std::optional<ByteCounters> counters(const std::string&) { return std::nullopt; }
};

// Asks the kernel: the flags with an ioctl on one datagram socket that lives
// as long as the reader, the addresses from the kernel's address list, the
// counters over rtnetlink (the socket's network namespace, whatever sysfs
// is mounted).
class KernelInterfaceStateReader : public InterfaceStateReader {
public:
    KernelInterfaceStateReader();
    ~KernelInterfaceStateReader() override;
    KernelInterfaceStateReader(const KernelInterfaceStateReader&) = delete;
    KernelInterfaceStateReader& operator=(const KernelInterfaceStateReader&) = delete;

    std::optional<InterfaceState> query(const std::string& ifname) override;
    std::optional<ByteCounters> counters(const std::string& ifname) override;

private:
    int socket_ = -1;
    RouteNetlink netlink_;
};

} // namespace velmora
