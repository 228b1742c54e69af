#include "monitor/LinkEvents.h"

#include <linux/if_arp.h>
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

constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// pppd writes its pid files whole and closes them; its database changes in
// place (a mapped file), which no event reports anyway.
constexpr std::uint32_t kRunDirEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_CLOSE_WRITE | kSelfEvents;
// A lock file tells by being there; its content is written as it is made.
constexpr std::uint32_t kLockDirEvents = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | kSelfEvents;
constexpr std::size_t kMaxKnownIndexes = 65536;

int openNetlink() {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return -1;
    filterLinkNews(fd); // without the filter everything comes through and is sorted here
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

template <typename T>
T copied(const void* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

bool isLinkFileName(std::string_view name) {
    return endsWith(name, ".pid") || name == "pppd2.tdb" || name == "pppd" || name == "lock";
}

bool isLineLockName(std::string_view name) { return name.substr(0, 5) == "LCK.." && name.size() > 5; }

LinkEvents::LinkEvents(std::vector<std::string> runDirs, std::vector<std::string> lockDirs)
    : netlink_(openNetlink()), inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    for (auto& dir : runDirs) dirs_.push_back({std::move(dir), DirKind::run});
    for (auto& dir : lockDirs) dirs_.push_back({std::move(dir), DirKind::lock});
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
            std::any_of(watches_.begin(), watches_.end(), [&](const auto& w) { return w.second.dir == dir.dir; });
        if (watched) continue;
        const auto mask = dir.kind == DirKind::run ? kRunDirEvents : kLockDirEvents;
        const int wd = ::inotify_add_watch(inotify_, dir.dir.c_str(), mask);
        if (wd >= 0) watches_[wd] = dir;
    }
}

LinkNews LinkEvents::drain() {
    // Both are drained every time: news left in a queue would be news next time.
    LinkNews news;
    drainNetlink(news);
    drainInotify(news);
    if (!listening()) news.lost = true;
    return news;
}

void LinkEvents::drainNetlink(LinkNews& news) {
    if (netlink_ < 0) return;
    alignas(nlmsghdr) char buffer[8192];
    bool any = false;
    for (;;) {
        const ssize_t got = ::recv(netlink_, buffer, sizeof buffer, MSG_TRUNC);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == ENOBUFS) { // the kernel dropped messages; what they said is unknown
            news.lost = true;
            continue;
        }
        if (got <= 0) break;
        any = true;
        if (static_cast<std::size_t>(got) > sizeof buffer) { // cut short: read what is whole
            news.lost = true;
            continue;
        }
        takeMessage(buffer, static_cast<std::size_t>(got), news);
    }
    if (any && !news.kernel && !news.lost) news.kernelIdle = true;
}

void LinkEvents::takeMessage(const void* message, std::size_t size, LinkNews& news) {
    int left = static_cast<int>(size);
    for (const auto* header = static_cast<const nlmsghdr*>(message); NLMSG_OK(header, left);
         header = NLMSG_NEXT(header, left)) {
        const auto type = header->nlmsg_type;
        if (type == RTM_NEWLINK || type == RTM_DELLINK) {
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) continue;
            const auto info = copied<ifinfomsg>(NLMSG_DATA(header));
            if (info.ifi_type != ARPHRD_PPP) continue;
            if (pppIndex_.size() >= kMaxKnownIndexes) pppIndex_.clear();
            if (type == RTM_NEWLINK)
                pppIndex_[info.ifi_index] = true;
            else
                pppIndex_.erase(info.ifi_index);
            news.kernel = true;
        } else if (type == RTM_NEWADDR || type == RTM_DELADDR) {
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) continue;
            const auto info = copied<ifaddrmsg>(NLMSG_DATA(header));
            if (info.ifa_scope < RT_SCOPE_LINK && isPppIndex(static_cast<int>(info.ifa_index))) news.kernel = true;
        } else if (type == NLMSG_ERROR || type == NLMSG_OVERRUN) {
            news.lost = true;
        }
    }
}

// An index first seen in address news is asked about once; interface
// indexes are not handed out again, so the answer holds.
bool LinkEvents::isPppIndex(int index) {
    const auto known = pppIndex_.find(index);
    if (known != pppIndex_.end()) return known->second;
    const auto facts = ask_.byIndex(index);
    const bool ppp = facts && facts->type == ARPHRD_PPP;
    if (pppIndex_.size() >= kMaxKnownIndexes) pppIndex_.clear();
    if (facts) pppIndex_[index] = ppp;
    return ppp;
}

void LinkEvents::drainInotify(LinkNews& news) {
    if (inotify_ < 0) return;
    alignas(inotify_event) char buffer[4096];
    bool any = false, rewatch = false;
    for (;;) {
        const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        any = true;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto event = copied<inotify_event>(buffer + at);
            const std::string_view name(buffer + at + sizeof event, ::strnlen(buffer + at + sizeof event, event.len));
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                news.lost = true;
                rewatch = true;
                continue;
            }
            const auto watch = watches_.find(event.wd);
            if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                news.files = rewatch = true;
                if ((event.mask & IN_IGNORED) && watch != watches_.end()) watches_.erase(watch);
                continue;
            }
            if (watch == watches_.end()) continue;
            if (watch->second.kind == DirKind::lock && isLineLockName(name)) {
                news.walk = true;
            } else if (watch->second.kind == DirKind::run && isLinkFileName(name)) {
                news.files = true;
                rewatch = rewatch || (event.mask & IN_ISDIR);
            }
        }
    }
    if (rewatch) watchMissingDirs();
    if (any && !news.files && !news.walk && !news.lost) news.filesIdle = true;
}

} // namespace velmora
