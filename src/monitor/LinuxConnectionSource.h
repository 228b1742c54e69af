#pragma once
// The dial-up links of a Linux machine: what pppd and the kernel show, merged
// with NetworkManager's active dial-up connections. The kernel side is looked
// at again only when the kernel or pppd's files report a change; a poll
// without news answers from what was seen last.
//
// The source also paces its caller's poll (pollPace): while nothing is
// listed it sleeps until news; news is looked at after a short settling
// delay, so that a burst of it (an interface made, brought up and given its
// addresses) costs one look; files are followed and /proc is walked at most
// once a second however many events arrive; a descriptor that woke the poll
// with nothing that concerns a link rests for a second.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "monitor/ConnectionSource.h"
#include "monitor/InterfaceState.h"
#include "monitor/LinkEvents.h"
#include "monitor/LinkRegistry.h"
#include "monitor/NetworkManagerLinks.h"
#include "monitor/PppdLinkScanner.h"

namespace velmora {

class LinuxConnectionSource : public ConnectionSource {
public:
    // networkManager may be null: that origin is then empty. rescanInterval:
    // polls (or seconds, whichever come first) after which /proc is walked
    // again even without news (a pppd that is dialling may write no file
    // the notifications could report); 1 = every poll, 0 = only on news.
    // nowMs: a millisecond clock that does not go back (tests pass their own).
    LinuxConnectionSource(std::unique_ptr<InterfaceStateReader> reader, const PppdPaths& paths,
                          std::unique_ptr<NetworkManagerLinks> networkManager = nullptr,
                          unsigned rescanInterval = kDefaultRescanInterval,
                          std::function<std::uint64_t()> nowMs = steadyMs);

    static constexpr unsigned kDefaultRescanInterval = 60;
    // News is looked at this long after it woke the poll.
    static constexpr unsigned kSettleMs = 100;
    // /proc is walked at most once in this long, and files' news is followed
    // at most once in this long.
    static constexpr unsigned kLookGapMs = 1000;
    // A descriptor that woke the poll for nothing is not listened to for this long.
    static constexpr unsigned kRestMs = 1000;
    // A link whose interface stays up but loses its address (IP negotiated
    // anew) stays established this long with its last address.
    static constexpr unsigned kAddressGraceMs = 5000;

    static std::uint64_t steadyMs();

    // The kernel, the standard pppd paths and NetworkManager on the system bus.
    // Needs a Qt application object for the bus; without one only pppd counts.
    static std::unique_ptr<LinuxConnectionSource> forThisMachine();

    // Takes this poll's snapshot; status, projectionAddress and counters
    // answer from it.
    ConnectionList list() override;
    ConnectionStatus status(std::uint64_t handle) override;
    std::string projectionAddress(std::uint64_t handle) override;
    std::optional<ByteCounters> counters(std::uint64_t handle) override;
    PollPace pollPace(bool everySecond) override;

    const std::vector<ListedLink>& snapshot() const { return snapshot_; }
    // Looks at the kernel side so far, and walks of /proc among them.
    std::uint64_t rescanCount() const { return rescans_; }
    std::uint64_t walkCount() const { return walks_; }

private:
    struct Tally {
        std::string ifname;
        ByteCounters lastRead;
        ByteCounters total;
    };
    struct LastUp {
        std::uint64_t atMs = 0;
        std::string address;
    };

    const ObservedLink* find(std::uint64_t handle) const;
    void refreshKernelSide(std::uint64_t now);
    void look(std::uint64_t now, bool due);
    void bridgeAddressGaps(std::vector<ObservedLink>& links, std::uint64_t now);
    void readCounters();
    std::vector<int> awakeDescriptors(std::uint64_t now) const;

    std::unique_ptr<InterfaceStateReader> reader_;
    PppdLinkScanner scanner_;
    LinkEvents events_;
    std::unique_ptr<NetworkManagerLinks> networkManager_;
    LinkRegistry registry_;
    unsigned rescanInterval_;
    std::function<std::uint64_t()> now_;
    unsigned pollsSinceWalk_ = 0;
    std::uint64_t rescans_ = 0;
    std::uint64_t walks_ = 0;
    std::uint64_t lastWalkMs_ = 0;
    std::uint64_t lastLookMs_ = 0;
    std::optional<std::uint64_t> lookAtMs_; // a look is due then
    bool walkWanted_ = false;
    bool armed_ = false; // the caller sleeps on the descriptors
    std::uint64_t kernelRestsUntil_ = 0;
    std::uint64_t filesRestUntil_ = 0;
    std::vector<ObservedLink> kernelLinks_;
    std::vector<ListedLink> snapshot_;
    std::map<std::string, LastUp> lastUp_; // by the link's identity
    std::map<std::uint64_t, Tally> tallies_;
    std::deque<std::pair<std::uint64_t, ByteCounters>> goneTallies_; // handles no longer listed
};

} // namespace velmora
