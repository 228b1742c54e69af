#pragma once
// Where the probe learns about dial-up links: the three questions it asks once
// a second. A failed question answers as "nothing there".

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct ConnectionList {
    std::uint32_t count = 0; // number of links listed; 0 when the query failed
    std::uint64_t firstHandle = 0;
    std::string firstEntryName; // entry name of the first (longest-up) link
};

struct ConnectionStatus {
    bool connected = false; // fully established; false also when the query failed
    std::string deviceType; // lower case: "modem", "isdn", "null", "pad", "switch", "pppoe", "vpn", ...
    std::string deviceName;
};

class ConnectionSource {
public:
    virtual ~ConnectionSource() = default;
    virtual ConnectionList list() = 0;
    virtual ConnectionStatus status(std::uint64_t handle) = 0;
    // The IPv4 address (dotted decimal), else the IPv6 address; empty when none
    // is assigned or the query failed.
    virtual std::string projectionAddress(std::uint64_t handle) = 0;

    // While nothing is listed, a source that hears of changes itself names the
    // descriptors that turn readable when links may have changed: its user may
    // then sleep until one does (or a safety interval ends) instead of asking
    // every second, and the next list takes a full look. Empty when the source
    // cannot tell, or something under way needs looking at every second.
    virtual std::vector<int> changeNotifiers() { return {}; }
};

} // namespace velmora
