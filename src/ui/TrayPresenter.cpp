#include "ui/TrayPresenter.h"

#include <utility>

#include "platform/Utf8.h"

namespace velmora {
namespace {
constexpr std::size_t kTooltipMaxChars = 63;
} // namespace

TrayPresenter::TrayPresenter(WindowHost& host, int iconId, int iconResource, const std::string& tooltip)
    : host_(host), iconId_(iconId), iconResource_(iconResource), tooltip_(utf8Prefix(tooltip, kTooltipMaxChars)) {}

bool TrayPresenter::add(WindowId owner, std::vector<TrayAction> actions) {
    owner_ = owner;
    actions_ = std::move(actions);
    return addAgain();
}

bool TrayPresenter::addAgain() {
    available_ = host_.trayNotify(owner_, TrayOp::Add, iconId_, iconResource_, tooltip_);
    if (available_) host_.setTrayMenu(iconId_, items());
    return available_;
}

void TrayPresenter::remove() {
    host_.trayNotify(owner_, TrayOp::Delete, iconId_, iconResource_, tooltip_);
    available_ = false;
}

// Entries are numbered from 1 in the order of the actions.
std::vector<TrayMenuItem> TrayPresenter::items() const {
    std::vector<TrayMenuItem> items;
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        const TrayAction& action = actions_[i];
        items.push_back({static_cast<int>(i) + 1, action.text, static_cast<bool>(action.checked),
                         action.checked && action.checked(), !action.enabled || action.enabled()});
    }
    return items;
}

void TrayPresenter::menuOpening() { host_.setTrayMenu(iconId_, items()); }

void TrayPresenter::choose(int itemId) {
    const bool known = itemId >= 1 && itemId <= static_cast<int>(actions_.size());
    const TrayAction* action = known ? &actions_[static_cast<std::size_t>(itemId - 1)] : nullptr;
    if (action) action->run();
    if (!action || !action->endsRun) host_.setTrayMenu(iconId_, items());
}

bool TrayPresenter::message(const std::string& title, const std::string& text) {
    return owner_ != 0 && host_.trayMessage(owner_, iconId_, title, text);
}

} // namespace velmora
