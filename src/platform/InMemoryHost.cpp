#include "platform/InMemoryHost.h"

#include <poll.h>

#include <algorithm>

#include "platform/Utf8.h"

namespace velmora {

namespace {

bool isListKind(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::DropDownCombo || kind == ControlKind::ListBox;
}

bool inRange(int index, const std::vector<std::string>& items) {
    return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

} // namespace

InMemoryHost::InMemoryHost(VirtualClock& clock) : clock_(clock) {}
InMemoryHost::~InMemoryHost() = default;

// ---- lookup ---------------------------------------------------------------

InMemoryHost::Window* InMemoryHost::findWindow(WindowId window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

const InMemoryHost::Window* InMemoryHost::findWindow(WindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

InMemoryHost::Control* InMemoryHost::findControl(WindowId window, int controlId) {
    return const_cast<Control*>(std::as_const(*this).findControl(window, controlId));
}

const InMemoryHost::Control* InMemoryHost::findControl(WindowId window, int controlId) const {
    const Window* w = findWindow(window);
    if (!w || controlId == -1) return nullptr;
    for (const Control& c : w->controls)
        if (c.tmpl.id == controlId) return &c;
    return nullptr;
}

InMemoryHost::Control* InMemoryHost::findListControl(WindowId window, int controlId) {
    return const_cast<Control*>(std::as_const(*this).findListControl(window, controlId));
}

const InMemoryHost::Control* InMemoryHost::findListControl(WindowId window, int controlId) const {
    const Control* c = findControl(window, controlId);
    return c && isListKind(c->tmpl.kind) ? c : nullptr;
}

InMemoryHost::ModalRun* InMemoryHost::findRun(WindowId window) {
    for (ModalRun& run : runs_)
        if (run.window == window) return &run;
    return nullptr;
}

// A window takes user input while it is shown and no modal run lies above it.
InMemoryHost::Window* InMemoryHost::acceptingInput(WindowId window) {
    Window* w = findWindow(window);
    if (!w || w->mode == ShowMode::Hidden || window != topWindow()) return nullptr;
    return w;
}

InMemoryHost::Control* InMemoryHost::acceptingInput(WindowId window, int controlId) {
    if (!acceptingInput(window)) return nullptr;
    Control* c = findControl(window, controlId);
    return c && c->enabled && c->tmpl.visible ? c : nullptr;
}

// ---- modal runs -------------------------------------------------------------

int InMemoryHost::runModal(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner) {
    const WindowId window = createWindow(tmpl, handler, owner);
    runs_.push_back(ModalRun{window});
    handler.onInitDialog(window);
    runUntilEnded(window);
    const int result = findRun(window)->result;
    handler.onDestroy();
    destroyWindow(window);
    runs_.pop_back();
    return result;
}

WindowId InMemoryHost::createWindow(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner) {
    auto w = std::make_unique<Window>();
    w->templateId = tmpl.id;
    w->minimizeBox = tmpl.minimizeBox;
    w->caption = tmpl.caption;
    w->handler = &handler;
    w->owner = owner;
    for (const ControlTemplate& ct : tmpl.controls) {
        Control c;
        c.tmpl = ct;
        if (!isListKind(ct.kind)) c.text = ct.text;
        w->controls.push_back(std::move(c));
    }
    const WindowId id = nextWindowId_++;
    windows_.emplace(id, std::move(w));
    return id;
}

void InMemoryHost::runUntilEnded(WindowId window) {
    while (!findRun(window)->ended) {
        if (steps_.empty()) {
            scriptRanOut_ = true;
            endDialog(window, IdCancel);
            break;
        }
        auto step = std::move(steps_.front());
        steps_.pop_front();
        step();
    }
}

void InMemoryHost::destroyWindow(WindowId window) {
    std::erase_if(timers_, [window](const auto& entry) { return entry.first.first == window; });
    std::erase_if(readWatches_, [window](const auto& entry) { return entry.first.first == window; });
    if (foreground_ == window) foreground_ = 0;
    windows_.erase(window);
}

void InMemoryHost::endDialog(WindowId window, int result) {
    ModalRun* run = findRun(window);
    if (!run) return;
    run->ended = true; // a later call before the run returns replaces the result
    run->result = result;
}

void InMemoryHost::script(std::vector<std::function<void()>> steps) {
    for (auto& step : steps) steps_.push_back(std::move(step));
}

WindowId InMemoryHost::topWindow() const { return runs_.empty() ? 0 : runs_.back().window; }

// ---- texts --------------------------------------------------------------------

void InMemoryHost::setText(WindowId window, int controlId, const std::string& text) {
    Control* c = findControl(window, controlId);
    // A list's text is its selected entry; there is nothing to set.
    if (!c || c->tmpl.kind == ControlKind::DropDownList || c->tmpl.kind == ControlKind::ListBox) return;
    c->text = text;
}

std::string InMemoryHost::text(WindowId window, int controlId, std::size_t maxChars) const {
    const Control* c = findControl(window, controlId);
    if (!c) return {};
    const bool showsSelection = c->tmpl.kind == ControlKind::DropDownList || c->tmpl.kind == ControlKind::ListBox;
    if (!showsSelection) return utf8Prefix(c->text, maxChars);
    return inRange(c->selection, c->items) ? utf8Prefix(c->items[c->selection], maxChars) : std::string{};
}

void InMemoryHost::setCaption(WindowId window, const std::string& caption) {
    if (Window* w = findWindow(window)) w->caption = caption;
}

std::string InMemoryHost::caption(WindowId window) const {
    const Window* w = findWindow(window);
    return w ? w->caption : std::string{};
}

// ---- combo and list boxes -------------------------------------------------------

int InMemoryHost::addString(WindowId window, int controlId, const std::string& text) {
    Control* c = findListControl(window, controlId);
    if (!c) return -1;
    auto pos = c->tmpl.sorted ? std::upper_bound(c->items.begin(), c->items.end(), text) : c->items.end();
    const int index = static_cast<int>(pos - c->items.begin());
    c->items.insert(pos, text);
    if (c->selection >= index) ++c->selection; // the selected entry stays selected
    return index;
}

void InMemoryHost::select(Control& c, int index) {
    c.selection = index;
    if (c.tmpl.kind == ControlKind::DropDownCombo) c.text = index < 0 ? std::string{} : c.items[index];
}

void InMemoryHost::setCurSel(WindowId window, int controlId, int index) {
    Control* c = findListControl(window, controlId);
    if (c && (index == -1 || inRange(index, c->items))) select(*c, index);
}

int InMemoryHost::curSel(WindowId window, int controlId) const {
    const Control* c = findListControl(window, controlId);
    return c ? c->selection : -1;
}

std::string InMemoryHost::itemText(WindowId window, int controlId, int index) const {
    const Control* c = findListControl(window, controlId);
    return c && inRange(index, c->items) ? c->items[index] : std::string{};
}

int InMemoryHost::count(WindowId window, int controlId) const {
    const Control* c = findListControl(window, controlId);
    return c ? static_cast<int>(c->items.size()) : 0;
}

void InMemoryHost::deleteString(WindowId window, int controlId, int index) {
    Control* c = findListControl(window, controlId);
    if (!c || !inRange(index, c->items)) return;
    c->items.erase(c->items.begin() + index);
    if (c->selection == index)
        c->selection = -1;
    else if (c->selection > index)
        --c->selection;
}

// ---- buttons and controls ----------------------------------------------------------

void InMemoryHost::setChecked(WindowId window, int controlId, bool checked) {
    if (Control* c = findControl(window, controlId)) c->checked = checked;
}

bool InMemoryHost::isChecked(WindowId window, int controlId) const {
    const Control* c = findControl(window, controlId);
    return c && c->checked;
}

void InMemoryHost::enable(WindowId window, int controlId, bool enabled) {
    if (Control* c = findControl(window, controlId)) c->enabled = enabled;
}

bool InMemoryHost::isEnabled(WindowId window, int controlId) const {
    const Control* c = findControl(window, controlId);
    return c && c->enabled;
}

// ---- window state ---------------------------------------------------------------------

bool InMemoryHost::guardPasses(WindowId window) {
    Window* w = findWindow(window);
    if (!w) return false;
    if (!w->handler->onWindowPosChanging()) return true;
    ++w->vetoed;
    return false;
}

void InMemoryHost::show(WindowId window, ShowMode mode) {
    if (mode != ShowMode::Hidden && !guardPasses(window)) return;
    if (Window* w = findWindow(window)) w->mode = mode;
}

bool InMemoryHost::isMinimized(WindowId window) const { return showMode(window) == ShowMode::Minimized; }
bool InMemoryHost::isVisible(WindowId window) const { return showMode(window) != ShowMode::Hidden; }

// A modal run above the window takes the activation: its owner takes no input.
void InMemoryHost::setForeground(WindowId window) {
    if (!guardPasses(window)) return;
    const bool runAbove =
        std::any_of(runs_.begin(), runs_.end(), [window](const ModalRun& r) { return r.window == window; }) &&
        topWindow() != window;
    foreground_ = runAbove ? topWindow() : window;
}

void InMemoryHost::centerOnWorkArea(WindowId window) {
    if (guardPasses(window)) ++findWindow(window)->centred;
}

void InMemoryHost::setWindowIcon(WindowId window, int iconResource) {
    if (Window* w = findWindow(window)) w->icon = iconResource;
}

// ---- timers ----------------------------------------------------------------------------

void InMemoryHost::setTimer(WindowId window, int timerId, unsigned periodMs) {
    if (!findWindow(window)) return;
    const unsigned period = std::max(periodMs, 1u); // a zero period must not stall time
    timers_[{window, timerId}] = Timer{period, clock_.tickMs() + period, ++timerSeq_};
}

void InMemoryHost::killTimer(WindowId window, int timerId) { timers_.erase({window, timerId}); }

void InMemoryHost::wakeOnReadable(WindowId window, int timerId, const std::vector<int>& descriptors) {
    if (descriptors.empty() || !findWindow(window))
        readWatches_.erase({window, timerId});
    else
        readWatches_[{window, timerId}] = descriptors;
}

// Descriptors are real (pipes, sockets): whatever is readable when virtual
// time moves on wakes its timer first, as it would at once on a real host.
void InMemoryHost::advance(unsigned ms) {
    const std::uint64_t target = clock_.tickMs() + ms;
    while (fireReadableWatch() || fireNextTimerDueBy(target)) {}
    if (clock_.tickMs() < target) clock_.advance(target - clock_.tickMs());
}

bool InMemoryHost::fireReadableWatch() {
    for (auto it = readWatches_.begin(); it != readWatches_.end(); ++it) {
        std::vector<pollfd> fds;
        for (int fd : it->second) fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 0) <= 0) continue;
        const auto [window, timerId] = it->first;
        readWatches_.erase(it); // the handler may watch again
        if (Window* w = findWindow(window)) w->handler->onTimer(timerId);
        return true;
    }
    return false;
}

// Delivers the earliest timer due by targetMs; false when none is. The timer is
// rescheduled before its handler runs, so that a handler that re-arms or kills
// it has the last word.
bool InMemoryHost::fireNextTimerDueBy(std::uint64_t targetMs) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        const Timer& t = it->second;
        if (t.dueMs > targetMs) continue;
        if (next == timers_.end() || t.dueMs < next->second.dueMs ||
            (t.dueMs == next->second.dueMs && t.armedSeq < next->second.armedSeq))
            next = it;
    }
    if (next == timers_.end()) return false;
    const auto [window, timerId] = next->first;
    Timer& timer = next->second;
    if (clock_.tickMs() < timer.dueMs) clock_.advance(timer.dueMs - clock_.tickMs());
    timer.dueMs += timer.periodMs;
    findWindow(window)->handler->onTimer(timerId);
    return true;
}

// ---- message box, sound, tray ------------------------------------------------------------

void InMemoryHost::openMessageBox(MessageBoxRecord record) {
    ++messageBoxCount_;
    ++questionBoxesOpen_; // any box lies above every window while it is open
    lastMessageBox_ = std::move(record);
    if (messageBoxStep_ && !messageBoxStepRunning_) {
        messageBoxStepRunning_ = true;
        auto step = messageBoxStep_; // the step may replace the hook while it runs
        step();
        messageBoxStepRunning_ = false;
    }
    --questionBoxesOpen_;
}

int InMemoryHost::askYesNo(WindowId owner, const std::string& text, const std::string& caption) {
    openMessageBox({owner, text, caption, MessageBoxKind::Question});
    return messageBoxAnswer_;
}

void InMemoryHost::inform(WindowId owner, const std::string& text, const std::string& caption) {
    openMessageBox({owner, text, caption, MessageBoxKind::Information});
}

void InMemoryHost::beep() { ++beepCount_; }

bool InMemoryHost::trayNotify(WindowId owner, TrayOp op, int iconId, int iconResource, const std::string& tooltip) {
    if (op == TrayOp::Delete) {
        trayMenus_.erase(iconId);
        return trayIcons_.erase(iconId) != 0;
    }
    if (!trayAvailable_ || !findWindow(owner) || trayIcons_.count(iconId)) return false;
    trayIcons_[iconId] = TrayIcon{owner, iconResource, tooltip};
    return true;
}

bool InMemoryHost::trayMessage(WindowId owner, int iconId, const std::string& title, const std::string& text) {
    auto it = trayIcons_.find(iconId);
    if (it == trayIcons_.end() || it->second.owner != owner) return false;
    trayMessages_.push_back({iconId, title, text});
    return true;
}

void InMemoryHost::setTrayArea(bool present) {
    if (present == trayAvailable_) return;
    trayAvailable_ = present;
    for (WindowId window : windows()) // a copy: a handler may open or close windows
        if (Window* w = findWindow(window)) w->handler->onTrayAreaChanged(present);
}

std::string InMemoryHost::trayTooltip(int iconId) const {
    auto it = trayIcons_.find(iconId);
    return it == trayIcons_.end() ? std::string{} : it->second.tooltip;
}

void InMemoryHost::trayMouse(int iconId, int mouseMessage) {
    auto it = trayIcons_.find(iconId);
    if (it == trayIcons_.end()) return;
    if (Window* w = findWindow(it->second.owner)) w->handler->onTrayNotify(iconId, mouseMessage);
}

bool InMemoryHost::setTrayMenu(int iconId, const std::vector<TrayMenuItem>& items) {
    if (!trayIcons_.count(iconId)) return false;
    trayMenus_[iconId] = items;
    return true;
}

bool InMemoryHost::hasModalAbove(WindowId window) const {
    if (questionBoxesOpen_ > 0) return true;
    const bool running =
        std::any_of(runs_.begin(), runs_.end(), [window](const ModalRun& r) { return r.window == window; });
    return running && topWindow() != window;
}

std::vector<TrayMenuItem> InMemoryHost::openTrayMenu(int iconId) {
    auto icon = trayIcons_.find(iconId);
    if (icon == trayIcons_.end() || !trayMenus_.count(iconId)) return {};
    if (Window* w = findWindow(icon->second.owner)) w->handler->onTrayMenuOpening(iconId);
    auto menu = trayMenus_.find(iconId); // the owner may have replaced or dropped it
    return menu == trayMenus_.end() ? std::vector<TrayMenuItem>{} : menu->second;
}

void InMemoryHost::chooseTrayMenuItem(int iconId, int itemId) {
    openTrayMenu(iconId);
    auto menu = trayMenus_.find(iconId);
    if (menu == trayMenus_.end()) return; // gone with its icon
    auto item = std::find_if(menu->second.begin(), menu->second.end(),
                             [itemId](const TrayMenuItem& i) { return i.id == itemId; });
    if (item == menu->second.end() || !item->enabled) return;
    if (item->checkable) item->checked = !item->checked;
    if (Window* w = findWindow(trayIcons_.at(iconId).owner)) w->handler->onTrayMenuChoice(iconId, itemId);
}

// ---- user input ------------------------------------------------------------------------------

void InMemoryHost::sendCommand(WindowId window, int commandId) { findWindow(window)->handler->onCommand(commandId); }

void InMemoryHost::clickRadio(Window& w, Control& c) {
    for (Control& other : w.controls)
        if (other.tmpl.kind == ControlKind::RadioButton) other.checked = false;
    c.checked = true;
}

void InMemoryHost::click(WindowId window, int controlId) {
    Control* c = acceptingInput(window, controlId);
    if (!c) return;
    switch (c->tmpl.kind) {
    case ControlKind::RadioButton: clickRadio(*findWindow(window), *c); break;
    case ControlKind::CheckBox: c->checked = !c->checked; break;
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: break;
    default: return; // static texts, frames and lists send no command
    }
    sendCommand(window, controlId);
}

void InMemoryHost::type(WindowId window, int controlId, const std::string& text) {
    Control* c = acceptingInput(window, controlId);
    if (!c || c->tmpl.kind != ControlKind::DropDownCombo) return;
    const int limit = c->tmpl.textLimit;
    c->text = limit > 0 ? utf8Prefix(text, static_cast<std::size_t>(limit)) : text;
    c->selection = -1;
}

void InMemoryHost::choose(WindowId window, int controlId, int index) {
    Control* c = acceptingInput(window, controlId);
    if (c && isListKind(c->tmpl.kind) && inRange(index, c->items)) select(*c, index);
}

void InMemoryHost::pressEnter(WindowId window) {
    if (acceptingInput(window)) sendCommand(window, IdOk);
}

void InMemoryHost::pressEscape(WindowId window) {
    if (acceptingInput(window)) sendCommand(window, IdCancel);
}

void InMemoryHost::pressCloseBox(WindowId window) { pressEscape(window); }

void InMemoryHost::pressMinimizeBox(WindowId window) {
    Window* w = acceptingInput(window);
    if (w && w->minimizeBox) show(window, ShowMode::Minimized);
}

void InMemoryHost::systemShow(WindowId window) {
    if (!guardPasses(window)) return;
    findWindow(window)->mode = ShowMode::Normal;
    foreground_ = window;
}

// ---- inspection ---------------------------------------------------------------------------------

std::vector<WindowId> InMemoryHost::windows() const {
    std::vector<WindowId> ids;
    for (const auto& entry : windows_) ids.push_back(entry.first);
    return ids;
}

int InMemoryHost::windowTemplateId(WindowId window) const { return windowValue(window, &Window::templateId, 0); }

WindowId InMemoryHost::windowOwner(WindowId window) const { return windowValue(window, &Window::owner, 0); }

ShowMode InMemoryHost::showMode(WindowId window) const { return windowValue(window, &Window::mode, ShowMode::Hidden); }

int InMemoryHost::windowIcon(WindowId window) const { return windowValue(window, &Window::icon, 0); }

int InMemoryHost::centredCount(WindowId window) const { return windowValue(window, &Window::centred, 0); }

int InMemoryHost::vetoedCount(WindowId window) const { return windowValue(window, &Window::vetoed, 0); }

bool InMemoryHost::controlExists(WindowId window, int controlId) const {
    return findControl(window, controlId) != nullptr;
}

bool InMemoryHost::isControlVisible(WindowId window, int controlId) const {
    const Control* c = findControl(window, controlId);
    return c && c->tmpl.visible;
}

int InMemoryHost::textLimit(WindowId window, int controlId) const {
    const Control* c = findControl(window, controlId);
    return c ? c->tmpl.textLimit : 0;
}

bool InMemoryHost::isTimerArmed(WindowId window, int timerId) const { return timers_.count({window, timerId}) != 0; }

unsigned InMemoryHost::timerPeriod(WindowId window, int timerId) const {
    auto it = timers_.find({window, timerId});
    return it == timers_.end() ? 0 : it->second.periodMs;
}

std::uint64_t InMemoryHost::timerDueMs(WindowId window, int timerId) const {
    auto it = timers_.find({window, timerId});
    return it == timers_.end() ? 0 : it->second.dueMs;
}

WindowId InMemoryHost::trayOwner(int iconId) const {
    auto it = trayIcons_.find(iconId);
    return it == trayIcons_.end() ? 0 : it->second.owner;
}

int InMemoryHost::trayIconResource(int iconId) const {
    auto it = trayIcons_.find(iconId);
    return it == trayIcons_.end() ? 0 : it->second.resource;
}

} // namespace velmora
