#pragma once
// A window's icon in the notification area: the icon with its tooltip, its
// menu built from a list of actions, and messages shown beside it. A new
// entry of the menu is one more action in the list its window hands over.

#include <functional>
#include <string>
#include <vector>

#include "platform/WindowHost.h"

namespace velmora {

struct TrayAction {
    std::string text;
    std::function<void()> run;
    std::function<bool()> checked = {}; // set: a checkable entry, ticked while this says so
    std::function<bool()> enabled = {}; // unset: always enabled
    bool endsRun = false;               // the menu goes with the window: it is not rebuilt after
};

class TrayPresenter {
public:
    // A tooltip is cut to 63 characters, as the notification area takes them.
    TrayPresenter(WindowHost& host, int iconId, int iconResource, const std::string& tooltip);

    // Adds the icon for the window, with its menu; false when there is no
    // notification area to hold it.
    bool add(WindowId owner, std::vector<TrayAction> actions);
    // Adds it again for the same window and actions (a notification area that
    // came back).
    bool addAgain();
    void remove();
    bool available() const { return available_; }

    // The menu is about to open: entries are brought up to date.
    void menuOpening();
    void choose(int itemId);
    // A message beside the icon; false when the icon is not there.
    bool message(const std::string& title, const std::string& text);

private:
    std::vector<TrayMenuItem> items() const;

    WindowHost& host_;
    int iconId_;
    int iconResource_;
    std::string tooltip_;
    WindowId owner_ = 0;
    std::vector<TrayAction> actions_;
    bool available_ = false;
};

} // namespace velmora
