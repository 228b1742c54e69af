// Safekeeping of the money records: checkpoints of the open connection and
// the settings as they are handed to the record keeper, and how the user is
// told when a file cannot be written.
#include <cstdio>

#include "store/NumberParse.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

namespace {
// A crash loses at most this much time online (no charge: every unit is checkpointed).
constexpr std::uint64_t kCheckpointIntervalMs = 60'000;
} // namespace

OpenConnection MonitorDialog::openConnection() const {
    return {fieldText(ids::ConnectionName),
            connectTime_,
            connectTickSeconds_,
            env_.clock.localTime(),
            env_.clock.tickMs() / 1000,
            formatTwoDecimals(connectionCost_),
            formatTwoDecimals(grandTotal_)};
}

void MonitorDialog::checkpoint() {
    keeper_.checkpoint(openConnection());
    lastCheckpointMs_ = env_.clock.tickMs();
}

void MonitorDialog::checkpointIfDue() {
    if (env_.clock.tickMs() - lastCheckpointMs_ >= kCheckpointIntervalMs) checkpoint();
}

// Also brings an empty tariff selection back to the first entry and takes the
// warning list's selection, as every save always did.
SettingsValues MonitorDialog::standardSettings() {
    if (tariffZone() == -1) env_.host.setCurSel(self_, ids::TariffList, 0);
    warningIndex_ = env_.host.curSel(self_, ids::WarningList);
    return {{"Kosten", formatTwoDecimals(grandTotal_)},
            {"Tarifzone", std::to_string(tariffZone())},
            {"Warnung", std::to_string(warningIndex_)}};
}

// A message at the notification-area icon; without one, a line on stderr.
void MonitorDialog::tellUser(const std::string& title, const std::string& text) {
    if (self_ != 0 && env_.host.trayMessage(self_, ids::TrayIconId, title, text)) return;
    std::fprintf(stderr, "velmora: %s: %s\n", title.c_str(), text.c_str());
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
