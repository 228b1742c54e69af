#pragma once
// A window host without a window system: every window and control is plain
// state, time is a VirtualClock, and the user is a script of steps. Used by
// the tests of the dialogs and of the window layer.
//
// Choices where a real window system leaves room:
// - Typing into a combo's edit field always clears its selection, even when the
//   typed text equals an entry.
// - setCurSel(-1) on a combo with an edit field also clears the edit text.
// - A timer armed with period 0 runs every millisecond.
// - The whileMessageBoxOpen step stays set and runs once for every message box
//   (not again for a box it opens itself).
// - While a modal run is open, only its window takes user input; the windows
//   beneath it ignore clicks, typing and keys, as a real owner window is
//   disabled then. Timers, tray callbacks and systemShow still reach them.
// - Tray icons are not removed with their owner window; a callback to an icon
//   whose owner has gone is dropped.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/WindowHost.h"

namespace velmora {

class InMemoryHost : public WindowHost, public HostDriver {
public:
    explicit InMemoryHost(VirtualClock& clock);
    ~InMemoryHost() override;
    InMemoryHost(const InMemoryHost&) = delete;
    InMemoryHost& operator=(const InMemoryHost&) = delete;

    // WindowHost
    int runModal(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner) override;
    void endDialog(WindowId window, int result) override;
    void setText(WindowId window, int controlId, const std::string& text) override;
    std::string text(WindowId window, int controlId, std::size_t maxChars) const override;
    void setCaption(WindowId window, const std::string& caption) override;
    std::string caption(WindowId window) const override;
    int addString(WindowId window, int controlId, const std::string& text) override;
    void setCurSel(WindowId window, int controlId, int index) override;
    int curSel(WindowId window, int controlId) const override;
    std::string itemText(WindowId window, int controlId, int index) const override;
    int count(WindowId window, int controlId) const override;
    void deleteString(WindowId window, int controlId, int index) override;
    void setChecked(WindowId window, int controlId, bool checked) override;
    bool isChecked(WindowId window, int controlId) const override;
    void enable(WindowId window, int controlId, bool enabled) override;
    bool isEnabled(WindowId window, int controlId) const override;
    void show(WindowId window, ShowMode mode) override;
    bool isMinimized(WindowId window) const override;
    bool isVisible(WindowId window) const override;
    void setForeground(WindowId window) override;
    void centerOnWorkArea(WindowId window) override;
    void setWindowIcon(WindowId window, int iconResource) override;
    void setTimer(WindowId window, int timerId, unsigned periodMs) override;
    void killTimer(WindowId window, int timerId) override;
    void wakeOnReadable(WindowId window, int timerId, const std::vector<int>& descriptors) override;
    int askYesNo(WindowId owner, const std::string& text, const std::string& caption) override;
    void inform(WindowId owner, const std::string& text, const std::string& caption) override;
    void beep() override;
    bool trayNotify(WindowId owner, TrayOp op, int iconId, int iconResource, const std::string& tooltip) override;
    bool trayMessage(WindowId owner, int iconId, const std::string& title, const std::string& text) override;
    bool setTrayMenu(int iconId, const std::vector<TrayMenuItem>& items) override;
    bool hasModalAbove(WindowId window) const override;

    // HostDriver
    WindowHost& host() override { return *this; }
    void script(std::vector<std::function<void()>> steps) override;
    bool scriptRanOut() const override { return scriptRanOut_; }
    WindowId topWindow() const override;
    void click(WindowId window, int controlId) override;
    void type(WindowId window, int controlId, const std::string& text) override;
    void choose(WindowId window, int controlId, int index) override;
    void pressEnter(WindowId window) override;
    void pressEscape(WindowId window) override;
    void pressCloseBox(WindowId window) override;
    void pressMinimizeBox(WindowId window) override;
    void trayMouse(int iconId, int mouseMessage) override;
    void systemShow(WindowId window) override;
    void answerMessageBoxes(int answer) override { messageBoxAnswer_ = answer; }
    void whileMessageBoxOpen(std::function<void()> step) override { messageBoxStep_ = std::move(step); }
    int messageBoxCount() const override { return messageBoxCount_; }
    std::string lastMessageBoxText() const override { return lastMessageBox_.text; }
    std::string lastMessageBoxCaption() const override { return lastMessageBox_.caption; }
    MessageBoxKind lastMessageBoxKind() const override { return lastMessageBox_.kind; }
    void advance(unsigned ms) override;
    int beepCount() const override { return beepCount_; }
    bool trayIconPresent(int iconId) const override { return trayIcons_.count(iconId) != 0; }
    std::string trayTooltip(int iconId) const override;
    std::vector<TrayMessage> trayMessages() const override { return trayMessages_; }
    std::vector<TrayMenuItem> openTrayMenu(int iconId) override;
    void chooseTrayMenuItem(int iconId, int itemId) override;

    // A desktop without a notification area: adding a tray icon fails. A change
    // reaches every open window (DialogHandler::onTrayAreaChanged).
    void setTrayArea(bool present) override;

    // Inspection for tests.
    VirtualClock& clock() { return clock_; }
    std::vector<WindowId> windows() const;
    bool windowExists(WindowId window) const { return windows_.count(window) != 0; }
    int windowTemplateId(WindowId window) const; // 0 for an unknown window
    WindowId windowOwner(WindowId window) const;
    ShowMode showMode(WindowId window) const; // Hidden for an unknown window
    int windowIcon(WindowId window) const;    // 0 until set
    int centredCount(WindowId window) const;  // centerOnWorkArea calls that passed the guard
    int vetoedCount(WindowId window) const;   // changes the guard refused
    WindowId foregroundWindow() const { return foreground_; }
    bool controlExists(WindowId window, int controlId) const;
    bool isControlVisible(WindowId window, int controlId) const;
    int textLimit(WindowId window, int controlId) const;
    bool isTimerArmed(WindowId window, int timerId) const;
    unsigned timerPeriod(WindowId window, int timerId) const;     // 0 when not armed
    std::uint64_t timerDueMs(WindowId window, int timerId) const; // 0 when not armed
    WindowId trayOwner(int iconId) const;
    int trayIconResource(int iconId) const;
    WindowId lastMessageBoxOwner() const { return lastMessageBox_.owner; }
    std::size_t pendingSteps() const { return steps_.size(); }

private:
    struct Control {
        ControlTemplate tmpl;
        std::string text;
        std::vector<std::string> items;
        int selection = -1;
        bool checked = false;
        bool enabled = true;
    };
    struct Window {
        int templateId = 0;
        bool minimizeBox = false;
        std::string caption;
        std::vector<Control> controls;
        DialogHandler* handler = nullptr;
        WindowId owner = 0;
        ShowMode mode = ShowMode::Normal;
        int icon = 0;
        int centred = 0;
        int vetoed = 0;
    };
    struct Timer {
        unsigned periodMs = 0;
        std::uint64_t dueMs = 0;
        std::uint64_t armedSeq = 0; // breaks ties: the timer armed earlier fires first
    };
    struct ModalRun {
        WindowId window = 0;
        bool ended = false;
        int result = 0;
    };
    struct TrayIcon {
        WindowId owner = 0;
        int resource = 0;
        std::string tooltip;
    };
    struct MessageBoxRecord {
        WindowId owner = 0;
        std::string text;
        std::string caption;
        MessageBoxKind kind = MessageBoxKind::Question;
    };
    using TimerKey = std::pair<WindowId, int>;

    Window* findWindow(WindowId window);
    const Window* findWindow(WindowId window) const;
    template <typename T>
    T windowValue(WindowId window, T Window::*member, T fallback) const {
        const Window* w = findWindow(window);
        return w ? w->*member : fallback;
    }
    Control* findControl(WindowId window, int controlId);
    const Control* findControl(WindowId window, int controlId) const;
    Control* findListControl(WindowId window, int controlId);
    const Control* findListControl(WindowId window, int controlId) const;
    Window* acceptingInput(WindowId window);
    Control* acceptingInput(WindowId window, int controlId);
    ModalRun* findRun(WindowId window);
    WindowId createWindow(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner);
    void runUntilEnded(WindowId window);
    void destroyWindow(WindowId window);
    bool guardPasses(WindowId window);
    void sendCommand(WindowId window, int commandId);
    void openMessageBox(MessageBoxRecord record);
    void clickRadio(Window& w, Control& c);
    void select(Control& c, int index);
    bool fireNextTimerDueBy(std::uint64_t targetMs);
    bool fireReadableWatch();

    VirtualClock& clock_;
    std::map<WindowId, std::unique_ptr<Window>> windows_;
    WindowId nextWindowId_ = 1;
    WindowId foreground_ = 0;
    std::vector<ModalRun> runs_; // innermost last
    std::deque<std::function<void()>> steps_;
    bool scriptRanOut_ = false;
    std::map<TimerKey, Timer> timers_;
    std::uint64_t timerSeq_ = 0;
    std::map<TimerKey, std::vector<int>> readWatches_;
    std::map<int, TrayIcon> trayIcons_;
    std::vector<TrayMessage> trayMessages_;
    std::map<int, std::vector<TrayMenuItem>> trayMenus_;
    int questionBoxesOpen_ = 0;
    bool trayAvailable_ = true;
    int messageBoxAnswer_ = IdNo;
    std::function<void()> messageBoxStep_;
    bool messageBoxStepRunning_ = false;
    int messageBoxCount_ = 0;
    MessageBoxRecord lastMessageBox_;
    int beepCount_ = 0;
};

} // namespace velmora
