#pragma once
// The window layer: everything the dialogs need of a window system, and nothing
// of any toolkit. A Qt host builds real widgets; an in-memory host keeps the
// same state in memory and runs on a virtual clock for tests.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/DialogTemplate.h"

namespace velmora {

using WindowId = int; // 0 = no window

// Command identifiers and answers, as the dialogs use them.
inline constexpr int IdOk = 1;     // the default button, or Enter
inline constexpr int IdCancel = 2; // Escape, the close box, the system menu's close entry
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;

// Mouse messages carried by a notification-area callback.
inline constexpr int MouseMove = 0x200;
inline constexpr int MouseLeftDown = 0x201;
inline constexpr int MouseLeftUp = 0x202;
inline constexpr int MouseLeftDoubleClick = 0x203;
inline constexpr int MouseRightDown = 0x204;
inline constexpr int MouseRightUp = 0x205;
inline constexpr int MouseMiddleDown = 0x207;

enum class ShowMode { Normal, Minimized, Hidden };
enum class TrayOp { Add, Delete };
enum class MessageBoxKind { Question, Information };

// A message shown from a notification-area icon.
struct TrayMessage {
    int iconId = 0;
    std::string title;
    std::string text;
    bool operator==(const TrayMessage&) const = default;
};

// One entry of a notification-area icon's context menu.
struct TrayMenuItem {
    int id = 0;
    std::string text;
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
    bool operator==(const TrayMenuItem&) const = default;
};

// What a dialog hears from its window. All calls arrive on the one UI thread,
// one at a time; none of them overlaps another.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // The window and its controls exist; the dialog fills them.
    virtual void onInitDialog(WindowId self) = 0;
    // A button was clicked (automatic check boxes and radio buttons have already
    // changed state), IdOk for Enter, IdCancel for Escape or the close box. The
    // dialog decides whether the run ends (WindowHost::endDialog).
    virtual void onCommand(int commandId) = 0;
    virtual void onTimer(int timerId) { (void)timerId; }
    // The run has ended; the window is about to go.
    virtual void onDestroy() {}
    // Mouse activity over a notification-area icon owned by this window.
    virtual int onTrayNotify(int iconId, int mouseMessage) {
        (void)iconId;
        (void)mouseMessage;
        return 0;
    }
    // Asked before anything shows, moves, raises or activates the window; true
    // vetoes the change and the window stays hidden.
    virtual bool onWindowPosChanging() { return false; }
    // The desktop's notification area appeared (a panel started late or again)
    // or vanished; sent to every open window.
    virtual void onTrayAreaChanged(bool present) { (void)present; }
    // The context menu of an icon owned by this window is about to open: the
    // moment to bring its entries up to date (WindowHost::setTrayMenu).
    virtual void onTrayMenuOpening(int iconId) { (void)iconId; }
    // An entry of that menu was chosen; a checkable one has toggled already.
    virtual void onTrayMenuChoice(int iconId, int itemId) {
        (void)iconId;
        (void)itemId;
    }
};

class WindowHost {
public:
    virtual ~WindowHost() = default;

    // Builds the dialog, calls onInitDialog, dispatches until endDialog, calls
    // onDestroy, removes the window and returns the result. Timers of every
    // window keep firing while a modal run (or a message box) is open.
    virtual int runModal(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner) = 0;
    virtual void endDialog(WindowId window, int result) = 0;

    // Texts. controlId addresses a control of the window; text() returns at most
    // maxChars characters (never a broken UTF-8 sequence).
    virtual void setText(WindowId window, int controlId, const std::string& text) = 0;
    virtual std::string text(WindowId window, int controlId, std::size_t maxChars) const = 0;
    virtual void setCaption(WindowId window, const std::string& caption) = 0;
    virtual std::string caption(WindowId window) const = 0;

    // Combo and list boxes. Indices are zero-based; curSel is -1 with nothing
    // selected; setCurSel(-1) clears the selection; out-of-range indices are
    // ignored (itemText gives "").
    virtual int addString(WindowId window, int controlId, const std::string& text) = 0;
    virtual void setCurSel(WindowId window, int controlId, int index) = 0;
    virtual int curSel(WindowId window, int controlId) const = 0;
    virtual std::string itemText(WindowId window, int controlId, int index) const = 0;
    virtual int count(WindowId window, int controlId) const = 0;
    virtual void deleteString(WindowId window, int controlId, int index) = 0;

    // Buttons and controls.
    virtual void setChecked(WindowId window, int controlId, bool checked) = 0;
    virtual bool isChecked(WindowId window, int controlId) const = 0;
    virtual void enable(WindowId window, int controlId, bool enabled) = 0;
    virtual bool isEnabled(WindowId window, int controlId) const = 0;

    // Window state. show/setForeground/centerOnWorkArea pass the position-change
    // guard (DialogHandler::onWindowPosChanging); hiding always passes.
    // setForeground brings the window forward; while a modal dialog of the
    // program is open above it, that dialog comes forward with the keyboard
    // focus, as an owner that takes no input hands activation to its dialog.
    virtual void show(WindowId window, ShowMode mode) = 0;
    virtual bool isMinimized(WindowId window) const = 0;
    virtual bool isVisible(WindowId window) const = 0;
    virtual void setForeground(WindowId window) = 0;
    virtual void centerOnWorkArea(WindowId window) = 0;
    virtual void setWindowIcon(WindowId window, int iconResource) = 0; // large and small

    // Window timers, named by (window, id). Arming an id in use restarts it with
    // the new period; a timer runs until killed or its window goes.
    virtual void setTimer(WindowId window, int timerId, unsigned periodMs) = 0;
    virtual void killTimer(WindowId window, int timerId) = 0;
    // Lets a timer be woken early: the first of the descriptors to turn
    // readable delivers one tick of the timer at once, and the watch ends. A
    // later call for the same timer replaces the watch; an empty list ends it.
    virtual void wakeOnReadable(WindowId window, int timerId, const std::vector<int>& descriptors) = 0;

    // A Yes/No question with the question icon; returns IdYes or IdNo.
    virtual int askYesNo(WindowId owner, const std::string& text, const std::string& caption) = 0;
    // A message with the information icon and an OK button; returns once read.
    virtual void inform(WindowId owner, const std::string& text, const std::string& caption) = 0;
    // The system's asterisk (information) sound.
    virtual void beep() = 0;

    // Notification-area icon; callbacks go to the owner's onTrayNotify.
    virtual bool trayNotify(WindowId owner, TrayOp op, int iconId, int iconResource, const std::string& tooltip) = 0;
    // A short message beside the owner's icon; false when that icon is not there.
    virtual bool trayMessage(WindowId owner, int iconId, const std::string& title, const std::string& text) = 0;
    // The icon's context menu (the right button opens it), replacing the one
    // before; it goes with the icon. False when the icon is not there.
    virtual bool setTrayMenu(int iconId, const std::vector<TrayMenuItem>& items) = 0;
    // A modal run or a question box lies above the window: it takes no input
    // until that has gone.
    virtual bool hasModalAbove(WindowId window) const = 0;
};

// The test side of a host: what a user does. Implemented by the in-memory host
// (exact, virtual time) and by the Qt host (real widgets, real time), so that
// host behaviour tests are written once for both.
class HostDriver {
public:
    virtual ~HostDriver() = default;
    virtual WindowHost& host() = 0;

    // Steps run in order inside whatever modal run (or message box) is open,
    // one after another; a nested modal run keeps taking steps from the same
    // queue. When the queue is empty while a run is still open, the host ends
    // that run with IdCancel and notes it (scriptRanOut()).
    virtual void script(std::vector<std::function<void()>> steps) = 0;
    virtual bool scriptRanOut() const = 0;

    // The window of the innermost open modal run, 0 when none.
    virtual WindowId topWindow() const = 0;

    // User input; each is ignored for a hidden or disabled control.
    virtual void click(WindowId window, int controlId) = 0;
    virtual void type(WindowId window, int controlId, const std::string& text) = 0; // replaces the edit text
    virtual void choose(WindowId window, int controlId, int index) = 0;
    virtual void pressEnter(WindowId window) = 0;
    virtual void pressEscape(WindowId window) = 0;
    virtual void pressCloseBox(WindowId window) = 0;
    virtual void pressMinimizeBox(WindowId window) = 0;
    virtual void trayMouse(int iconId, int mouseMessage) = 0;
    // Something outside the program (task switching, the window manager) tries
    // to show the window.
    virtual void systemShow(WindowId window) = 0;

    // The answer the next message boxes give, and a hook run while one is open.
    virtual void answerMessageBoxes(int answer) = 0;
    virtual void whileMessageBoxOpen(std::function<void()> step) = 0;
    virtual int messageBoxCount() const = 0;
    virtual std::string lastMessageBoxText() const = 0;
    virtual std::string lastMessageBoxCaption() const = 0;
    virtual MessageBoxKind lastMessageBoxKind() const = 0;

    // Lets time pass: timers fire as due (exactly in the in-memory host; in the
    // Qt host by running the event loop for that long).
    virtual void advance(unsigned ms) = 0;

    // What the user perceives.
    virtual int beepCount() const = 0;
    virtual bool trayIconPresent(int iconId) const = 0;
    virtual std::string trayTooltip(int iconId) const = 0;
    // Every message shown from a notification-area icon, oldest first.
    virtual std::vector<TrayMessage> trayMessages() const = 0;
    // A notification area appears on the desktop or vanishes from it.
    virtual void setTrayArea(bool present) = 0;
    // The user opens the icon's context menu (its owner hears
    // onTrayMenuOpening first) and sees its entries; none without icon or menu.
    virtual std::vector<TrayMenuItem> openTrayMenu(int iconId) = 0;
    // ...and chooses one: the menu opens, then the entry is taken unless it is
    // missing or disabled.
    virtual void chooseTrayMenuItem(int iconId, int itemId) = 0;
};

} // namespace velmora
