#pragma once
// The links that pppd and the kernel know of: PPP interfaces in sysfs, the
// interfaces and link names pppd writes into its run directories, and pppd
// processes still dialling. Only pppds of root or of our own user count.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "monitor/InterfaceState.h"
#include "monitor/ObservedLink.h"
#include "monitor/PppdCommandLine.h"

namespace velmora {

struct PppdPaths {
    std::string sysNet = "/sys/class/net";
    std::string sysTty = "/sys/class/tty";
    std::string proc = "/proc";
    // pppd 2.4 writes its pid files and database into /run, 2.5 and later into /run/pppd.
    std::vector<std::string> runDirs = {"/run", "/run/pppd"};
    std::string etcPpp = "/etc/ppp";
    // Where pppd's "lock" option leaves LCK..<tty> while it holds the line.
    std::vector<std::string> lockDirs = {"/run/lock", "/var/lock"};
};

class PppdLinkScanner {
public:
    // uids: whose pppds are ours besides root's (the program's real and
    // effective user).
    PppdLinkScanner(PppdPaths paths, InterfaceStateReader& reader, std::set<unsigned> uids);

    // Looks at everything again. A pppd that writes no pid file is found only
    // by walking all of /proc, the costly part: walkProcesses says whether to
    // do it now or trust the last walk.
    std::vector<ObservedLink> scan(bool walkProcesses);

    // A pppd in demand mode holds its line but its call is not up yet: the
    // moment it comes up may leave no trace that notifications report.
    bool callUnderWay() const { return callUnderWay_; }

private:
    struct PidFileFacts {
        std::string linkName;
        std::string ifname;
    };
    struct Pppd {
        int pid = 0;
        std::uint64_t startTime = 0;
        bool fromPidFile = false;
        PidFileFacts facts;
    };
    struct CachedOptions {
        std::uint64_t startTime = 0;
        PppdOptions options;
        std::string deviceType;
        std::string deviceName;
    };

    std::map<int, PidFileFacts> readRunDirs();
    void readRunDir(const std::string& dir, std::map<int, PidFileFacts>& found);
    void readPidFile(const std::string& dir, const std::string& name, std::map<int, PidFileFacts>& found);
    void walkProcesses();
    bool isOurs(int pid) const;
    std::vector<Pppd> livePppds(const std::map<int, PidFileFacts>& pidFiles);
    std::vector<std::string> pppInterfaces();
    const CachedOptions& optionsOf(const Pppd& pppd);
    std::string productOf(const std::string& tty) const;
    ObservedLink linkOf(const Pppd& pppd);
    ObservedLink linkOf(const std::string& ifname);
    void applyInterfaceState(ObservedLink& link);
    bool demandCallUp(const Pppd& pppd, const PppdOptions& options);
    bool holdsLine(int pid, const PppdOptions& options) const;
    bool connectScriptRunning(int pid, const PppdOptions& options) const;
    std::vector<int> childrenOf(int pid) const;
    void pairUnnamedPppds(std::vector<Pppd>& pppds, std::vector<std::string>& unclaimed);

    PppdPaths paths_;
    InterfaceStateReader& reader_;
    std::set<unsigned> uids_;
    std::set<int> walkedPppds_;
    std::map<int, CachedOptions> optionsCache_;
    std::map<std::string, bool> isPppCache_; // interface name -> kernel type is PPP
    bool callUnderWay_ = false;
};

} // namespace velmora
