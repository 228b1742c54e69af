#pragma once
// The kernel's view of one network interface: is it up, and which IPv4
// address does it hold. Behind an interface so tests can stand in for it.

#include <optional>
#include <string>

namespace velmora {

struct InterfaceState {
    bool up = false;       // IFF_UP
    bool running = false;  // IFF_RUNNING: the link layer is ready
    std::string ipv4;      // dotted decimal; empty when none is assigned
};

class InterfaceStateReader {
public:
    virtual ~InterfaceStateReader() = default;
    // nullopt when no interface of that name exists (or it cannot be asked).
    virtual std::optional<InterfaceState> query(const std::string& ifname) = 0;
};

// Asks the kernel with two ioctls on one datagram socket that lives as long as
// the reader: far cheaper than dumping every address once a second.
class KernelInterfaceStateReader : public InterfaceStateReader {
public:
    KernelInterfaceStateReader();
    ~KernelInterfaceStateReader() override;
    KernelInterfaceStateReader(const KernelInterfaceStateReader&) = delete;
    KernelInterfaceStateReader& operator=(const KernelInterfaceStateReader&) = delete;

    std::optional<InterfaceState> query(const std::string& ifname) override;

private:
    int socket_ = -1;
};

} // namespace velmora
