#pragma once
// News that links may have changed, without asking anyone: the kernel's
// route notifications for links and addresses (rtnetlink) and file
// notifications (inotify) for pid, lock and database files in the
// directories pppd writes to. Both descriptors are non-blocking and drained
// at each poll, so no thread and no event loop is needed.

#include <map>
#include <string>
#include <vector>

namespace velmora {

class LinkEvents {
public:
    // dirs: the directories whose pppd files tell of links coming and going.
    explicit LinkEvents(std::vector<std::string> dirs);
    ~LinkEvents();
    LinkEvents(const LinkEvents&) = delete;
    LinkEvents& operator=(const LinkEvents&) = delete;

    // True when something was reported since the last call, or when a source
    // of news is missing or overflowed: then nothing can be trusted to be as
    // it was, and the caller looks again.
    bool drain();

    // Both kinds of news are coming in.
    bool listening() const { return netlink_ >= 0 && inotify_ >= 0; }

private:
    bool drainNetlink();
    bool drainInotify();
    void watchMissingDirs();

    std::vector<std::string> dirs_;
    std::map<int, std::string> watches_; // watch descriptor -> directory
    int netlink_ = -1;
    int inotify_ = -1;
};

// A file in a run or lock directory whose change can mean a link changed.
bool isLinkFileName(std::string_view name);

} // namespace velmora
