#pragma once
// The dial-up links of a Linux machine: what pppd and the kernel show, merged
// with NetworkManager's active dial-up connections.

#include <memory>
#include <vector>

#include "monitor/ConnectionSource.h"
#include "monitor/InterfaceState.h"
#include "monitor/LinkRegistry.h"
#include "monitor/NetworkManagerLinks.h"
#include "monitor/PppdLinkScanner.h"

namespace velmora {

class LinuxConnectionSource : public ConnectionSource {
public:
    // networkManager may be null: that origin is then empty.
    LinuxConnectionSource(std::unique_ptr<InterfaceStateReader> reader, PppdPaths paths,
                          std::unique_ptr<NetworkManagerLinks> networkManager = nullptr,
                          unsigned processScanInterval = 30);

    // The kernel, the standard pppd paths and NetworkManager on the system bus.
    // Needs a Qt application object for the bus; without one only pppd counts.
    static std::unique_ptr<LinuxConnectionSource> forThisMachine();

    // Takes this poll's snapshot; status and projectionAddress answer from it.
    ConnectionList list() override;
    ConnectionStatus status(std::uint64_t handle) override;
    std::string projectionAddress(std::uint64_t handle) override;

    const std::vector<ListedLink>& snapshot() const { return snapshot_; }

private:
    const ObservedLink* find(std::uint64_t handle) const;

    std::unique_ptr<InterfaceStateReader> reader_;
    PppdLinkScanner scanner_;
    std::unique_ptr<NetworkManagerLinks> networkManager_;
    LinkRegistry registry_;
    std::vector<ListedLink> snapshot_;
};

} // namespace velmora
