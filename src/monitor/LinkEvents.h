#pragma once
// News that links may have changed, without asking anyone: the kernel's
// route notifications for links and addresses (rtnetlink) and file
// notifications (inotify) for pid, lock and database files in the
// directories pppd writes to. Both descriptors are non-blocking and drained
// at each poll, so no thread and no event loop is needed.
//
// Only news that can concern a dial-up link counts: the kernel passes on
// only PPP interfaces' link news and addresses beyond the link (a socket
// filter), addresses are kept only for interfaces of the PPP kind, and of
// file events only names pppd writes count. The lock directory is world-
// writable, so it is watched for files coming and going only: a user
// touching a file there wakes nothing.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/RouteNetlink.h"

namespace velmora {

struct LinkNews {
    bool kernel = false; // a PPP interface or its addresses changed
    bool files = false;  // pppd wrote or removed a pid file (or its run directory came or went)
    bool walk = false;   // a serial line was locked or freed: a pppd that writes no file yet may have
                         // started, which only a walk of /proc finds
    bool lost = false;   // news were lost (a queue overflowed, a source is missing): look everywhere
    // A descriptor woke with nothing of the sort: the caller may let it rest.
    bool kernelIdle = false;
    bool filesIdle = false;
};

class LinkEvents {
public:
    // runDirs: where pppd writes its pid files and database; lockDirs: where
    // its "lock" option leaves the serial line's lock file.
    LinkEvents(std::vector<std::string> runDirs, std::vector<std::string> lockDirs);
    ~LinkEvents();
    LinkEvents(const LinkEvents&) = delete;
    LinkEvents& operator=(const LinkEvents&) = delete;

    // What was reported since the last call; a missing source of news counts
    // as news lost every time.
    LinkNews drain();

    // Both kinds of news are coming in.
    bool listening() const { return netlink_ >= 0 && inotify_ >= 0; }
    int kernelDescriptor() const { return netlink_; }
    int fileDescriptor() const { return inotify_; }

private:
    enum class DirKind { run, lock };
    struct Watch {
        std::string dir;
        DirKind kind;
    };

    void drainNetlink(LinkNews& news);
    void takeMessage(const void* message, std::size_t size, LinkNews& news);
    void drainInotify(LinkNews& news);
    bool isPppIndex(int index);
    void watchMissingDirs();

    std::vector<Watch> dirs_;
    std::map<int, Watch> watches_; // watch descriptor -> directory
    std::map<int, bool> pppIndex_; // interface index -> of the PPP kind
    RouteNetlink ask_;
    int netlink_ = -1;
    int inotify_ = -1;
};

// A file in a run directory whose change can mean a link changed.
bool isLinkFileName(std::string_view name);
// A file in a lock directory that a pppd holding a serial line leaves.
bool isLineLockName(std::string_view name);

} // namespace velmora
