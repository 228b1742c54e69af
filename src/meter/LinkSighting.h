#pragma once
// What one look at the dial-up links saw: how many are listed, and the first
// of them, established or still on its way.

#include <cstdint>
#include <optional>
#include <string>

#include "monitor/ConnectionSource.h"

namespace velmora {

struct LinkSighting {
    std::uint32_t listed = 0; // links listed; 0 when the query failed
    std::uint64_t handle = 0; // the source's handle of the first listed link
    bool established = false; // the first listed link is connected
    std::string entryName;
    std::string deviceType; // the German text of its kind of device
    std::string deviceName;
    std::string address; // empty when the peer assigned none
    // What the first listed link has carried; nullopt: unknown.
    std::optional<ByteCounters> carried;
    // The link the meter showed before this look (0: none), and what it has
    // carried: asked by its handle, so a link no longer first, or gone, still
    // gives its last figure.
    std::uint64_t shownHandle = 0;
    std::optional<ByteCounters> shownCarried;
    bool operator==(const LinkSighting&) const = default;
};

// Lists the links, then asks for the first one's status and counters and,
// only when it is established, its address; then for the counters of the
// link the meter shows (Meter::shownHandle).
LinkSighting sightLinks(ConnectionSource& source, std::uint64_t shownHandle);

} // namespace velmora
