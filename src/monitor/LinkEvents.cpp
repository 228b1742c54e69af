#include "monitor/LinkEvents.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora {
namespace {

constexpr std::uint32_t kDirEvents = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_CLOSE_WRITE | IN_MODIFY |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

int openNetlink() {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

bool isLinkFileName(std::string_view name) {
    return endsWith(name, ".pid") || name == "pppd2.tdb" || name.substr(0, 5) == "LCK.." || name == "pppd" ||
           name == "lock";
}

LinkEvents::LinkEvents(std::vector<std::string> dirs)
    : dirs_(std::move(dirs)), netlink_(openNetlink()), inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    watchMissingDirs();
}

LinkEvents::~LinkEvents() {
    if (netlink_ >= 0) ::close(netlink_);
    if (inotify_ >= 0) ::close(inotify_);
}

// A directory that does not exist yet (pppd makes /run/pppd on its first
// start) is watched from the moment it appears: its parent's creation event
// brings us here again.
void LinkEvents::watchMissingDirs() {
    if (inotify_ < 0) return;
    for (const auto& dir : dirs_) {
        const bool watched =
            std::any_of(watches_.begin(), watches_.end(), [&](const auto& w) { return w.second == dir; });
        if (watched) continue;
        const int wd = ::inotify_add_watch(inotify_, dir.c_str(), kDirEvents);
        if (wd >= 0) watches_[wd] = dir;
    }
}

bool LinkEvents::drain() {
    // Both are drained every time: news left in a queue would be news next time.
    const bool links = drainNetlink();
    const bool files = drainInotify();
    return links || files || !listening();
}

bool LinkEvents::drainNetlink() {
    if (netlink_ < 0) return true;
    alignas(nlmsghdr) char buffer[8192];
    bool news = false;
    for (;;) {
        const ssize_t got = ::recv(netlink_, buffer, sizeof buffer, 0);
        if (got > 0) {
            news = true; // any link or address message: which one does not matter
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        // ENOBUFS: the kernel dropped messages; what they said is unknown.
        if (got < 0 && errno == ENOBUFS) news = true;
        return news;
    }
}

bool LinkEvents::drainInotify() {
    if (inotify_ < 0) return true;
    alignas(inotify_event) char buffer[4096];
    bool news = false, rewatch = false;
    for (;;) {
        const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const std::string_view name(buffer + at + sizeof event, ::strnlen(buffer + at + sizeof event, event.len));
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                news = rewatch = true;
                if (event.mask & IN_IGNORED) watches_.erase(event.wd);
            } else if (isLinkFileName(name)) {
                news = true;
                rewatch = rewatch || (event.mask & IN_ISDIR);
            }
        }
    }
    if (rewatch) watchMissingDirs();
    return news;
}

} // namespace velmora
