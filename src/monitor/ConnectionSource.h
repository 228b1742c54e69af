#pragma once
// Where the probe learns about dial-up links: the three questions it asks once
// a second. A failed question answers as "nothing there".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/ByteCounters.h"

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

// When the poll should come next: after periodMs (and every periodMs after
// that, until told otherwise), or at once when one of the descriptors turns
// readable.
struct PollPace {
    unsigned periodMs = 1000;
    std::vector<int> wakeOn;
    bool operator==(const PollPace&) const = default;
};

inline constexpr unsigned kPollPeriodMs = 1000;
// While nothing is listed and the source hears of changes itself, the poll
// sleeps until it does, or this long at the most: a link that comes up is
// always news (its interface appears), so the look at the end of the sleep
// only finds a pppd still dialling that has written no file yet.
inline constexpr unsigned kQuietPollPeriodMs = 5 * 60 * 1000;

class ConnectionSource {
public:
    virtual ~ConnectionSource() = default;
    virtual ConnectionList list() = 0;
    virtual ConnectionStatus status(std::uint64_t handle) = 0;
    // The IPv4 address (dotted decimal), else the IPv6 address; empty when none
    // is assigned or the query failed.
    virtual std::string projectionAddress(std::uint64_t handle) = 0;

    // What the link has carried, as of the last list: the interface's byte
    // counters, read at every list, made to only grow for the life of the
    // handle (a counter that starts again from 0, say on an interface made
    // anew under the same pppd, is added on top). A link that is no longer
    // listed keeps its last figure for a while, so a connection that just
    // ended can still be asked. nullopt: unknown.
    virtual std::optional<ByteCounters> counters(std::uint64_t) { return std::nullopt; }

    // Asked after every poll: when the next one should come. everySecond: the
    // caller has something that needs a poll every second whatever the
    // source thinks (a connection being metered, a write held back). A
    // source that cannot tell asks for a poll every second.
    virtual PollPace pollPace(bool) { return {kPollPeriodMs, {}}; }
};

} // namespace velmora
