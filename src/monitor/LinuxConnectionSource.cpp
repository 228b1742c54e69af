#include "monitor/LinuxConnectionSource.h"

#include <QCoreApplication>

namespace velmora {

LinuxConnectionSource::LinuxConnectionSource(std::unique_ptr<InterfaceStateReader> reader, PppdPaths paths,
                                             std::unique_ptr<NetworkManagerLinks> networkManager,
                                             unsigned processScanInterval)
    : reader_(std::move(reader)),
      scanner_(std::move(paths), *reader_, processScanInterval),
      networkManager_(std::move(networkManager)) {}

std::unique_ptr<LinuxConnectionSource> LinuxConnectionSource::forThisMachine() {
    std::unique_ptr<NetworkManagerLinks> networkManager;
    if (QCoreApplication::instance()) networkManager = std::make_unique<NetworkManagerLinks>(QDBusConnection::systemBus());
    return std::make_unique<LinuxConnectionSource>(std::make_unique<KernelInterfaceStateReader>(), PppdPaths{},
                                                   std::move(networkManager));
}

ConnectionList LinuxConnectionSource::list() {
    static const std::vector<ObservedLink> none;
    const auto& managed = networkManager_ ? networkManager_->links() : none;
    snapshot_ = registry_.update(mergeOrigins(scanner_.scan(), managed));
    if (snapshot_.empty()) return {};
    return {static_cast<std::uint32_t>(snapshot_.size()), snapshot_.front().handle, snapshot_.front().link.entryName};
}

ConnectionStatus LinuxConnectionSource::status(std::uint64_t handle) {
    const auto* link = find(handle);
    if (!link) return {};
    return {link->established, link->deviceType, link->deviceName};
}

std::string LinuxConnectionSource::projectionAddress(std::uint64_t handle) {
    const auto* link = find(handle);
    return link ? link->address : std::string{};
}

const ObservedLink* LinuxConnectionSource::find(std::uint64_t handle) const {
    for (const auto& listed : snapshot_)
        if (listed.handle == handle && handle != 0) return &listed.link;
    return nullptr;
}

} // namespace velmora
