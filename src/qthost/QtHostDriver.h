#pragma once
// The user's side of the Qt host, for tests: real clicks, keys and typing on
// real widgets, time as real time of the event loop. The desktop is assumed to
// have a notification area (the offscreen platform has none) until the test
// says otherwise.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/WindowHost.h"
#include "qthost/QtHost.h"

class QMessageBox;

namespace velmora {

class QtHostDriver : public HostDriver {
public:
    // desktopTray: the notification area is the desktop's own, as the host
    // watches it; otherwise one is assumed until setTrayArea says otherwise.
    explicit QtHostDriver(QtHost& host, bool desktopTray = false);
    ~QtHostDriver() override;
    QtHostDriver(const QtHostDriver&) = delete;
    QtHostDriver& operator=(const QtHostDriver&) = delete;

    WindowHost& host() override { return host_; }
    QtHost& qtHost() { return host_; }
    void script(std::vector<std::function<void()>> steps) override;
    bool scriptRanOut() const override { return scriptRanOut_; }
    WindowId topWindow() const override { return host_.innermostRun(); }
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
    std::string lastMessageBoxText() const override { return lastMessageBoxText_; }
    std::string lastMessageBoxCaption() const override { return lastMessageBoxCaption_; }
    MessageBoxKind lastMessageBoxKind() const override { return lastMessageBoxKind_; }
    void advance(unsigned ms) override;
    int beepCount() const override { return host_.beepCount(); }
    bool trayIconPresent(int iconId) const override;
    std::string trayTooltip(int iconId) const override;
    std::vector<TrayMessage> trayMessages() const override { return host_.trayMessagesShown(); }
    void setTrayArea(bool present) override;
    std::vector<TrayMenuItem> openTrayMenu(int iconId) override;
    void chooseTrayMenuItem(int iconId, int itemId) override;

    // A key press and release sent to the window's focus widget, as typed.
    void pressKey(WindowId window, int key);

private:
    void schedulePump();
    void pump();
    void messageBoxShown(QMessageBox& box);
    void answer(QMessageBox& box);
    QWidget* acceptingInput(WindowId window) const;
    QWidget* acceptingInput(WindowId window, int controlId) const;

    QtHost& host_;
    QObject context_; // posted steps die with the driver
    std::deque<std::function<void()>> steps_;
    std::vector<std::size_t> stepRunDepths_; // run depth at the start of each step in progress
    bool pumpScheduled_ = false;
    bool scriptRanOut_ = false;
    int messageBoxAnswer_ = IdNo;
    std::function<void()> messageBoxStep_;
    bool messageBoxStepRunning_ = false;
    int messageBoxCount_ = 0;
    std::string lastMessageBoxText_;
    std::string lastMessageBoxCaption_;
    MessageBoxKind lastMessageBoxKind_ = MessageBoxKind::Question;
    bool trayArea_ = true;
};

} // namespace velmora
