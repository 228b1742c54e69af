#include "ui/MonitorDialog.h"

#include <array>

#include "store/NumberParse.h"
#include "ui/AboutDialog.h"
#include "ui/ControlIds.h"
#include "ui/CostEditorDialog.h"
#include "ui/Templates.h"

namespace velmora {

bool chargingStarted = false;

namespace {

constexpr std::array<const char*, 4> kBuiltInTariffs{"Telekom 'City'", "Telekom 'Region 50'", "Telekom 'Region 200'",
                                                     "Telekom 'Fern'"};
constexpr const char* kUserTariffEntry = "<Benutzerdefiniert>";
constexpr std::array<const char*, 9> kWarnings{"kein Warnsignal", "nach 5 Minuten",   "nach 10 Minuten",
                                               "nach 15 Minuten", "nach 30 Minuten",  "nach 60 Minuten",
                                               "nach 90 Minuten", "nach 120 Minuten", "nach 240 Minuten"};

} // namespace

MonitorDialog::MonitorDialog(MonitorEnvironment env)
    : env_(env)
    , windowIcon_(ids::ProgramIcon)
    , keeper_(env.log, env.profile, journalPathBeside(env.log.path()),
              [this](const std::string& title, const std::string& text) { tellUser(title, text); }) {}

void MonitorDialog::onInitDialog(WindowId self) {
    self_ = self;
    env_.host.setWindowIcon(self_, windowIcon_);
    trayIcon_ = ids::TrayIconResource;
    addTrayIcon();
    readCurrencyText();
    setField(ids::CostLabel, "Gebühren in " + currencyText_ + ":");
    setField(ids::TotalLabel, "Gebühren insg. in " + currencyText_ + ":");
    setField(ids::ComputerName, env_.facts.computerName().value_or(""));
    for (int field :
         {ids::ConnectionName, ids::DeviceType, ids::DeviceName, ids::UnitLength, ids::TimeOnline, ids::ConnectionCost})
        setField(field, kNoConnection);
    fillLists();
    if (env_.withoutMeter.empty())
        keeper_.start(); // what a crashed run left counts before the total is read
    else
        keeper_.standAside();
    loadSettings();
    const bool warningInList = warningIndex_ >= 0 && warningIndex_ < static_cast<int>(kWarnings.size());
    env_.host.setCurSel(self_, ids::WarningList, warningInList ? warningIndex_ : -1);
    showMoney(ids::GrandTotal, grandTotal_);
    env_.host.centerOnWorkArea(self_);
    connected_ = false;
    if (!env_.withoutMeter.empty()) return showWithoutMeter(); // no poll: nothing is metered
    env_.host.setTimer(self_, ids::PollTimer, ids::PollPeriodMs);
}

// The user-defined tariff is added last, after the warning list, yet is the
// fifth tariff entry: the stored index relies on this order.
void MonitorDialog::fillLists() {
    for (const char* tariff : kBuiltInTariffs) env_.host.addString(self_, ids::TariffList, tariff);
    for (const char* warning : kWarnings) env_.host.addString(self_, ids::WarningList, warning);
    env_.host.addString(self_, ids::TariffList, kUserTariffEntry);
}

void MonitorDialog::onCommand(int commandId) {
    switch (commandId) {
    case IdOk: minimizeOrHide(); break;
    case IdCancel: env_.host.endDialog(self_, IdCancel); break;
    case ids::CmdCostEditor: {
        CostEditorDialog editor(env_);
        env_.host.runModal(costEditorTemplate(), editor, self_);
        break;
    }
    case ids::CmdReset: resetLog(); break;
    case ids::CmdAbout: {
        // Opened without a parent of its own, the box belongs to the window it
        // was opened from, as a desktop owns such a box to the active window.
        AboutDialog about(env_.host);
        env_.host.runModal(aboutDialogTemplate(), about, self_);
        break;
    }
    default: break;
    }
}

void MonitorDialog::onDestroy() {
    if (connected_) writeLogRecord();
    removeTrayIcon();
    saveSettings();
    env_.host.killTimer(self_, ids::PollTimer);
    env_.host.killTimer(self_, ids::UnitTimer);
    keeper_.finish();
    // Nothing could be written, not even the journal: said before the end.
    if (!keeper_.unsavedAtEnd().empty()) env_.host.inform(0, keeper_.unsavedAtEnd(), "Kosten nicht gespeichert");
}

void MonitorDialog::readCurrencyText() {
    auto symbol = env_.facts.currencySymbol();
    currencyText_ = symbol && !symbol->empty() ? *symbol : "$";
}

int MonitorDialog::tariffZone() const { return env_.host.curSel(self_, ids::TariffList); }

std::string MonitorDialog::fieldText(int controlId) const {
    // Fields hold short texts; the bound only guards against the absurd.
    return env_.host.text(self_, controlId, 255);
}

void MonitorDialog::setField(int controlId, const std::string& text) { env_.host.setText(self_, controlId, text); }

void MonitorDialog::showMoney(int controlId, double amount) { setField(controlId, formatTwoDecimals(amount)); }

} // namespace velmora
