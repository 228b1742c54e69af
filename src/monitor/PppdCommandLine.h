#pragma once
// What a pppd's options tell about its link: names, the device that carries
// it, and how it dials. Options come from its command line and from the
// options files pppd reads.

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct PppdOptions {
    std::string linkName; // "linkname <name>"
    std::string callPeer; // "call <peer>"
    std::string ifname;   // "ifname <name>", or "unit <n>" as ppp<n>
    std::string tty;      // the serial device as a /dev path
    std::string nic;      // the Ethernet device of PPP over Ethernet
    std::string plugin;   // plugins named, blank-separated
    std::string pty;      // the "pty" command
    std::string connect;  // the "connect" script; empty when none
    bool demand = false;  // dials only when traffic wants out
    bool local = false;   // "local": no modem control lines (last of local/modem wins)
    bool lock = false;    // "lock": a UUCP lock file while the line is held (last of lock/nolock wins)
    // An options file pppd reads exists but could not be read here (another
    // user's, say): whatever it sets, "demand" above all, is unknown.
    bool unreadable = false;
};

// cmdline: the NUL-separated arguments of /proc/<pid>/cmdline; no files read.
PppdOptions parsePppdCommandLine(std::string_view cmdline);

// The options as pppd takes them: etcPpp/options first, then the command line
// with the files that "call" (etcPpp/peers/<name>) and "file" name read in
// place, then the serial port's own etcPpp/options.<tty>. A file that cannot
// be read counts as empty.
PppdOptions effectivePppdOptions(std::string_view cmdline, const std::string& etcPpp);

// The same with the user's own options file (~/.ppprc of pppd's real user),
// which pppd reads after etcPpp/options; empty: none. A file that exists but
// cannot be read sets unreadable.
PppdOptions pppdOptionsAsRead(std::string_view cmdline, const std::string& etcPpp, const std::string& userFile);

// The words of an options file: blank-separated, "#" starts a comment,
// quotes and backslashes as pppd reads them.
std::vector<std::string> optionFileWords(std::string_view text);

// "modem", "isdn", "null", "pppoe", "adsl", "vpn", or empty when nothing tells.
std::string pppDeviceType(const PppdOptions& options, std::string_view ifname);

// pppd carries a tunnel through another network, not a line of its own: a
// VPN plugin (PPTP, L2TP, SSTP, SSL VPNs), or a "pty" that runs a VPN client
// or a remote shell.
bool carriesVpn(const PppdOptions& options);
// A process name (as the kernel keeps it, 15 bytes at most) of a program
// that runs pppd for a tunnel of its own.
bool isVpnClient(std::string_view comm);

// The tty without its "/dev/" prefix when it is one sysfs could know.
std::string ttyBaseName(std::string_view tty);

} // namespace velmora
