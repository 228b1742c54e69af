#include "monitor/LinkRegistry.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace velmora {
namespace {

void takeWhenKnown(std::string& into, const std::string& from) {
    if (!from.empty()) into = from;
}

bool samePppd(int pidA, std::uint64_t startA, int pidB, std::uint64_t startB) {
    return pidA != 0 && pidA == pidB && startA == startB;
}

bool differentPppd(int pidA, std::uint64_t startA, int pidB, std::uint64_t startB) {
    return pidA != 0 && pidB != 0 && !samePppd(pidA, startA, pidB, startB);
}

} // namespace

std::vector<ObservedLink> mergeOrigins(std::vector<ObservedLink> kernel, const std::vector<ObservedLink>& manager) {
    for (const auto& nm : manager) {
        const auto same = std::find_if(kernel.begin(), kernel.end(), [&](const ObservedLink& k) {
            return !nm.ifname.empty() && k.ifname == nm.ifname;
        });
        if (same == kernel.end()) {
            kernel.push_back(nm);
            continue;
        }
        same->nmPath = nm.nmPath;
        takeWhenKnown(same->entryName, nm.entryName);
        takeWhenKnown(same->deviceType, nm.deviceType);
        takeWhenKnown(same->deviceName, nm.deviceName);
    }
    return kernel;
}

LinkRegistry::Tracked* LinkRegistry::match(const ObservedLink& link, std::vector<bool>& taken) {
    const auto find = [&](auto&& same) -> Tracked* {
        for (std::size_t i = 0; i < tracked_.size(); ++i) {
            if (!taken[i] && same(tracked_[i])) {
                taken[i] = true;
                return &tracked_[i];
            }
        }
        return nullptr;
    };
    if (auto* t = find([&](const Tracked& t) { return samePppd(t.pid, t.startTime, link.pid, link.startTime); }))
        return t;
    if (auto* t = find([&](const Tracked& t) {
            return !link.ifname.empty() && t.ifname == link.ifname &&
                   !differentPppd(t.pid, t.startTime, link.pid, link.startTime);
        }))
        return t;
    return find([&](const Tracked& t) { return !link.nmPath.empty() && t.nmPath == link.nmPath; });
}

void LinkRegistry::remember(Tracked& tracked, const ObservedLink& link) {
    if (link.pid != 0) {
        tracked.pid = link.pid;
        tracked.startTime = link.startTime;
    }
    takeWhenKnown(tracked.ifname, link.ifname);
    takeWhenKnown(tracked.nmPath, link.nmPath);
}

std::vector<ListedLink> LinkRegistry::update(std::vector<ObservedLink> observed) {
    // New links get their order in a fixed sequence: oldest pppd first.
    const auto age = [](const ObservedLink& l) {
        return std::tuple(l.startTime == 0 ? std::numeric_limits<std::uint64_t>::max() : l.startTime, l.entryName,
                          l.ifname, l.nmPath);
    };
    std::stable_sort(observed.begin(), observed.end(),
                     [&](const ObservedLink& a, const ObservedLink& b) { return age(a) < age(b); });

    std::vector<bool> taken(tracked_.size(), false);
    using Place = std::tuple<bool, std::uint64_t>; // (dialling, order among its kind)
    std::vector<std::pair<Place, ListedLink>> listed;
    std::vector<Tracked> added;
    added.reserve(observed.size()); // pointers into it stay valid
    for (auto& link : observed) {
        Tracked* tracked = match(link, taken);
        if (!tracked) {
            added.push_back(Tracked{nextHandle_++, nextOrder_++, 0, 0, 0, {}, {}});
            tracked = &added.back();
        }
        remember(*tracked, link);
        if (!link.established)
            tracked->upOrder = 0;
        else if (tracked->upOrder == 0)
            tracked->upOrder = nextUpOrder_++;
        const Place place{!link.established, link.established ? tracked->upOrder : tracked->order};
        listed.push_back({place, ListedLink{tracked->handle, std::move(link)}});
    }
    std::vector<Tracked> kept;
    for (std::size_t i = 0; i < tracked_.size(); ++i)
        if (taken[i]) kept.push_back(std::move(tracked_[i]));
    kept.insert(kept.end(), added.begin(), added.end());
    tracked_ = std::move(kept);

    std::stable_sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ListedLink> result;
    result.reserve(listed.size());
    for (auto& entry : listed) result.push_back(std::move(entry.second));
    return result;
}

} // namespace velmora
