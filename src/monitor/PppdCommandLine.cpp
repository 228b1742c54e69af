#include "monitor/PppdCommandLine.h"

#include <array>
#include <vector>

#include "monitor/ObservedLink.h"
#include "monitor/SafeText.h"

namespace velmora {
namespace {

// pppd options whose next argument is their value, not a device.
constexpr std::array<std::string_view, 30> kValueOptions = {
    "call", "linkname", "ifname", "unit", "plugin", "pty", "connect", "disconnect", "init", "welcome",
    "user", "password", "name", "remotename", "file", "mtu", "mru", "idle", "holdoff", "maxfail",
    "ipparam", "logfile", "lcp-echo-interval", "lcp-echo-failure", "connect-delay", "domain", "ms-dns",
    "asyncmap", "escape", "active-filter"};

bool takesValue(std::string_view option) {
    for (auto known : kValueOptions)
        if (option == known) return true;
    return false;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool isBareTty(std::string_view arg) {
    return (startsWith(arg, "tty") || startsWith(arg, "ippp") || startsWith(arg, "rfcomm")) && isInterfaceName(arg);
}

bool isEthernetName(std::string_view arg) {
    return startsWith(arg, "eth") && arg.size() > 3 && arg[3] >= '0' && arg[3] <= '9' && isInterfaceName(arg);
}

std::vector<std::string_view> splitArguments(std::string_view cmdline) {
    std::vector<std::string_view> args;
    while (!cmdline.empty()) {
        const auto end = cmdline.find('\0');
        args.push_back(cmdline.substr(0, end));
        if (end == std::string_view::npos) break;
        cmdline.remove_prefix(end + 1);
    }
    return args;
}

void applyValue(PppdOptions& o, std::string_view option, std::string_view value) {
    if (option == "call") o.callPeer = cleanText(value, kMaxEntryNameBytes);
    else if (option == "linkname") o.linkName = cleanText(value, kMaxEntryNameBytes);
    else if (option == "ifname" && isInterfaceName(value)) o.ifname = value;
    else if (option == "unit" && parsePid(value)) o.ifname = "ppp" + std::string(value);
    else if (option == "plugin") o.plugin += cleanText(value, 128) + " ";
    else if (option == "pty") o.pty = cleanText(value, 512);
}

void applyDevice(PppdOptions& o, std::string_view arg) {
    if (startsWith(arg, "/dev/") && o.tty.empty()) o.tty = cleanText(arg, kMaxDeviceNameBytes);
    else if (isBareTty(arg) && o.tty.empty()) o.tty = "/dev/" + std::string(arg);
    else if (startsWith(arg, "nic-") && isInterfaceName(arg.substr(4))) o.nic = arg.substr(4);
    else if (isEthernetName(arg) && o.nic.empty()) o.nic = arg;
}

} // namespace

PppdOptions parsePppdCommandLine(std::string_view cmdline) {
    PppdOptions options;
    const auto args = splitArguments(cmdline);
    for (std::size_t i = 1; i < args.size(); ++i) { // args[0] is the program
        if (takesValue(args[i]) && i + 1 < args.size()) {
            applyValue(options, args[i], args[i + 1]);
            ++i;
        } else {
            applyDevice(options, args[i]);
        }
    }
    return options;
}

std::string pppDeviceType(const PppdOptions& o, std::string_view ifname) {
    const std::string tty = ttyBaseName(o.tty);
    if (contains(o.plugin, "pppoatm") || contains(o.plugin, "pppoa.")) return "adsl";
    if (contains(o.plugin, "pppoe") || !o.nic.empty()) return "pppoe";
    if (contains(o.plugin, "l2tp") || contains(o.plugin, "pptp") || contains(o.pty, "pptp") || contains(o.pty, "l2tp"))
        return "vpn";
    if (contains(o.plugin, "capi") || startsWith(tty, "ttyI") || startsWith(tty, "ippp")) return "isdn";
    if (!o.tty.empty()) return "modem";
    if (startsWith(ifname, "ippp")) return "isdn";
    return {};
}

std::string ttyBaseName(std::string_view tty) {
    if (!startsWith(tty, "/dev/")) return {};
    tty.remove_prefix(5);
    const bool plain = !tty.empty() && tty != "." && tty != ".." && tty.find('/') == std::string_view::npos &&
                       cleanText(tty, 64) == tty;
    return plain ? std::string(tty) : std::string{};
}

} // namespace velmora
