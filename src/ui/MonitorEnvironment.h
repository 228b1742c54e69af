#pragma once
// What the dialogs work with: the window layer, time, the link source, the
// machine's facts and the two files; the history window, the autostart entry,
// the settings window and the desktop's notifications where the program has
// them (the tray menu offers what is there).

#include <functional>
#include <string>

#include "autostart/AutostartEntry.h"
#include "monitor/ConnectionSource.h"
#include "platform/Clock.h"
#include "platform/SystemFacts.h"
#include "platform/WindowHost.h"
#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"

namespace velmora {

// The window of what the line cost ("Verlauf"); a Qt window of its own that
// the application provides, so the tray menu can open it.
class HistoryViewer {
public:
    virtual ~HistoryViewer() = default;
    // Opens the window, or brings it forward when it is open.
    virtual void open() = 0;
};

// The settings window ("Einstellungen"): a Qt window of its own that the
// application provides.
class SettingsEditor {
public:
    virtual ~SettingsEditor() = default;
    // Opens the window, or brings it forward when it is open; `saved` runs
    // after the window has written the settings.
    virtual void open(std::function<void()> saved) = 0;
};

// The desktop's notifications (a bubble that goes by itself, also when the
// window is hidden). `unavailable` runs, perhaps later, when the desktop has
// no such service or refused the message.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const std::string& summary, const std::string& body, std::function<void()> unavailable) = 0;
};

struct MonitorEnvironment {
    WindowHost& host;
    Clock& clock;
    ConnectionSource& source;
    const SystemFacts& facts;
    SettingsProfile& profile;
    ConnectionLog& log;
    HistoryViewer* history = nullptr;
    const AutostartEntry* autostart = nullptr;
    // Set when the start could not make sure that it is the only meter: why.
    // The window then shows the stored total but meters and writes nothing.
    std::string withoutMeter = {};
    SettingsEditor* settings = nullptr;
    DesktopNotifier* notifier = nullptr;
};

} // namespace velmora
