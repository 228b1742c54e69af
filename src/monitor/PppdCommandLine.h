#pragma once
// What a pppd's command line tells about its link: names, and the device
// that carries it.

#include <string>
#include <string_view>

namespace velmora {

struct PppdOptions {
    std::string linkName;  // "linkname <name>"
    std::string callPeer;  // "call <peer>"
    std::string ifname;    // "ifname <name>", or "unit <n>" as ppp<n>
    std::string tty;       // the serial device as a /dev path
    std::string nic;       // the Ethernet device of PPP over Ethernet
    std::string plugin;    // plugins named, blank-separated
    std::string pty;       // the "pty" command
};

// cmdline: the NUL-separated arguments of /proc/<pid>/cmdline.
PppdOptions parsePppdCommandLine(std::string_view cmdline);

// "modem", "isdn", "pppoe", "adsl", "vpn", or empty when nothing tells.
std::string pppDeviceType(const PppdOptions& options, std::string_view ifname);

// The tty without its "/dev/" prefix when it is one sysfs could know.
std::string ttyBaseName(std::string_view tty);

} // namespace velmora
