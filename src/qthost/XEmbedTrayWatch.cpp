#include "qthost/XEmbedTrayWatch.h"

#include <cstdlib>
#include <string>

#include <QSocketNotifier>
#include <xcb/xcb.h>

namespace velmora {

XEmbedTrayWatch::XEmbedTrayWatch(const char* display, std::function<void()> changed) : changed_(std::move(changed)) {
    int screenNumber = 0;
    connection_ = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection_)) return; // no display: no such notification area
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return;
    root_ = screens.data->root;
    selection_ = internAtom(("_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber)).c_str());
    manager_ = internAtom("MANAGER");
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY; // MANAGER goes to the root's structure listeners
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &structure);
    followOwner();
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    readEvents(); // replies may have brought events along
}

XEmbedTrayWatch::~XEmbedTrayWatch() {
    notifier_.reset();
    xcb_disconnect(connection_);
}

std::uint32_t XEmbedTrayWatch::internAtom(const char* name) {
    const auto cookie =
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::char_traits<char>::length(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    const std::uint32_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

// Asks who owns the tray selection now and listens for that window's end.
void XEmbedTrayWatch::followOwner() {
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr);
    owner_ = reply ? reply->owner : 0;
    std::free(reply);
    if (owner_ == 0) return;
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, owner_, XCB_CW_EVENT_MASK, &structure);
    xcb_flush(connection_);
}

void XEmbedTrayWatch::readEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        handle(event);
        std::free(event);
    }
    if (xcb_connection_has_error(connection_)) notifier_->setEnabled(false); // the display has gone
}

void XEmbedTrayWatch::handle(const void* raw) {
    const auto& event = *static_cast<const xcb_generic_event_t*>(raw);
    const bool before = present();
    switch (event.response_type & 0x7f) {
    case XCB_CLIENT_MESSAGE: {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.type == manager_ && message.data.data32[1] == selection_) followOwner();
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& destroyed = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (destroyed.window == owner_) followOwner(); // a successor may have taken over at once
        break;
    }
    case 0: { // an error: the owner's window may have gone before it could be watched
        const auto& error = reinterpret_cast<const xcb_generic_error_t&>(event);
        if (error.error_code == XCB_WINDOW && error.resource_id == owner_) followOwner();
        break;
    }
    default: break;
    }
    if (present() != before && changed_) changed_();
}

} // namespace velmora
