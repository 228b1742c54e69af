#pragma once
// An XEmbed notification area on an X display: the owner of the selection
// _NET_SYSTEM_TRAY_S<screen>. A tray that starts announces itself with a
// MANAGER message to the root window; one that ends destroys its window. The
// watch has an X connection of its own, so that what it asks for cannot
// disturb Qt's, and wakes only for those two messages.

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;
struct xcb_connection_t;

namespace velmora {

class XEmbedTrayWatch {
public:
    // display: as in $DISPLAY. changed() is called whenever present() changes.
    XEmbedTrayWatch(const char* display, std::function<void()> changed);
    ~XEmbedTrayWatch();
    XEmbedTrayWatch(const XEmbedTrayWatch&) = delete;
    XEmbedTrayWatch& operator=(const XEmbedTrayWatch&) = delete;

    bool present() const { return owner_ != 0; }

private:
    std::uint32_t internAtom(const char* name);
    void followOwner();
    void readEvents();
    void handle(const void* event); // an xcb_generic_event_t

    std::function<void()> changed_;
    xcb_connection_t* connection_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::uint32_t root_ = 0;
    std::uint32_t selection_ = 0;
    std::uint32_t manager_ = 0;
    std::uint32_t owner_ = 0;
};

} // namespace velmora
