#include "monitor/PppdLinkScanner.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

#include "monitor/PppdDatabase.h"
#include "monitor/SafeText.h"

namespace velmora {
namespace {

constexpr std::size_t kMaxRunDirEntries = 1024;
// sysfs lists what the kernel has; a host with thousands of container
// interfaces must not hide a PPP interface behind them.
constexpr std::size_t kMaxInterfaces = std::numeric_limits<std::size_t>::max();
constexpr std::size_t kMaxProcesses = 4194304; // the kernel's limit of process ids
constexpr std::size_t kMaxCommandLineBytes = 4096;

struct ProcessStat {
    std::string comm;
    char state = '?';
    int ppid = 0;
    std::uint64_t startTime = 0;
};

// Calls visit for each entry name of dir, at most limit of them.
void forEachEntry(const std::string& dir, std::size_t limit, const std::function<void(const std::string&)>& visit) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    std::size_t seen = 0;
    while (const dirent* e = ::readdir(d)) {
        if (++seen > limit) break;
        const std::string name = e->d_name;
        if (name != "." && name != "..") visit(name);
    }
    ::closedir(d);
}

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() > suffix.size() && std::string_view(text).substr(text.size() - suffix.size()) == suffix;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

// /proc/<pid>/stat: "pid (comm) state ppid ... starttime(22nd) ...". The
// name may hold blanks and parentheses, so it ends at the last ')'.
std::optional<ProcessStat> readProcessStat(const std::string& procRoot, int pid) {
    const auto text = readSmallFile(procRoot + "/" + std::to_string(pid) + "/stat", 1024);
    if (!text) return std::nullopt;
    const auto open = text->find('(');
    const auto close = text->rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
    ProcessStat stat;
    stat.comm = text->substr(open + 1, close - open - 1);
    std::vector<std::string_view> fields; // fields from the 3rd (state) on
    std::string_view rest = std::string_view(*text).substr(close + 1);
    while (!rest.empty() && fields.size() < 20) {
        rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
        const auto end = std::min(rest.find(' '), rest.size());
        if (end > 0) fields.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    if (fields.size() < 20) return std::nullopt;
    const auto ppid = parsePid(fields[1]);
    const auto start = parseUnsigned(fields[19]);
    if (!start) return std::nullopt;
    stat.state = fields[0].empty() ? '?' : fields[0][0];
    stat.ppid = ppid.value_or(0);
    stat.startTime = *start;
    return stat;
}

void mergeFacts(std::string& into, const std::string& from) {
    if (into.empty()) into = from;
}

// A pppd that has ended but is not yet reaped (a zombie) is no pppd.
bool isLivePppd(const std::optional<ProcessStat>& stat) {
    return stat && stat->comm == "pppd" && stat->state != 'Z' && stat->state != 'X' && stat->state != 'x';
}

// With "demand" and no address of its own, pppd sets up its interface with a
// made-up one, 10.64.64.64 plus the unit number, until a call brings the
// real one.
bool isDemandStandIn(const std::string& address) {
    if (address.rfind("10.64.64.", 0) != 0) return false;
    const auto last = parsePid(address.substr(9));
    return last && *last >= 64 && *last <= 255;
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

} // namespace

std::optional<std::string> homeFromPasswd(unsigned uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || found->pw_dir[0] != '/')
        return std::nullopt;
    return std::string(found->pw_dir);
}

PppdLinkScanner::PppdLinkScanner(PppdPaths paths, InterfaceStateReader& reader, std::set<unsigned> uids)
    : paths_(std::move(paths)), reader_(reader), uids_(std::move(uids)) {
    uids_.insert(0);
}

std::vector<ObservedLink> PppdLinkScanner::scan(Walk walk) {
    walked_ = wantsWalk_ = callUnderWay_ = false;
    environments_.clear();
    if (walk == Walk::yes) walkProcesses();
    const auto ppp = pppInterfaces();
    const auto pidFiles = readRunDirs();
    auto pppds = livePppds(pidFiles);
    auto unclaimed = claimInterfaces(pppds, ppp);
    if (!walked_ && appearedSinceWalk(unclaimed)) {
        if (walk == Walk::ifNeeded) {
            walkProcesses();
            pppds = livePppds(pidFiles);
            unclaimed = claimInterfaces(pppds, ppp);
        } else {
            wantsWalk_ = true;
        }
    }
    if (walked_) namesAtWalk_ = std::set<std::string>(ppp.begin(), ppp.end());
    pairUnnamedPppds(pppds, unclaimed);

    std::vector<ObservedLink> links;
    for (const auto& pppd : pppds)
        if (pppd.ours && !optionsOf(pppd).vpn) links.push_back(linkOf(pppd));
    for (const auto& ifname : unclaimed) links.push_back(linkOf(ifname));
    // An interface that vanished during the poll leaves nothing to know it by.
    std::erase_if(links, [](const ObservedLink& l) { return l.pid == 0 && l.ifname.empty(); });
    return links;
}

std::map<int, PppdLinkScanner::PidFileFacts> PppdLinkScanner::readRunDirs() {
    std::map<int, PidFileFacts> found;
    for (const auto& dir : paths_.runDirs) readRunDir(dir, found);
    return found;
}

void PppdLinkScanner::readRunDir(const std::string& dir, std::map<int, PidFileFacts>& found) {
    forEachEntry(dir, kMaxRunDirEntries, [&](const std::string& name) {
        if (endsWith(name, ".pid")) readPidFile(dir, name, found);
    });
}

// "ppp-<linkname>.pid" holds the pid and, once it exists, the interface;
// "<ifname>.pid" holds the pid of the pppd that owns that interface. A file
// that names an interface counts only when that interface is a PPP one: a
// stale file whose name or content a VPN's tun0 happens to match says
// nothing. Other daemons' pid files are skipped without reading them.
void PppdLinkScanner::readPidFile(const std::string& dir, const std::string& name, std::map<int, PidFileFacts>& found) {
    const std::string base = name.substr(0, name.size() - 4);
    const bool linkFile = base.rfind("ppp-", 0) == 0 && base.size() > 4;
    if (!linkFile && (!isInterfaceName(base) || !isPppInterface(base))) return;
    const auto text = readSmallFile(dir + "/" + name, 256, true);
    if (!text) return;
    const auto pid = parsePid(firstLine(*text));
    if (!pid) return;
    PidFileFacts facts;
    if (linkFile) {
        facts.linkName = cleanText(base.substr(4), kMaxEntryNameBytes);
        const auto newline = text->find('\n');
        const auto second =
            newline == std::string::npos ? std::string_view{} : firstLine(std::string_view(*text).substr(newline + 1));
        if (isInterfaceName(second)) {
            if (!isPppInterface(std::string(second))) return;
            facts.ifname = second;
        }
    } else {
        facts.ifname = base;
    }
    auto& known = found[*pid];
    mergeFacts(known.linkName, facts.linkName);
    mergeFacts(known.ifname, facts.ifname);
}

// pppd is setuid root on most systems, so its effective user says nothing:
// whose call it is tells its real user.
std::optional<unsigned> PppdLinkScanner::realUid(int pid) const {
    const auto status = readSmallFile(paths_.proc + "/" + std::to_string(pid) + "/status", 4096);
    if (!status) return std::nullopt;
    const auto at = status->find("\nUid:");
    if (at == std::string::npos) return std::nullopt;
    std::string_view line = firstLine(std::string_view(*status).substr(at + 5));
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    const auto uid = parseUnsigned(line.substr(0, std::min(line.find_first_of(" \t"), line.size())));
    if (!uid || *uid > 0xffffffffu) return std::nullopt;
    return static_cast<unsigned>(*uid);
}

void PppdLinkScanner::walkProcesses() {
    walked_ = true;
    walkedPppds_.clear();
    forEachEntry(paths_.proc, kMaxProcesses, [&](const std::string& name) {
        const auto pid = parsePid(name);
        if (!pid) return;
        if (isLivePppd(readProcessStat(paths_.proc, *pid))) walkedPppds_.insert(*pid);
    });
}

// Every live pppd, ours or not: another user's still claims its interface.
std::vector<PppdLinkScanner::Pppd> PppdLinkScanner::livePppds(const std::map<int, PidFileFacts>& pidFiles) {
    std::set<int> candidates = walkedPppds_;
    for (const auto& entry : pidFiles) candidates.insert(entry.first);
    std::vector<Pppd> live;
    std::set<int> alive;
    for (int pid : candidates) {
        const auto stat = readProcessStat(paths_.proc, pid);
        if (!isLivePppd(stat)) continue;
        const auto uid = realUid(pid);
        if (!uid) continue;
        Pppd pppd;
        pppd.pid = pid;
        pppd.startTime = stat->startTime;
        pppd.parent = stat->ppid;
        pppd.ours = uids_.count(*uid) != 0;
        const auto facts = pidFiles.find(pid);
        pppd.fromPidFile = facts != pidFiles.end();
        if (pppd.fromPidFile) pppd.facts = facts->second;
        alive.insert(pid);
        live.push_back(std::move(pppd));
    }
    // pppd forks children for its scripts; until they exec they look like pppd too.
    std::erase_if(live, [&](const Pppd& p) { return !p.fromPidFile && alive.count(p.parent); });
    std::erase_if(walkedPppds_, [&](int pid) { return !alive.count(pid); });
    std::erase_if(optionsCache_, [&](const auto& entry) { return !alive.count(entry.first); });
    return live;
}

// An interface keeps its kernel type for life, so the type is read once per
// name that appears.
std::vector<std::string> PppdLinkScanner::pppInterfaces() {
    std::map<std::string, bool> present;
    forEachEntry(paths_.sysNet, kMaxInterfaces, [&](const std::string& name) {
        if (!isInterfaceName(name)) return;
        const auto known = isPppCache_.find(name);
        if (known != isPppCache_.end()) {
            present.insert(*known);
            return;
        }
        const auto type = readSmallFile(paths_.sysNet + "/" + name + "/type", 16);
        present[name] = type && firstLine(*type) == "512"; // ARPHRD_PPP
    });
    isPppCache_ = std::move(present);
    std::vector<std::string> names;
    for (const auto& [name, isPpp] : isPppCache_)
        if (isPpp) names.push_back(name);
    return names;
}

bool PppdLinkScanner::isPppInterface(const std::string& ifname) {
    const auto known = isPppCache_.find(ifname);
    if (known != isPppCache_.end()) return known->second;
    const auto type = readSmallFile(paths_.sysNet + "/" + ifname + "/type", 16);
    return type && firstLine(*type) == "512"; // appeared since the listing
}

// Each pppd's interface: from its pid file, else from its own options
// ("ifname", "unit"), else from its database entry. Returns the PPP
// interfaces no pppd claims.
std::vector<std::string> PppdLinkScanner::claimInterfaces(std::vector<Pppd>& pppds,
                                                          const std::vector<std::string>& ppp) {
    std::set<std::string> claimed;
    for (auto& pppd : pppds) {
        auto& ifname = pppd.facts.ifname;
        const auto usable = [&](const std::string& name) {
            return isInterfaceName(name) && std::find(ppp.begin(), ppp.end(), name) != ppp.end();
        };
        if (ifname.empty() && usable(optionsOf(pppd).options.ifname)) ifname = optionsOf(pppd).options.ifname;
        if (ifname.empty()) {
            if (const auto& env = environmentOf(pppd.pid)) {
                const auto named = environmentValue(*env, "IFNAME");
                if (named && usable(*named)) ifname = *named;
            }
        }
        if (!ifname.empty()) claimed.insert(ifname);
    }
    std::vector<std::string> unclaimed;
    for (const auto& ifname : ppp)
        if (!claimed.count(ifname)) unclaimed.push_back(ifname);
    return unclaimed;
}

bool PppdLinkScanner::appearedSinceWalk(const std::vector<std::string>& unclaimed) const {
    return std::any_of(unclaimed.begin(), unclaimed.end(),
                       [&](const std::string& ifname) { return !namesAtWalk_.count(ifname); });
}

// A pppd found only in /proc does not say which interface it has. When one
// such pppd and one unclaimed PPP interface exist they are the same link;
// otherwise a nameless pppd is left out rather than listed twice.
void PppdLinkScanner::pairUnnamedPppds(std::vector<Pppd>& pppds, std::vector<std::string>& unclaimed) {
    const auto unnamed = [](const Pppd& p) { return !p.fromPidFile && p.facts.ifname.empty(); };
    const auto count = std::count_if(pppds.begin(), pppds.end(), unnamed);
    if (count == 0 || unclaimed.empty()) return;
    if (count == 1 && unclaimed.size() == 1) {
        std::find_if(pppds.begin(), pppds.end(), unnamed)->facts.ifname = unclaimed.front();
        unclaimed.clear();
        return;
    }
    std::erase_if(pppds, unnamed);
}

// The options as pppd read them, with ~/.ppprc of its real user, and whether
// it carries a VPN: by its options, or because a VPN client started it.
const PppdLinkScanner::CachedOptions& PppdLinkScanner::optionsOf(const Pppd& pppd) {
    auto& cached = optionsCache_[pppd.pid];
    if (cached.startTime == pppd.startTime && cached.startTime != 0) return cached;
    cached = CachedOptions{};
    cached.startTime = pppd.startTime;
    const auto cmdline = readSmallFile(paths_.proc + "/" + std::to_string(pppd.pid) + "/cmdline", kMaxCommandLineBytes);
    std::string userFile;
    if (const auto uid = realUid(pppd.pid); uid && paths_.homeOf)
        if (const auto home = paths_.homeOf(*uid)) userFile = *home + "/.ppprc";
    if (cmdline) cached.options = pppdOptionsAsRead(*cmdline, paths_.etcPpp, userFile);
    const auto parent = readProcessStat(paths_.proc, pppd.parent);
    cached.vpn = carriesVpn(cached.options) || (parent && isVpnClient(parent->comm));
    cached.deviceType = pppDeviceType(cached.options, {});
    if (!cached.options.tty.empty()) {
        const auto product = productOf(ttyBaseName(cached.options.tty));
        cached.deviceName = cleanText(product.empty() ? cached.options.tty : cached.options.tty + " (" + product + ")",
                                      kMaxDeviceNameBytes);
    } else {
        cached.deviceName = cached.options.nic;
    }
    return cached;
}

// pppd's database entry: read at most once a scan.
const std::optional<std::string>& PppdLinkScanner::environmentOf(int pid) {
    const auto known = environments_.find(pid);
    if (known != environments_.end()) return known->second;
    std::optional<std::string> environment;
    for (const auto& dir : paths_.runDirs) {
        environment = pppdScriptEnvironment(dir + "/pppd2.tdb", pid);
        if (environment) break;
    }
    return environments_[pid] = std::move(environment);
}

// The USB device above a serial port knows its product: ttyACM ports hang
// one level below it, ttyUSB ports two.
std::string PppdLinkScanner::productOf(const std::string& tty) const {
    if (tty.empty()) return {};
    for (const char* up : {"/device/../product", "/device/../../product"}) {
        const auto text = readSmallFile(paths_.sysTty + "/" + tty + up, 256);
        if (text) {
            auto product = cleanText(firstLine(*text), 96);
            if (!product.empty()) return product;
        }
    }
    return {};
}

ObservedLink PppdLinkScanner::linkOf(const Pppd& pppd) {
    const auto& cached = optionsOf(pppd);
    ObservedLink link;
    link.pid = pppd.pid;
    link.startTime = pppd.startTime;
    link.ifname = pppd.facts.ifname;
    applyInterfaceState(link);
    const auto& o = cached.options;
    if (link.established) link.established = callUp(pppd, o, link.address);
    const std::initializer_list<const std::string*> names = {&pppd.facts.linkName, &o.linkName, &o.callPeer,
                                                             &link.ifname};
    for (const std::string* name : names) {
        if (!name->empty()) {
            link.entryName = cleanText(*name, kMaxEntryNameBytes);
            break;
        }
    }
    if (link.entryName.empty()) link.entryName = "pppd";
    link.deviceType = cached.deviceType.empty() ? pppDeviceType(o, link.ifname) : cached.deviceType;
    link.deviceName = cached.deviceName.empty() ? link.ifname : cached.deviceName;
    return link;
}

ObservedLink PppdLinkScanner::linkOf(const std::string& ifname) {
    ObservedLink link;
    link.ifname = ifname;
    link.entryName = ifname;
    link.deviceType = pppDeviceType({}, ifname);
    link.deviceName = ifname;
    applyInterfaceState(link);
    return link;
}

// Established = up, running and holding an address beyond the link. An
// interface that has gone leaves its pppd dialling again.
void PppdLinkScanner::applyInterfaceState(ObservedLink& link) {
    if (link.ifname.empty()) return;
    const auto state = reader_.query(link.ifname);
    if (!state) {
        link.ifname.clear();
        return;
    }
    link.address = state->shownAddress();
    link.established = state->established();
    link.interfaceUp = state->up && state->running;
}

// Whether an interface that is up with an address carries a call. pppd's
// database knows, where it has an entry for the pppd: it sets IPLOCAL (or
// LLLOCAL for IPv6) when IP comes up on a call and CONNECT_TIME when the
// call ends, and takes CONNECT_TIME away as the next call starts. IPLOCAL
// stays from the last call while the next one is dialled, so the call is up
// only while pppd also holds its line and its connect script (the dialling)
// is over. This holds whether or not pppd's options could be read.
//
// Without an entry, only a pppd that dials on demand needs more than its
// interface (which it keeps up with addresses from its start to its end);
// when its options could not all be read, it may do so, and is treated alike.
bool PppdLinkScanner::callUp(const Pppd& pppd, const PppdOptions& o, const std::string& address) {
    const auto& env = environmentOf(pppd.pid);
    const bool mayDemand = o.demand || o.unreadable;
    if (!env && !mayDemand) return true; // the interface decides
    std::string tty = ttyBaseName(o.tty);
    if (tty.empty() && env)
        if (const auto device = environmentValue(*env, "DEVICE")) tty = ttyBaseName(*device);
    const bool line = holdsLine(pppd.pid, tty, o);
    if (mayDemand) callUnderWay_ = callUnderWay_ || line;
    const bool dialled = line && !connectScriptRunning(pppd.pid, o);
    if (env)
        return dialled && (environmentSets(*env, "IPLOCAL") || environmentSets(*env, "LLLOCAL")) &&
               !environmentSets(*env, "CONNECT_TIME");
    return dialled && !isDemandStandIn(address);
}

// With "lock" pppd keeps a lock file naming itself for the serial line while
// a call is dialled or up, and removes it as it hangs up. Without one, or
// when an options file we cannot read may have said "nolock", there is
// nothing to tell, and the line counts as held.
bool PppdLinkScanner::holdsLine(int pid, const std::string& tty, const PppdOptions& options) const {
    if (tty.empty() || !options.lock || options.unreadable) return true;
    for (const auto& dir : paths_.lockDirs) {
        const auto text = readSmallFile(dir + "/LCK.." + tty, 64, true);
        if (text && parsePid(firstLine(*text)) == pid) return true;
    }
    return false;
}

// pppd runs its connect script as a child through /bin/sh and waits for it.
// Where its options could not be read, a shell or chat below it is taken
// for the connect script.
bool PppdLinkScanner::connectScriptRunning(int pid, const PppdOptions& options) const {
    if (options.connect.empty() && !options.unreadable) return false;
    std::string program = baseName(options.connect.substr(0, options.connect.find(' '))).substr(0, 15);
    for (int child : childrenOf(pid)) {
        const auto stat = readProcessStat(paths_.proc, child);
        if (!stat) continue;
        if (stat->comm == "sh" || (!program.empty() && stat->comm == program)) return true;
        if (options.unreadable && stat->comm == "chat") return true;
    }
    return false;
}

// The kernel's list of a process's children where it keeps one; elsewhere
// the processes whose parent it is.
std::vector<int> PppdLinkScanner::childrenOf(int pid) const {
    std::vector<int> children;
    const std::string self = std::to_string(pid);
    if (const auto list = readSmallFile(paths_.proc + "/" + self + "/task/" + self + "/children", 4096)) {
        std::string_view rest(*list);
        while (!rest.empty()) {
            const auto end = std::min(rest.find(' '), rest.size());
            if (const auto child = parsePid(rest.substr(0, end))) children.push_back(*child);
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
        return children;
    }
    forEachEntry(paths_.proc, kMaxProcesses, [&](const std::string& name) {
        const auto child = parsePid(name);
        if (!child || *child == pid) return;
        const auto stat = readProcessStat(paths_.proc, *child);
        if (stat && stat->ppid == pid) children.push_back(*child);
    });
    return children;
}

} // namespace velmora
