#include "monitor/LinuxConnectionSource.h"

#include <time.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>

namespace velmora {
namespace {

constexpr std::size_t kGoneTalliesKept = 16;

std::string identityOf(const ObservedLink& link) {
    return std::to_string(link.pid) + ":" + std::to_string(link.startTime) + ":" + link.ifname + ":" + link.nmPath;
}

unsigned delayUntil(std::uint64_t at, std::uint64_t now) {
    return at <= now ? 1u : static_cast<unsigned>(std::min<std::uint64_t>(at - now, kQuietPollPeriodMs));
}

// A counter that went back started again from 0 (an interface made anew).
void addGrowth(std::uint64_t& total, std::uint64_t last, std::uint64_t read, bool sameInterface) {
    total += sameInterface && read >= last ? read - last : read;
}

} // namespace

LinuxConnectionSource::LinuxConnectionSource(std::unique_ptr<InterfaceStateReader> reader, const PppdPaths& paths,
                                             std::unique_ptr<NetworkManagerLinks> networkManager,
                                             unsigned rescanInterval, std::function<std::uint64_t()> nowMs)
    : reader_(std::move(reader))
    , scanner_(paths, *reader_, {static_cast<unsigned>(::getuid()), static_cast<unsigned>(::geteuid())})
    , events_(paths.runDirs, paths.lockDirs)
    , networkManager_(std::move(networkManager))
    , rescanInterval_(rescanInterval)
    , now_(std::move(nowMs)) {}

std::uint64_t LinuxConnectionSource::steadyMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

std::unique_ptr<LinuxConnectionSource> LinuxConnectionSource::forThisMachine() {
    std::unique_ptr<NetworkManagerLinks> networkManager;
    if (QCoreApplication::instance())
        networkManager = std::make_unique<NetworkManagerLinks>(QDBusConnection::systemBus());
    return std::make_unique<LinuxConnectionSource>(std::make_unique<KernelInterfaceStateReader>(), PppdPaths{},
                                                   std::move(networkManager));
}

// News brings a look: at once for a caller that asks when it likes, after
// the settling delay for one that slept on the descriptors. The first poll
// and the safety interval bring one with a walk of /proc; a demand call in
// progress is looked at every poll, since its coming up may change nothing
// that is reported.
void LinuxConnectionSource::refreshKernelSide(std::uint64_t now) {
    const LinkNews news = events_.drain();
    if (news.kernelIdle) kernelRestsUntil_ = now + kRestMs;
    if (news.filesIdle) filesRestUntil_ = now + kRestMs;
    if (news.walk || news.lost) walkWanted_ = true;
    if (news.kernel || news.files || news.walk || news.lost) {
        std::uint64_t at = armed_ ? now + kSettleMs : now;
        // A PPP interface's news is looked at soon: it may be a link that
        // completes. Files are followed at most once a second (a service
        // that keeps restarting rewrites its pid file in /run), and news
        // that only a walk can follow waits for the walk it may have.
        if (!news.kernel && !news.lost && news.files && armed_)
            at = std::max(at, lastLookMs_ + kLookGapMs);
        else if (!news.kernel && !news.lost && !news.files && walks_ > 0)
            at = std::max(at, lastWalkMs_ + kLookGapMs);
        lookAtMs_ = lookAtMs_ ? std::min(*lookAtMs_, at) : at;
    }
    ++pollsSinceWalk_;
    const bool due = rescans_ == 0 || (rescanInterval_ != 0 && (pollsSinceWalk_ >= rescanInterval_ ||
                                                                now - lastWalkMs_ >= rescanInterval_ * 1000ull));
    if (due || (lookAtMs_ && now >= *lookAtMs_) || scanner_.callUnderWay()) look(now, due);
}

void LinuxConnectionSource::look(std::uint64_t now, bool due) {
    using Walk = PppdLinkScanner::Walk;
    const bool mayWalk = walks_ == 0 || now - lastWalkMs_ >= kLookGapMs;
    const Walk walk = due ? Walk::yes : !mayWalk ? Walk::no : walkWanted_ ? Walk::yes : Walk::ifNeeded;
    kernelLinks_ = scanner_.scan(walk);
    ++rescans_;
    lastLookMs_ = now;
    if (scanner_.walked()) {
        ++walks_;
        lastWalkMs_ = now;
        pollsSinceWalk_ = 0;
        walkWanted_ = false;
    }
    walkWanted_ = walkWanted_ || scanner_.wantsWalk();
    lookAtMs_.reset();
    if (walkWanted_) lookAtMs_ = lastWalkMs_ + kLookGapMs;
}

ConnectionList LinuxConnectionSource::list() {
    static const std::vector<ObservedLink> none;
    const auto now = now_();
    refreshKernelSide(now);
    armed_ = false;
    if (networkManager_) networkManager_->takeChangeSignal(); // what it signalled is read now
    const auto& managed = networkManager_ ? networkManager_->links() : none;
    auto links = mergeOrigins(kernelLinks_, managed);
    bridgeAddressGaps(links, now);
    snapshot_ = registry_.update(std::move(links));
    readCounters();
    if (snapshot_.empty()) return {};
    return {static_cast<std::uint32_t>(snapshot_.size()), snapshot_.front().handle, snapshot_.front().link.entryName};
}

// IP negotiated anew mid-call takes the address away and gives it back while
// the interface stays up: that is still the same call, not a hang-up and a
// new first unit.
void LinuxConnectionSource::bridgeAddressGaps(std::vector<ObservedLink>& links, std::uint64_t now) {
    std::map<std::string, LastUp> kept;
    for (auto& link : links) {
        const std::string key = identityOf(link);
        if (link.established) {
            kept[key] = {now, link.address};
            continue;
        }
        const auto last = lastUp_.find(key);
        if (last == lastUp_.end() || !link.interfaceUp || !link.address.empty() ||
            now - last->second.atMs > kAddressGraceMs)
            continue;
        link.established = true;
        link.address = last->second.address;
        kept[key] = last->second;
    }
    lastUp_ = std::move(kept);
}

void LinuxConnectionSource::readCounters() {
    std::map<std::uint64_t, Tally> current;
    for (const auto& listed : snapshot_) {
        const auto known = tallies_.find(listed.handle);
        std::optional<Tally> tally;
        if (known != tallies_.end()) tally = known->second;
        const auto& ifname = listed.link.ifname;
        const auto read = ifname.empty() ? std::nullopt : reader_->counters(ifname);
        if (read && !tally) {
            tally = Tally{ifname, *read, *read};
        } else if (read) {
            const bool same = tally->ifname == ifname;
            addGrowth(tally->total.received, tally->lastRead.received, read->received, same);
            addGrowth(tally->total.sent, tally->lastRead.sent, read->sent, same);
            tally->lastRead = *read;
            tally->ifname = ifname;
        }
        if (tally) current[listed.handle] = *tally;
    }
    for (const auto& [handle, tally] : tallies_)
        if (!current.count(handle)) goneTallies_.emplace_front(handle, tally.total);
    while (goneTallies_.size() > kGoneTalliesKept) goneTallies_.pop_back();
    tallies_ = std::move(current);
}

std::optional<ByteCounters> LinuxConnectionSource::counters(std::uint64_t handle) {
    if (const auto known = tallies_.find(handle); known != tallies_.end()) return known->second.total;
    for (const auto& [gone, total] : goneTallies_)
        if (gone == handle) return total;
    return std::nullopt;
}

std::vector<int> LinuxConnectionSource::awakeDescriptors(std::uint64_t now) const {
    std::vector<int> descriptors;
    if (kernelRestsUntil_ <= now) descriptors.push_back(events_.kernelDescriptor());
    if (filesRestUntil_ <= now) descriptors.push_back(events_.fileDescriptor());
    if (networkManager_ && networkManager_->changeDescriptor() >= 0)
        descriptors.push_back(networkManager_->changeDescriptor());
    return descriptors;
}

// Every second while something is metered or a link is listed (woken early
// by news, so that a link that completes is charged at once); asleep until
// news while nothing is listed; a look that is due soon is waited for
// without listening, since it will see what news there is.
PollPace LinuxConnectionSource::pollPace(bool everySecond) {
    const auto now = now_();
    armed_ = false;
    if (everySecond || !events_.listening()) return {kPollPeriodMs, {}};
    if (lookAtMs_ && *lookAtMs_ <= now + kSettleMs) return {delayUntil(*lookAtMs_, now), {}};
    if (lookAtMs_) { // a look put off (files, a walk): a PPP interface's news still brings it on
        std::vector<int> wakeOn;
        if (kernelRestsUntil_ <= now) wakeOn.push_back(events_.kernelDescriptor());
        armed_ = !wakeOn.empty();
        return {delayUntil(*lookAtMs_, now), std::move(wakeOn)};
    }
    const bool quiet = snapshot_.empty() && !scanner_.callUnderWay();
    unsigned period = quiet ? kQuietPollPeriodMs : kPollPeriodMs;
    for (const auto restsUntil : {kernelRestsUntil_, filesRestUntil_})
        if (restsUntil > now) period = std::min(period, delayUntil(restsUntil, now));
    auto wakeOn = awakeDescriptors(now);
    armed_ = !wakeOn.empty();
    return {period, std::move(wakeOn)};
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
