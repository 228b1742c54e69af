#pragma once
// The dial-up links of a Linux machine: what pppd and the kernel show, merged
// with NetworkManager's active dial-up connections. The kernel side is looked
// at again only when the kernel or pppd's files report a change; a poll
// without news answers from what was seen last.

#include <memory>
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
    // polls after which everything is looked at again even without news (a
    // pppd that is dialling may write no file the notifications could
    // report); 1 = every poll, 0 = only on news.
    LinuxConnectionSource(std::unique_ptr<InterfaceStateReader> reader, PppdPaths paths,
                          std::unique_ptr<NetworkManagerLinks> networkManager = nullptr,
                          unsigned rescanInterval = kDefaultRescanInterval);

    static constexpr unsigned kDefaultRescanInterval = 60;

    // The kernel, the standard pppd paths and NetworkManager on the system bus.
    // Needs a Qt application object for the bus; without one only pppd counts.
    static std::unique_ptr<LinuxConnectionSource> forThisMachine();

    // Takes this poll's snapshot; status and projectionAddress answer from it.
    ConnectionList list() override;
    ConnectionStatus status(std::uint64_t handle) override;
    std::string projectionAddress(std::uint64_t handle) override;

    const std::vector<ListedLink>& snapshot() const { return snapshot_; }
    // Full looks at the kernel side so far (walks of /proc included).
    std::uint64_t rescanCount() const { return rescans_; }

private:
    const ObservedLink* find(std::uint64_t handle) const;
    void refreshKernelSide();

    std::unique_ptr<InterfaceStateReader> reader_;
    PppdLinkScanner scanner_;
    LinkEvents events_;
    std::unique_ptr<NetworkManagerLinks> networkManager_;
    LinkRegistry registry_;
    unsigned rescanInterval_;
    unsigned pollsSinceRescan_ = 0;
    std::uint64_t rescans_ = 0;
    std::vector<ObservedLink> kernelLinks_;
    std::vector<ListedLink> snapshot_;
};

} // namespace velmora
