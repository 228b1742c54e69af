// What survives the program: section "Standard" of the profile and the
// connection log.
#include <string>

#include "store/NumberParse.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

namespace {
constexpr int kTariffCount = 5;
} // namespace

void MonitorDialog::loadSettings() {
    warningIndex_ = env_.profile.readInt(kStandardSection, "Warnung", 0);
    const int zone = env_.profile.readInt(kStandardSection, "Tarifzone", 0);
    env_.host.setCurSel(self_, ids::TariffList, zone >= 0 && zone < kTariffCount ? zone : -1);
    // A total with no leading number starts from 0.
    grandTotal_ = parseLeadingDouble(env_.profile.readString(kStandardSection, "Kosten", "0")).value_or(0.0);
    unitLengthMs_ = 0;
}

void MonitorDialog::saveSettings() {
    if (tariffZone() == -1) env_.host.setCurSel(self_, ids::TariffList, 0);
    warningIndex_ = env_.host.curSel(self_, ids::WarningList);
    // One locked rewrite for the three keys, in their fixed order.
    env_.profile.writeStrings(kStandardSection, {{"Kosten", formatTwoDecimals(grandTotal_)},
                                                 {"Tarifzone", std::to_string(tariffZone())},
                                                 {"Warnung", std::to_string(warningIndex_)}});
}

// The record copies what the window shows, so the log holds what the user saw last.
void MonitorDialog::writeLogRecord() {
    const LocalTime end = env_.clock.localTime();
    env_.log.write({connectTime_, end, fieldText(ids::ConnectionCost), fieldText(ids::GrandTotal)});
    saveSettings();
}

void MonitorDialog::resetLog() {
    const int answer = env_.host.askYesNo(
        self_, "Wollen Sie wirklich alle Aufzeichnungen (zelvar.log) und damit alle Gebühren löschen ?",
        "Löschen...");
    if (answer != IdYes) return;
    env_.log.remove();
    grandTotal_ = 0.0;
    setField(ids::GrandTotal, "0.00");
    // Saved at once: a crash now must not bring back the total the user deleted.
    saveSettings();
}

} // namespace velmora
