#include "ui/MonitorDialog.h"

#include <array>
#include <cstdio>

#include "budget/StatusText.h"
#include "store/AtomicFile.h"
#include "tariff/Charging.h"
#include "ui/AboutDialog.h"
#include "ui/ControlIds.h"
#include "ui/CostEditorDialog.h"
#include "ui/Templates.h"

namespace velmora {

namespace {

constexpr std::array<const char*, 4> kBuiltInTariffs{"Telekom 'City'", "Telekom 'Region 50'", "Telekom 'Region 200'",
                                                     "Telekom 'Fern'"};
constexpr const char* kUserTariffEntry = "<Benutzerdefiniert>";
constexpr std::array<const char*, kWarningCount> kWarnings{"kein Warnsignal", "nach 5 Minuten",   "nach 10 Minuten",
                                                           "nach 15 Minuten", "nach 30 Minuten",  "nach 60 Minuten",
                                                           "nach 90 Minuten", "nach 120 Minuten", "nach 240 Minuten"};

} // namespace

MonitorDialog::MonitorDialog(MonitorEnvironment env)
    : env_(env)
    , meter_(env.log, env.profile, [this](const std::string& title, const std::string& text) { tellUser(title, text); })
    , tray_(env.host, ids::TrayIconId, ids::TrayIconResource, kProductName) {}

void MonitorDialog::onInitDialog(WindowId self) {
    self_ = self;
    env_.host.setWindowIcon(self_, ids::ProgramIcon);
    tray_.add(self_, trayActions());
    readCurrencyText();
    env_.host.setText(self_, ids::CostLabel, "Gebühren in " + currencyText_ + ":");
    env_.host.setText(self_, ids::TotalLabel, "Gebühren insg. in " + currencyText_ + ":");
    env_.host.setText(self_, ids::ComputerName, env_.facts.computerName().value_or(""));
    fillLists();
    if (env_.withoutMeter.empty())
        meter_.begin();
    else
        meter_.beginWithoutMetering();
    showMeter();
    env_.host.centerOnWorkArea(self_);
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
    case IdOk: minimizeOrHide(meter_.state().connected); break;
    case IdCancel: env_.host.endDialog(self_, IdCancel); break;
    case ids::CmdCostEditor: openCostEditor(); break;
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

// An editor opened on a tariff that could not be read would start from an
// empty one, and saving it would replace the stored tariff: it stays shut.
void MonitorDialog::openCostEditor() {
    if (const int error = env_.profile.readError()) {
        env_.host.inform(self_,
                         "Der eigene Tarif kann nicht gelesen werden.\n\n" + env_.profile.path() +
                             ": die Datei kann nicht gelesen werden: " + atomic_file::reasonForRead(error) +
                             "\n\nDer Cost-Editor öffnet sich wieder, sobald die Datei lesbar ist.",
                         "Cost-Editor");
        return;
    }
    CostEditorDialog editor(env_);
    env_.host.runModal(costEditorTemplate(), editor, self_);
}

// A running connection is logged while the icon can still tell of a write
// that fails; the settings are saved after.
void MonitorDialog::onDestroy() {
    forwardChoices();
    meter_.endConnection(momentOf(env_.clock));
    tray_.remove();
    env_.host.killTimer(self_, ids::PollTimer);
    env_.host.killTimer(self_, ids::UnitTimer);
    meter_.end();
    *alive_ = false;
    // Nothing could be written, not even the journal: said before the end.
    if (!meter_.unsavedAtEnd().empty()) env_.host.inform(0, meter_.unsavedAtEnd(), "Kosten nicht gespeichert");
}

void MonitorDialog::onTimer(int timerId) {
    readCurrencyText(); // a changed currency symbol shows at the next tick
    if (timerId == ids::PollTimer)
        pollTick();
    else if (timerId == ids::UnitTimer)
        unitTick();
}

void MonitorDialog::pollTick() {
    forwardChoices();
    const LinkSighting links = sightLinks(env_.source, meter_.shownHandle());
    const MeterEvents events = meter_.tick(momentOf(env_.clock), links);
    showLinkChange(events);
    showMeter();
    env_.host.setCaption(self_, meter_.caption(currencyText_));
    choosePollPace();
    if (events.beep) env_.host.beep();
    if (events.unitTimerMs) env_.host.setTimer(self_, ids::UnitTimer, static_cast<unsigned>(*events.unitTimerMs));
    if (events.budget) tellBudget(*events.budget);
}

void MonitorDialog::unitTick() {
    forwardChoices();
    const MeterEvents events = meter_.unitElapsed(momentOf(env_.clock));
    showMeter();
    if (events.budget) tellBudget(*events.budget);
}

// The link source paces the poll: every second while a connection is
// metered or a write is held back, and otherwise as it sees fit (asleep until
// news while nothing is listed, a short settling delay between news and the
// look it brings). The timer is armed again only when the period changes or
// is a one-off delay, so the one-second beat never drifts.
void MonitorDialog::choosePollPace() {
    const PollPace pace = env_.source.pollPace(meter_.needsEverySecond());
    if (pace.periodMs != pollPeriodMs_ || pace.periodMs != ids::PollPeriodMs) {
        env_.host.setTimer(self_, ids::PollTimer, pace.periodMs);
        pollPeriodMs_ = pace.periodMs;
    }
    if (!pace.wakeOn.empty() || pollWatching_) env_.host.wakeOnReadable(self_, ids::PollTimer, pace.wakeOn);
    pollWatching_ = !pace.wakeOn.empty();
}

// The window layer tells of no change of a list's selection: the meter is
// handed the lists' selections before each step that uses them.
void MonitorDialog::forwardChoices() {
    meter_.chooseTariff(env_.host.curSel(self_, ids::TariffList));
    meter_.chooseWarning(env_.host.curSel(self_, ids::WarningList));
}

// The tariff is locked while a connection runs. A link that goes puts a
// minimised window into the notification area; one that comes brings a hidden
// window back as a task-bar button showing the cost.
void MonitorDialog::showLinkChange(const MeterEvents& events) {
    if (events.linkCleared) {
        env_.host.enable(self_, ids::TariffList, true);
        if (env_.host.isMinimized(self_)) minimizeOrHide(false);
    }
    if (events.linkShown) {
        env_.host.enable(self_, ids::TariffList, false);
        if (hiddenInTray_) {
            hiddenInTray_ = false;
            env_.host.show(self_, ShowMode::Minimized);
        }
    }
}

void MonitorDialog::showMeter() {
    const MeterTexts texts = meter_.texts();
    showField(ids::ConnectionName, shown_.entryName, texts.entryName);
    showField(ids::DeviceType, shown_.deviceType, texts.deviceType);
    showField(ids::DeviceName, shown_.deviceName, texts.deviceName);
    showField(ids::IpAddress, shown_.address, texts.address);
    showField(ids::TimeOnline, shown_.timeOnline, texts.timeOnline);
    showField(ids::ConnectionCost, shown_.cost, texts.cost);
    showField(ids::GrandTotal, shown_.total, texts.total);
    showField(ids::UnitLength, shown_.unitLength, texts.unitLength);
    showSelection(ids::TariffList, meter_.state().tariffZone);
    showSelection(ids::WarningList, meter_.state().warningIndex);
}

void MonitorDialog::showField(int controlId, std::string& shown, const std::string& text) {
    if (shown == text) return;
    env_.host.setText(self_, controlId, text);
    shown = text;
}

void MonitorDialog::showSelection(int listId, int index) {
    if (env_.host.curSel(self_, listId) != index) env_.host.setCurSel(self_, listId, index);
}

void MonitorDialog::readCurrencyText() {
    auto symbol = env_.facts.currencySymbol();
    currencyText_ = symbol && !symbol->empty() ? *symbol : "$";
}

void MonitorDialog::resetLog() {
    const int answer = env_.host.askYesNo(
        self_, "Wollen Sie wirklich alle Aufzeichnungen (zelvar.log) und damit alle Gebühren löschen ?", "Löschen...");
    if (answer != IdYes) return;
    forwardChoices();
    meter_.resetLog(momentOf(env_.clock));
    showMeter();
}

// Without a notification area the window is minimised instead of hidden, so
// that its task-bar button still brings it back.
void MonitorDialog::minimizeOrHide(bool connected) {
    if (connected || !tray_.available()) {
        env_.host.show(self_, ShowMode::Minimized);
        return;
    }
    env_.host.show(self_, ShowMode::Hidden);
    hiddenInTray_ = true;
}

int MonitorDialog::onTrayNotify(int /*iconId*/, int mouseMessage) {
    if (mouseMessage == MouseLeftDown) bringBack();
    return 1;
}

void MonitorDialog::bringBack() {
    hiddenInTray_ = false; // first, or the guard would keep the window hidden
    env_.host.centerOnWorkArea(self_);
    env_.host.show(self_, ShowMode::Normal);
    env_.host.setForeground(self_);
}

bool MonitorDialog::onWindowPosChanging() { return hiddenInTray_; }

// A panel that starts after the program, or again after a restart, gets the
// icon anew. While there is none, a window hidden in the notification area
// could not be brought back: it goes to the task bar, minimised.
void MonitorDialog::onTrayAreaChanged(bool present) {
    tray_.remove();
    if (present) {
        tray_.addAgain();
        return;
    }
    if (hiddenInTray_) {
        hiddenInTray_ = false; // first, or the guard would keep the window hidden
        env_.host.show(self_, ShowMode::Minimized);
    }
}

void MonitorDialog::onTrayMenuOpening(int /*iconId*/) { tray_.menuOpening(); }

void MonitorDialog::onTrayMenuChoice(int /*iconId*/, int itemId) { tray_.choose(itemId); }

bool MonitorDialog::modalAbove() const { return env_.host.hasModalAbove(self_); }

// The icon's menu, top to bottom. The autostart mark is read from the disk
// each time the menu opens: the entry may have been made or removed by hand or
// by a second copy of the program. "Beenden" ends the program as Escape does,
// and like Escape it waits while a dialog or question of the window is open.
std::vector<TrayAction> MonitorDialog::trayActions() {
    std::vector<TrayAction> actions{{.text = "Anzeigen", .run = [this] { bringBack(); }}};
    if (env_.history) actions.push_back({.text = "Verlauf...", .run = [this] { env_.history->open(); }});
    if (env_.settings)
        actions.push_back({.text = "Einstellungen...",
                           .run = [this] { env_.settings->open([this] { meter_.budgetSettingsChanged(); }); }});
    if (env_.autostart)
        actions.push_back({.text = "Beim Anmelden starten",
                           .run = [this] { toggleAutostart(); },
                           .checked = [this] { return env_.autostart->exists(); }});
    actions.push_back({.text = "Beenden",
                       .run =
                           [this] {
                               if (!modalAbove()) onCommand(IdCancel);
                           },
                       .enabled = [this] { return !modalAbove(); },
                       .endsRun = true});
    return actions;
}

// A failed write leaves the entry as it was; the check mark keeps showing what
// is on disk and the beep says that the choice did not take.
void MonitorDialog::toggleAutostart() {
    const WriteResult result = env_.autostart->exists() ? env_.autostart->disable() : env_.autostart->enable();
    if (!result) env_.host.beep();
}

// A message at the notification-area icon; without one, a line on stderr.
void MonitorDialog::tellUser(const std::string& title, const std::string& text) {
    if (tray_.message(title, text)) return;
    std::fprintf(stderr, "velmora: %s: %s\n", title.c_str(), text.c_str());
}

// A share of the budget reached: a desktop notification; where the desktop
// has none, the message beside the icon, and without an icon a line on stderr.
void MonitorDialog::tellBudget(const BudgetAlert& alert) {
    const BudgetMessage message = budgetMessage(alert.figures, alert.percent, currencyText_);
    auto elsewhere = [this, alive = alive_, message] {
        if (*alive && tray_.message(message.summary, message.body)) return;
        std::string line = message.body; // one line on stderr, as every message there
        for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at))
            line.replace(at, 1, "; ");
        std::fprintf(stderr, "velmora: %s: %s\n", message.summary.c_str(), line.c_str());
    };
    if (env_.notifier)
        env_.notifier->notify(message.summary, message.body, std::move(elsewhere));
    else
        elsewhere();
}

std::string MonitorDialog::budgetStatusJson() {
    return statusJson(meter_.budgetFigures(momentOf(env_.clock)), currencyText_);
}

// The window of a start that could not make sure it is the only meter: it
// shows the stored total, but meters nothing and writes nothing (another copy
// may own the files), and says why.
void MonitorDialog::showWithoutMeter() {
    env_.host.enable(self_, ids::CmdReset, false);
    env_.host.setCaption(self_, "Velmora misst nicht");
    tellUser("Velmora misst nicht", env_.withoutMeter);
}

} // namespace velmora
