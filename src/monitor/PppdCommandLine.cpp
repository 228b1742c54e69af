#include "monitor/PppdCommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>

#include "monitor/ObservedLink.h"
#include "monitor/SafeText.h"

namespace velmora {
namespace {

constexpr std::size_t kMaxOptionFileBytes = std::size_t{64} * 1024;
constexpr int kMaxFileDepth = 4; // pppd allows files naming files; a loop must end

// pppd options whose next argument is their value, not a device.
constexpr std::array<std::string_view, 30> kValueOptions = {"call",
                                                            "linkname",
                                                            "ifname",
                                                            "unit",
                                                            "plugin",
                                                            "pty",
                                                            "connect",
                                                            "disconnect",
                                                            "init",
                                                            "welcome",
                                                            "user",
                                                            "password",
                                                            "name",
                                                            "remotename",
                                                            "file",
                                                            "mtu",
                                                            "mru",
                                                            "idle",
                                                            "holdoff",
                                                            "maxfail",
                                                            "ipparam",
                                                            "logfile",
                                                            "lcp-echo-interval",
                                                            "lcp-echo-failure",
                                                            "connect-delay",
                                                            "domain",
                                                            "ms-dns",
                                                            "asyncmap",
                                                            "escape",
                                                            "active-filter"};

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

std::vector<std::string> splitArguments(std::string_view cmdline) {
    std::vector<std::string> args;
    while (!cmdline.empty()) {
        const auto end = cmdline.find('\0');
        args.emplace_back(cmdline.substr(0, end));
        if (end == std::string_view::npos) break;
        cmdline.remove_prefix(end + 1);
    }
    return args;
}

void applyValue(PppdOptions& o, std::string_view option, std::string_view value) {
    if (option == "call")
        o.callPeer = cleanText(value, kMaxEntryNameBytes);
    else if (option == "linkname")
        o.linkName = cleanText(value, kMaxEntryNameBytes);
    else if (option == "ifname" && isInterfaceName(value))
        o.ifname = value;
    else if (option == "unit" && parsePid(value))
        o.ifname = "ppp" + std::string(value);
    else if (option == "plugin")
        o.plugin += cleanText(value, 128) + " ";
    else if (option == "pty")
        o.pty = cleanText(value, 512);
    else if (option == "connect")
        o.connect = cleanText(value, 512);
}

void applyFlagOrDevice(PppdOptions& o, std::string_view arg) {
    if (arg == "demand")
        o.demand = true;
    else if (arg == "local" || arg == "modem")
        o.local = arg == "local";
    else if (arg == "lock" || arg == "nolock")
        o.lock = arg == "lock";
    else if (startsWith(arg, "/dev/") && o.tty.empty())
        o.tty = cleanText(arg, kMaxDeviceNameBytes);
    else if (isBareTty(arg) && o.tty.empty())
        o.tty = "/dev/" + std::string(arg);
    else if (startsWith(arg, "nic-") && isInterfaceName(arg.substr(4)))
        o.nic = arg.substr(4);
    else if (isEthernetName(arg) && o.nic.empty())
        o.nic = arg;
}

// Reads the words of another options file; empty when there is none.
using FileWords = std::function<std::vector<std::string>(const std::string& option, const std::string& value)>;

void applyWords(PppdOptions& o, const std::vector<std::string>& words, const FileWords& fileWords, int depth) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!takesValue(word) || i + 1 >= words.size()) {
            applyFlagOrDevice(o, word);
            continue;
        }
        const std::string& value = words[++i];
        applyValue(o, word, value);
        if ((word == "call" || word == "file") && fileWords && depth < kMaxFileDepth)
            applyWords(o, fileWords(word, value), fileWords, depth + 1);
    }
}

// A file that is not there counts as empty, as for pppd; one that is there
// but cannot be read (permissions, a directory in the way that we may not
// search) says something we cannot know.
std::vector<std::string> wordsOfFile(const std::string& path, bool& unreadable) {
    const auto text = readSmallFile(path, kMaxOptionFileBytes);
    if (text) return optionFileWords(*text);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR)) unreadable = true;
    return {};
}

std::string baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool isVpnProgram(std::string_view word) {
    static constexpr std::array<std::string_view, 9> kPrograms = {
        "pptp", "sstpc", "openfortivpn", "ssh", "dbclient", "stunnel", "stunnel4", "socat", "openconnect"};
    const std::string name = baseName(word);
    return std::find(kPrograms.begin(), kPrograms.end(), name) != kPrograms.end();
}

// Starts a word at text[i]; returns the index after it.
std::size_t readWord(std::string_view text, std::size_t i, std::string& word) {
    char quote = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < text.size())
                word += text[++i];
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            break;
        } else {
            word += c;
        }
    }
    return i;
}

} // namespace

std::vector<std::string> optionFileWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '#') {
            i = std::min(text.find('\n', i), text.size());
        } else {
            std::string word;
            i = readWord(text, i, word);
            words.push_back(std::move(word));
        }
    }
    return words;
}

PppdOptions parsePppdCommandLine(std::string_view cmdline) {
    PppdOptions options;
    auto args = splitArguments(cmdline);
    if (!args.empty()) args.erase(args.begin()); // the program
    applyWords(options, args, nullptr, 0);
    return options;
}

PppdOptions effectivePppdOptions(std::string_view cmdline, const std::string& etcPpp) {
    return pppdOptionsAsRead(cmdline, etcPpp, {});
}

PppdOptions pppdOptionsAsRead(std::string_view cmdline, const std::string& etcPpp, const std::string& userFile) {
    PppdOptions options;
    const FileWords fileWords = [&](const std::string& option, const std::string& value) {
        if (option == "call") {
            // A peer name is a file name inside the peers directory, never a path.
            if (value.empty() || value.find('/') != std::string::npos || value == "." || value == "..")
                return std::vector<std::string>{};
            return wordsOfFile(etcPpp + "/peers/" + value, options.unreadable);
        }
        return startsWith(value, "/") ? wordsOfFile(value, options.unreadable) : std::vector<std::string>{};
    };
    applyWords(options, wordsOfFile(etcPpp + "/options", options.unreadable), fileWords, 1);
    if (!userFile.empty()) applyWords(options, wordsOfFile(userFile, options.unreadable), fileWords, 1);
    auto args = splitArguments(cmdline);
    if (!args.empty()) args.erase(args.begin());
    applyWords(options, args, fileWords, 0);
    const std::string tty = ttyBaseName(options.tty);
    if (!tty.empty()) applyWords(options, wordsOfFile(etcPpp + "/options." + tty, options.unreadable), fileWords, 1);
    return options;
}

bool carriesVpn(const PppdOptions& o) {
    for (std::string_view kind : {"pptp", "l2tp", "sstp", "fortisslvpn", "openconnect"})
        if (contains(o.plugin, kind)) return true;
    for (const auto& word : optionFileWords(o.pty))
        if (isVpnProgram(word)) return true;
    return false;
}

bool isVpnClient(std::string_view comm) {
    static constexpr std::array<std::string_view, 6> kClients = {"pptp",   "sstpc",     "openfortivpn",
                                                                 "xl2tpd", "openl2tpd", "l2tpd"};
    if (std::find(kClients.begin(), kClients.end(), comm) != kClients.end()) return true;
    // NetworkManager's VPN services ("nm-pptp-service", "nm-l2tp-service", ...).
    if (!startsWith(comm, "nm-")) return false;
    for (std::string_view kind : {"pptp", "l2tp", "sstp", "fortisslvpn"})
        if (contains(comm, kind)) return true;
    return false;
}

std::string pppDeviceType(const PppdOptions& o, std::string_view ifname) {
    const std::string tty = ttyBaseName(o.tty);
    if (contains(o.plugin, "pppoatm") || contains(o.plugin, "pppoa.")) return "adsl";
    if (contains(o.plugin, "pppoe") || !o.nic.empty()) return "pppoe";
    if (contains(o.plugin, "l2tp") || contains(o.plugin, "pptp") || contains(o.pty, "pptp") || contains(o.pty, "l2tp"))
        return "vpn";
    if (contains(o.plugin, "capi") || startsWith(tty, "ttyI") || startsWith(tty, "ippp")) return "isdn";
    // A cable straight to the other computer: no modem lines, nothing to dial.
    if (!o.tty.empty() && o.pty.empty() && o.local && o.connect.empty()) return "null";
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
