#pragma once
// A whole program on virtual time: in-memory host, scripted link, profile and
// log in a temporary directory.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/MonitorApp.h"
#include "monitor/ScriptedSource.h"
#include "platform/InMemoryHost.h"
#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"
#include "ui/ControlIds.h"

namespace velmora::testing {

// Counts the times the tray menu opened the history window.
class CountingHistoryViewer : public HistoryViewer {
public:
    void open() override { ++opened; }
    int opened = 0;
};

// Counts the times the tray menu opened the settings window; `saved` is what
// the window would call after writing the settings.
class CountingSettingsEditor : public SettingsEditor {
public:
    void open(std::function<void()> onSaved) override {
        ++opened;
        saved = std::move(onSaved);
    }
    int opened = 0;
    std::function<void()> saved;
};

// The desktop's notifications: kept, or (without the service) handed back.
class RecordingNotifier : public DesktopNotifier {
public:
    void notify(const std::string& summary, const std::string& body, std::function<void()> unavailable) override {
        if (!available) return unavailable();
        shown.push_back(summary + "\n" + body);
    }
    bool available = true;
    std::vector<std::string> shown;
};

// Epoch milliseconds of a local time in the pinned zone (Europe/Berlin).
inline std::int64_t localEpochMs(int year, int month, int day, int hour, int minute, int second) {
    return epochSecondsAt(year, month, day, hour, minute, second) * 1000;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Engine {
public:
    // The program starts at the given local time (the poll timer is armed then).
    // links: where the program learns of links; the scripted source when null.
    explicit Engine(std::int64_t startEpochMs = localEpochMs(2026, 12, 9, 10, 29, 59),
                    ConnectionSource* links = nullptr)
        : clock(startEpochMs, 7'000'000)
        , host(clock)
        , profile(dir.filePath("velmora.INI").toStdString())
        , log(dir.filePath("zelvar.log").toStdString())
        , autostart(dir.filePath("config/autostart/velmora.desktop").toStdString(), "/usr/bin/velmora")
        , env{host, clock, links ? *links : source, facts, profile, log, &history, &autostart, "", &settings, &notifier}
        , app(env) {}

    // Runs the program; the steps run in order inside its modal runs.
    void run(std::vector<std::function<void()>> steps) {
        host.script(std::move(steps));
        app.runMainDialog();
    }

    // The running program: main window id and state.
    WindowId main() const { return app.mainWindow()->window(); }
    MonitorDialog& dialog() const { return *app.mainWindow(); }
    std::string field(int id) const { return host.text(main(), id, 255); }
    std::string caption() const { return host.caption(main()); }
    void seconds(unsigned n) { host.advance(n * 1000); }
    void selectTariff(int zone) { host.choose(main(), ids::TariffList, zone); }
    void selectWarning(int index) { host.choose(main(), ids::WarningList, index); }
    std::string logText() const { return readFile(log.path()); }
    std::string profileText() const { return readFile(profile.path()); }

    QTemporaryDir dir;
    VirtualClock clock;
    InMemoryHost host;
    ScriptedSource source;
    FixedSystemFacts facts;
    SettingsProfile profile;
    ConnectionLog log;
    CountingHistoryViewer history;
    AutostartEntry autostart;
    CountingSettingsEditor settings;
    RecordingNotifier notifier;
    MonitorEnvironment env;
    MonitorApp app;
};

} // namespace velmora::testing
