#pragma once
// One dial-up link as one origin (pppd and the kernel, or NetworkManager)
// reports it at one poll.

#include <cstdint>
#include <string>

namespace velmora {

struct ObservedLink {
    int pid = 0;                 // pppd's process id; 0 when no pppd is known
    std::uint64_t startTime = 0; // pppd's start in clock ticks after boot; 0 unknown
    std::string ifname;          // network interface; empty while dialling
    std::string nmPath;          // NetworkManager's active connection object
    std::string entryName;
    bool established = false;
    bool interfaceUp = false; // the interface is up and running, with an address or not
    std::string deviceType;   // lower case; empty when unknown
    std::string deviceName;
    std::string address; // IPv4 (dotted decimal), else IPv6; empty when none
    bool operator==(const ObservedLink&) const = default;
};

// Cuts for texts read from outside.
inline constexpr std::size_t kMaxEntryNameBytes = 256;
inline constexpr std::size_t kMaxDeviceNameBytes = 128;

} // namespace velmora
