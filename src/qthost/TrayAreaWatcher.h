#pragma once
// Whether the desktop has a notification area, with news when one appears or
// vanishes (a panel that starts after the program, or restarts): either a
// StatusNotifierWatcher with a host on the session bus, or on X11 an owner of
// the system tray selection (XEmbed). Everything is driven by the bus's and
// the X server's own messages; nothing is polled.

#include <functional>
#include <memory>

namespace velmora {

class StatusNotifierWatch;
class XEmbedTrayWatch;

class TrayAreaWatcher {
public:
    // changed(present) is called on the UI thread whenever present() changes.
    explicit TrayAreaWatcher(std::function<void(bool present)> changed);
    ~TrayAreaWatcher();
    TrayAreaWatcher(const TrayAreaWatcher&) = delete;
    TrayAreaWatcher& operator=(const TrayAreaWatcher&) = delete;

    bool present() const;

private:
    void recheck();

    std::function<void(bool)> changed_;
    std::unique_ptr<StatusNotifierWatch> statusNotifier_;
    std::unique_ptr<XEmbedTrayWatch> xembed_;
    bool present_ = false;
};

} // namespace velmora
