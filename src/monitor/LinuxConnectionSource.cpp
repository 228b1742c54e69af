#include "monitor/LinuxConnectionSource.h"

#include <unistd.h>

#include <QCoreApplication>

namespace velmora {
namespace {

std::vector<std::string> watchedDirs(const PppdPaths& paths) {
    auto dirs = paths.runDirs;
    dirs.insert(dirs.end(), paths.lockDirs.begin(), paths.lockDirs.end());
    return dirs;
}

} // namespace

LinuxConnectionSource::LinuxConnectionSource(std::unique_ptr<InterfaceStateReader> reader, PppdPaths paths,
                                             std::unique_ptr<NetworkManagerLinks> networkManager,
                                             unsigned rescanInterval)
    : reader_(std::move(reader))
    , scanner_(paths, *reader_, {static_cast<unsigned>(::getuid()), static_cast<unsigned>(::geteuid())})
    , events_(watchedDirs(paths))
    , networkManager_(std::move(networkManager))
    , rescanInterval_(rescanInterval) {}

std::unique_ptr<LinuxConnectionSource> LinuxConnectionSource::forThisMachine() {
    std::unique_ptr<NetworkManagerLinks> networkManager;
    if (QCoreApplication::instance())
        networkManager = std::make_unique<NetworkManagerLinks>(QDBusConnection::systemBus());
    return std::make_unique<LinuxConnectionSource>(std::make_unique<KernelInterfaceStateReader>(), PppdPaths{},
                                                   std::move(networkManager));
}

// News, the first poll and the safety interval bring a full look with a walk
// of /proc; a demand call in progress is looked at again every poll without
// the walk, since its coming up may change nothing that is reported.
void LinuxConnectionSource::refreshKernelSide() {
    const bool news = events_.drain();
    const bool due =
        rescans_ == 0 || lookFullyNext_ || (rescanInterval_ != 0 && ++pollsSinceRescan_ >= rescanInterval_);
    lookFullyNext_ = false;
    if (news || due) {
        kernelLinks_ = scanner_.scan(true);
        pollsSinceRescan_ = 0;
        ++rescans_;
    } else if (scanner_.callUnderWay()) {
        kernelLinks_ = scanner_.scan(false);
    }
}

ConnectionList LinuxConnectionSource::list() {
    static const std::vector<ObservedLink> none;
    refreshKernelSide();
    if (networkManager_) networkManager_->takeChangeSignal(); // what it signalled is read now
    const auto& managed = networkManager_ ? networkManager_->links() : none;
    snapshot_ = registry_.update(mergeOrigins(kernelLinks_, managed));
    if (snapshot_.empty()) return {};
    return {static_cast<std::uint32_t>(snapshot_.size()), snapshot_.front().handle, snapshot_.front().link.entryName};
}

std::vector<int> LinuxConnectionSource::changeNotifiers() {
    if (!events_.listening() || scanner_.callUnderWay()) return {};
    lookFullyNext_ = true;
    std::vector<int> descriptors = events_.descriptors();
    if (networkManager_ && networkManager_->changeDescriptor() >= 0)
        descriptors.push_back(networkManager_->changeDescriptor());
    return descriptors;
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
