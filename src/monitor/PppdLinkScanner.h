#pragma once
// The links that pppd and the kernel know of: PPP interfaces in sysfs, the
// interfaces and link names pppd writes into its run directories, and pppd
// processes still dialling.

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
    // pppd 2.4 writes its pid files into /run, 2.5 and later into /run/pppd.
    std::vector<std::string> runDirs = {"/run", "/run/pppd"};
};

class PppdLinkScanner {
public:
    // A pppd without pid files is only found by walking all of /proc, which
    // costs far more than the rest of a poll. The walk runs when pppd's
    // database in a run directory (pppd2.tdb, written as every pppd starts
    // and ends) has changed, and otherwise every processScanInterval-th poll
    // (1 = every poll, 0 = only on a change).
    PppdLinkScanner(PppdPaths paths, InterfaceStateReader& reader, unsigned processScanInterval = 30);

    std::vector<ObservedLink> scan();

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
    void scanProcessesWhenDue();
    std::vector<Pppd> livePppds(const std::map<int, PidFileFacts>& pidFiles);
    bool pppdDatabaseChanged();
    std::vector<std::string> pppInterfaces();
    const CachedOptions& optionsOf(const Pppd& pppd);
    std::string productOf(const std::string& tty) const;
    ObservedLink linkOf(const Pppd& pppd);
    ObservedLink linkOf(const std::string& ifname);
    void applyInterfaceState(ObservedLink& link);
    void pairUnnamedPppds(std::vector<Pppd>& pppds, std::vector<std::string>& unclaimed);

    PppdPaths paths_;
    InterfaceStateReader& reader_;
    unsigned processScanInterval_;
    unsigned pollsUntilProcessScan_ = 0;
    std::set<int> scannedPppds_;
    std::map<int, CachedOptions> optionsCache_;
    std::string databaseStamp_;
    std::map<std::string, bool> isPppCache_; // interface name -> kernel type is PPP
};

} // namespace velmora
