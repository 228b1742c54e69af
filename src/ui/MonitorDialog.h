#pragma once
// The main window: shows what the meter says (the link, the time online, the
// unit length, the money, the caption) and hands the meter the timers' ticks
// and the user's choices; its buttons open the Cost-Editor, the reset's
// question and the about box; it puts itself away into the notification area
// and comes back from there. Everything happens in its handlers on the one UI
// thread.

#include <memory>
#include <string>
#include <vector>

#include "meter/Meter.h"
#include "ui/MonitorEnvironment.h"
#include "ui/TrayPresenter.h"

namespace velmora {

inline constexpr const char* kProductName = "Velmora";

class MonitorDialog : public DialogHandler {
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

    // State, for the application and for tests.
    WindowId window() const { return self_; }
    const MeterState& meterState() const { return meter_.state(); }
    bool hiddenInTray() const { return hiddenInTray_; }
    bool trayAvailable() const { return tray_.available(); }
    // The meter's figures of the billing period as `velmora --status --json` prints them.
    std::string budgetStatusJson();

private:
    void pollTick();
    void unitTick();
    void choosePollPace();
    void forwardChoices();
    void showLinkChange(const MeterEvents& events);
    void showMeter();
    void showField(int controlId, std::string& shown, const std::string& text);
    void showSelection(int listId, int index);
    void fillLists();
    void readCurrencyText();
    void showWithoutMeter();
    void resetLog();
    void openCostEditor();
    void minimizeOrHide(bool connected);
    void bringBack();
    bool modalAbove() const;
    std::vector<TrayAction> trayActions();
    void toggleAutostart();
    void tellUser(const std::string& title, const std::string& text);
    void tellBudget(const BudgetAlert& alert);

    MonitorEnvironment env_;
    WindowId self_ = 0;
    Meter meter_;
    TrayPresenter tray_;
    MeterTexts shown_;                      // what the fields show now
    bool hiddenInTray_ = false;             // reachable only through the notification-area icon
    unsigned pollPeriodMs_ = kPollPeriodMs; // the poll timer's period as last armed
    bool pollWatching_ = false;             // the poll is woken early when the source's descriptors turn readable
    std::string currencyText_ = "$";
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // for answers that come after the end
};

} // namespace velmora
