// What survives the program: section "Standard" of the profile and the
// connection log.
#include <charconv>
#include <optional>
#include <string>

#include "store/NumberParse.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

namespace {

constexpr int kTariffCount = 5;

// A number this program wrote itself ("%d").
int intOf(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

// Settings still waiting to be written are newer than the file's.
void MonitorDialog::loadSettings() {
    const auto storedInt = [this](const char* key) {
        if (std::optional<std::string> pending = keeper_.pendingSetting(key)) return intOf(*pending);
        return env_.profile.readInt(kStandardSection, key, 0);
    };
    warningIndex_ = storedInt("Warnung");
    const int zone = storedInt("Tarifzone");
    env_.host.setCurSel(self_, ids::TariffList, zone >= 0 && zone < kTariffCount ? zone : -1);
    const std::string total =
        keeper_.pendingSetting("Kosten").value_or(env_.profile.readString(kStandardSection, "Kosten", "0"));
    // A total with no leading number starts from 0.
    grandTotal_ = parseLeadingDouble(total).value_or(0.0);
    unitLengthMs_ = 0;
}

void MonitorDialog::saveSettings() { keeper_.saveSettings(standardSettings()); }

// The record copies what the window shows, so the log holds what the user saw
// last; it goes out together with the settings that hold its total.
void MonitorDialog::writeLogRecord() {
    const LocalTime end = env_.clock.localTime();
    keeper_.connectionEnded({connectTime_, end, fieldText(ids::ConnectionCost), fieldText(ids::GrandTotal)},
                            standardSettings());
}

void MonitorDialog::resetLog() {
    const int answer = env_.host.askYesNo(
        self_, "Wollen Sie wirklich alle Aufzeichnungen (zelvar.log) und damit alle Gebühren löschen ?", "Löschen...");
    if (answer != IdYes) return;
    grandTotal_ = 0.0;
    setField(ids::GrandTotal, "0.00");
    // Settings saved at once: a crash now must not bring back the total the
    // user deleted, nor a record held back from the log.
    std::optional<OpenConnection> open;
    if (connected_ && chargingStarted) open = openConnection();
    keeper_.resetLog(standardSettings(), open);
    lastCheckpointMs_ = env_.clock.tickMs();
}

} // namespace velmora
