#pragma once
// What an interface has carried: its receive and transmit byte counters.

#include <cstdint>

namespace velmora {

struct ByteCounters {
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    bool operator==(const ByteCounters&) const = default;
};

} // namespace velmora
