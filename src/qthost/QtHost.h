#pragma once
// The window layer on Qt 6 Widgets: each dialog template becomes a real,
// fixed-size window; commands, timers, the tray icon and the question box go
// to the dialog's handler on the UI thread.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowHost.h"

class QCoreApplication;
class QFont;
class QMenu;
class QMessageBox;
class QObject;
class QSystemTrayIcon;
class QWidget;

namespace velmora {

class DialogWindow;
class TrayAreaWatcher;

// Installs Qt's own German texts (the "Ja"/"Nein" of the question box among
// them). Returns false when the translation is not installed on this system.
bool installGermanTranslation(QCoreApplication& app);

// The same, put off until the first context menu is asked for: in the meter
// Qt's own texts show only there (the edit fields' menus; the question box's
// answers and every button are labelled in German by the program itself), so
// most runs never need the translation read in.
void installGermanTranslationForFirstContextMenu(QCoreApplication& app);

// The name the desktop shows for the program (the notification item's title,
// the window class) and the id of the desktop entry it was started from.
void setApplicationIdentity(const std::string& name, const std::string& desktopFileId);

class QtHost : public WindowHost {
public:
    QtHost();
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

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

    // ---- for the test driver and the program's start-up ----
    // Called when a modal run is about to dispatch and when one has returned.
    void onRunsChanged(std::function<void()> observer) { runsChanged_ = std::move(observer); }
    // Called once a question box is on screen, before it is answered.
    void onMessageBoxShown(std::function<void(QMessageBox&, WindowId owner)> observer) {
        messageBoxShown_ = std::move(observer);
    }
    // Whether the desktop has a notification area: by default what the
    // TrayAreaWatcher sees, announced to every open window when it changes
    // (none until the watch starts, just after the first window shows).
    // Set here, the watcher is no longer heard, and announceTrayArea tells
    // the windows instead.
    void setTrayAvailability(std::function<bool()> available);
    void announceTrayArea(bool present);

    WindowId innermostRun() const { return runs_.empty() ? 0 : runs_.back(); }
    std::size_t runDepth() const { return runs_.size(); }
    bool runEnded(WindowId window) const; // true also for a window that is gone
    QWidget* widget(WindowId window) const;
    QWidget* control(WindowId window, int controlId) const;
    bool hasMinimizeBox(WindowId window) const;
    // Asks the window's position-change guard; true when the change may happen.
    bool guardPasses(WindowId window);
    QSystemTrayIcon* trayIcon(int iconId) const;
    // A notification-area mouse message to the icon's owner, as the icon sends it.
    void deliverTrayMessage(int iconId, int mouseMessage);
    QMenu* trayMenu(int iconId) const;
    int beepCount() const { return beeps_; }
    const std::vector<TrayMessage>& trayMessagesShown() const { return trayMessages_; }

private:
    struct Window;
    struct TrayEntry;

    Window* find(WindowId window) const;
    WindowId createWindow(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner);
    void buildControls(Window& w, WindowId id, const DialogTemplate& tmpl);
    void connectCommand(Window& w, WindowId id, int controlId, QWidget* control);
    void clickRadio(WindowId window, int controlId);
    void sendCommand(WindowId window, int commandId);
    void showAfterInit(Window& w);
    static void sendWindowRequestsNow();
    void destroyWindow(WindowId window);
    void fireTimer(WindowId window, int timerId);
    bool addTrayIcon(WindowId owner, int iconId, int iconResource, const std::string& tooltip);
    void runMessageBox(QMessageBox& box, WindowId owner);
    QMenu* makeTrayMenu(int iconId);
    DialogHandler* trayOwnerHandler(int iconId) const;
    void startTrayWatchAfterShow();

    std::map<WindowId, std::unique_ptr<Window>> windows_;
    WindowId nextWindowId_ = 1;
    std::vector<WindowId> runs_;                      // innermost last
    std::map<int, std::unique_ptr<QMenu>> trayMenus_; // outlive the icons that show them
    std::map<int, std::unique_ptr<TrayEntry>> trayIcons_;
    int questionBoxesOpen_ = 0;
    std::function<void()> runsChanged_;
    std::function<void(QMessageBox&, WindowId)> messageBoxShown_;
    std::unique_ptr<QFont> font_;       // chosen with the first window, the main window
    std::unique_ptr<QObject> lifetime_; // ends what the event loop would still call on this host
    std::unique_ptr<TrayAreaWatcher> trayArea_;
    std::function<bool()> trayAvailable_;
    bool followTrayArea_ = true;
    bool trayWatchScheduled_ = false;
    int beeps_ = 0;
    std::vector<TrayMessage> trayMessages_;
};

} // namespace velmora
