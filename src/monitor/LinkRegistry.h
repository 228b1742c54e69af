#pragma once
// Gives every link a handle that stays the same while the link lives, and
// orders the list: established links first, the one up longest first, then
// links still dialling in the order they were first seen.

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/ObservedLink.h"

namespace velmora {

struct ListedLink {
    std::uint64_t handle = 0; // never 0 for a listed link
    ObservedLink link;
};

// One list from both origins: a link NetworkManager reports on an interface
// that the kernel side knows too is listed once, with NetworkManager's names
// and the kernel's fresher state and address.
std::vector<ObservedLink> mergeOrigins(std::vector<ObservedLink> kernel, const std::vector<ObservedLink>& manager);

class LinkRegistry {
public:
    // This poll's links in that order, each with its handle. Links that come
    // up (or are first seen) at the same poll are ordered by their pppd's
    // start, then by name.
    std::vector<ListedLink> update(std::vector<ObservedLink> observed);

private:
    struct Tracked {
        std::uint64_t handle = 0;
        std::uint64_t order = 0;   // first seen
        std::uint64_t upOrder = 0; // came up; 0 while not established
        int pid = 0;
        std::uint64_t startTime = 0;
        std::string ifname;
        std::string nmPath;
    };

    Tracked* match(const ObservedLink& link, std::vector<bool>& taken);
    static void remember(Tracked& tracked, const ObservedLink& link);

    std::vector<Tracked> tracked_;
    std::uint64_t nextHandle_ = 1;
    std::uint64_t nextOrder_ = 0;
    std::uint64_t nextUpOrder_ = 1;
};

} // namespace velmora
