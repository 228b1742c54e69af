#pragma once
// The application object: runs the main window modally from start to end.

#include "ui/MonitorDialog.h"

namespace velmora {

class MonitorApp {
public:
    // Constructing the application object is the program's start.
    explicit MonitorApp(MonitorEnvironment env) : env_(std::move(env)) {}

    // Creates the main window, runs it until the user ends the program and
    // returns false: there is no message loop of the program's own.
    bool runMainDialog();
    // The main window while it runs, else nullptr.
    MonitorDialog* mainWindow() const { return mainWindow_; }
    // A second start of the program asked for the window: it comes forward as
    // a left click on the notification-area icon brings it.
    void bringMainWindowForward();

private:
    MonitorEnvironment env_;
    MonitorDialog* mainWindow_ = nullptr;
};

} // namespace velmora
