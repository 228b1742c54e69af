#pragma once
// The links that pppd and the kernel know of: PPP interfaces in sysfs, the
// interfaces and link names pppd writes into its run directories, and pppd
// processes still dialling. A link is ours when its pppd's real user is root
// or our own; a pppd of another user, or one that carries a VPN, claims its
// interface but is no link of ours. A PPP interface without any pppd counts.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "monitor/InterfaceState.h"
#include "monitor/ObservedLink.h"
#include "monitor/PppdCommandLine.h"

namespace velmora {

// A user's home directory from the system's user database; nullopt: none.
std::optional<std::string> homeFromPasswd(unsigned uid);

struct PppdPaths {
    std::string sysNet = "/sys/class/net";
    std::string sysTty = "/sys/class/tty";
    std::string proc = "/proc";
    // pppd 2.4 writes its pid files and database into /run, 2.5 and later into /run/pppd.
    std::vector<std::string> runDirs = {"/run", "/run/pppd"};
    std::string etcPpp = "/etc/ppp";
    // Where pppd's "lock" option leaves LCK..<tty> while it holds the line.
    std::vector<std::string> lockDirs = {"/run/lock", "/var/lock"};
    // Where a user's ~/.ppprc is: pppd reads its real user's.
    std::function<std::optional<std::string>(unsigned uid)> homeOf = homeFromPasswd;
};

class PppdLinkScanner {
public:
    // uids: whose pppds are ours besides root's (the program's real and
    // effective user).
    PppdLinkScanner(PppdPaths paths, InterfaceStateReader& reader, std::set<unsigned> uids);

    // A pppd that writes no pid file is found only by walking all of /proc,
    // the costly part: now, never, or only when a PPP interface has appeared
    // since the last walk that no pppd claims.
    enum class Walk { no, ifNeeded, yes };
    std::vector<ObservedLink> scan(Walk walk);

    // The last scan walked /proc.
    bool walked() const { return walked_; }
    // The last scan did not walk but found a PPP interface that no pppd
    // claims and that appeared since the last walk: whose it is needs one.
    bool wantsWalk() const { return wantsWalk_; }
    // A pppd that may dial on demand holds its line: its call coming up or
    // going may leave no trace that notifications report.
    bool callUnderWay() const { return callUnderWay_; }

private:
    struct PidFileFacts {
        std::string linkName;
        std::string ifname;
    };
    struct Pppd {
        int pid = 0;
        std::uint64_t startTime = 0;
        int parent = 0;
        bool ours = false; // its real user is root or ours
        bool fromPidFile = false;
        PidFileFacts facts;
    };
    struct CachedOptions {
        std::uint64_t startTime = 0;
        PppdOptions options;
        std::string deviceType;
        std::string deviceName;
        bool vpn = false;
    };

    std::map<int, PidFileFacts> readRunDirs();
    void readRunDir(const std::string& dir, std::map<int, PidFileFacts>& found);
    void readPidFile(const std::string& dir, const std::string& name, std::map<int, PidFileFacts>& found);
    void walkProcesses();
    std::optional<unsigned> realUid(int pid) const;
    std::vector<Pppd> livePppds(const std::map<int, PidFileFacts>& pidFiles);
    std::vector<std::string> pppInterfaces();
    bool isPppInterface(const std::string& ifname);
    std::vector<std::string> claimInterfaces(std::vector<Pppd>& pppds, const std::vector<std::string>& ppp);
    bool appearedSinceWalk(const std::vector<std::string>& unclaimed) const;
    const CachedOptions& optionsOf(const Pppd& pppd);
    const std::optional<std::string>& environmentOf(int pid);
    std::string productOf(const std::string& tty) const;
    ObservedLink linkOf(const Pppd& pppd);
    ObservedLink linkOf(const std::string& ifname);
    void applyInterfaceState(ObservedLink& link);
    bool callUp(const Pppd& pppd, const PppdOptions& options, const std::string& address);
    bool holdsLine(int pid, const std::string& tty, const PppdOptions& options) const;
    bool connectScriptRunning(int pid, const PppdOptions& options) const;
    std::vector<int> childrenOf(int pid) const;
    void pairUnnamedPppds(std::vector<Pppd>& pppds, std::vector<std::string>& unclaimed);

    PppdPaths paths_;
    InterfaceStateReader& reader_;
    std::set<unsigned> uids_;
    std::set<int> walkedPppds_;
    std::set<std::string> namesAtWalk_; // PPP interfaces there at the last walk
    std::map<int, CachedOptions> optionsCache_;
    std::map<int, std::optional<std::string>> environments_; // pppd's database entries, this scan
    std::map<std::string, bool> isPppCache_;                 // interface name -> kernel type is PPP
    bool callUnderWay_ = false;
    bool walked_ = false;
    bool wantsWalk_ = false;
};

} // namespace velmora
