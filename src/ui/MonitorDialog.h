#pragma once
// The main window: shows the dial-up link, meters its charges unit by unit,
// logs every finished connection and lives in the notification area. It owns
// all state of the running program; everything happens in its timer and
// command handlers on the one UI thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "autostart/AutostartEntry.h"
#include "journal/RecordKeeper.h"
#include "monitor/ConnectionSource.h"
#include "platform/Clock.h"
#include "platform/SystemFacts.h"
#include "platform/WindowHost.h"
#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"
#include "tariff/Tariff.h"

namespace velmora {

// The window of what the line cost ("Verlauf"); a Qt window of its own that
// the application provides, so the tray menu can open it.
class HistoryViewer {
public:
    virtual ~HistoryViewer() = default;
    // Opens the window, or brings it forward when it is open.
    virtual void open() = 0;
};

// What the dialogs work with: the window layer, time, the link source, the
// machine's facts and the two files; the history window and the autostart
// entry where the program has them (the tray menu offers what is there).
struct MonitorEnvironment {
    WindowHost& host;
    Clock& clock;
    ConnectionSource& source;
    const SystemFacts& facts;
    SettingsProfile& profile;
    ConnectionLog& log;
    HistoryViewer* history = nullptr;
    const AutostartEntry* autostart = nullptr;
};

// True from the poll tick that opens a connection until the first poll tick
// without one; one for the process.
extern bool chargingStarted;

inline constexpr const char* kNoConnection = "Keine Verbindung";
inline constexpr const char* kNoAddress = "0.0.0.0";
inline constexpr const char* kProductName = "Velmora";
inline constexpr const char* kStandardSection = "Standard";

class MonitorDialog : public DialogHandler, public UnitLengthReceiver {
public:
    explicit MonitorDialog(MonitorEnvironment env);

    // Window messages.
    void onInitDialog(WindowId self) override;
    void onCommand(int commandId) override;
    void onTimer(int timerId) override;
    void onDestroy() override;
    int onTrayNotify(int iconId, int mouseMessage) override;
    bool onWindowPosChanging() override;
    void onTrayAreaChanged(bool present) override;
    void onTrayMenuOpening(int iconId) override;
    void onTrayMenuChoice(int iconId, int itemId) override;

    // The link and the meter.
    bool probeConnection();
    void startConnectionClock();
    void chargeUnit();
    void updateChargePeriod();
    int switchUnitLength(int unitMs) override;

    // Settings and log.
    void loadSettings();
    void saveSettings();
    void writeLogRecord();
    void resetLog();

    // Notification area and visibility.
    bool notifyTray(TrayOp op, int iconId, int iconResource, std::string_view tooltip);
    void addTrayIcon();
    void removeTrayIcon();
    void minimizeOrHide();
    // The tray menu's entries as they stand now.
    std::vector<TrayMenuItem> trayMenuItems() const;

    // State, for the application and for tests.
    WindowId window() const { return self_; }
    bool connected() const { return connected_; }
    bool hiddenInTray() const { return hiddenInTray_; }
    bool trayAvailable() const { return trayAvailable_; }
    int unitLengthMs() const { return unitLengthMs_; }
    double connectionCost() const { return connectionCost_; }
    double grandTotal() const { return grandTotal_; }
    int warningIndex() const { return warningIndex_; }
    const LocalTime& connectTime() const { return connectTime_; }

private:
    void pollTick();
    void choosePollPace();
    void unitTick();
    void clearConnection();
    void showEstablished(const ConnectionList& list, const ConnectionStatus& status);
    void readCurrencyText();
    void fillLists();
    int tariffZone() const;
    std::string fieldText(int controlId) const;
    void setField(int controlId, const std::string& text);
    void showMoney(int controlId, double amount);
    // Safekeeping of the money records (MonitorSafekeeping.cpp).
    OpenConnection openConnection() const;
    void checkpoint();
    void checkpointIfDue();
    SettingsValues standardSettings();
    void tellUser(const std::string& title, const std::string& text);
    void bringBack();
    void toggleAutostart();

    MonitorEnvironment env_;
    WindowId self_ = 0;
    int windowIcon_ = 0;
    std::uint64_t connectTickSeconds_ = 0;
    bool connected_ = false;
    std::uint64_t connectionHandle_ = 0;
    std::uint32_t listedCount_ = 0;         // links listed at the last probe
    unsigned pollPeriodMs_ = kPollPeriodMs; // the poll timer's period as last armed
    bool pollWatching_ = false;             // the poll is woken early when the source's descriptors turn readable
    LocalTime connectTime_{};
    int warningIndex_ = 0;
    int unitLengthMs_ = 0;
    double connectionCost_ = 0.0; // money in double: a float drifts by cents within a year
    double grandTotal_ = 0.0;
    bool hiddenInTray_ = false;
    int trayIcon_ = 0;
    bool trayAvailable_ = false;
    std::string currencyText_ = "$";
    RecordKeeper keeper_;
    std::uint64_t lastCheckpointMs_ = 0;
};

} // namespace velmora
