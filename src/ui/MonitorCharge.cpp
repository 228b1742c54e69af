// The meter: connection clock, unit clock, charging and the time warning.
#include <algorithm>
#include <limits>

#include "tariff/Charging.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

void MonitorDialog::startConnectionClock() {
    connectTickSeconds_ = env_.clock.tickMs() / 1000;
    connectTime_ = env_.clock.localTime();
}

void MonitorDialog::chargeUnit() {
    const double fee = chargePerUnit(tariffZone(), env_.profile);
    connectionCost_ += fee;
    grandTotal_ += fee;
    showMoney(ids::GrandTotal, grandTotal_);
    showMoney(ids::ConnectionCost, connectionCost_);
    if (connected_ && chargingStarted) checkpoint();
}

// A change of band cuts the running unit short and charges a new one at once.
int MonitorDialog::switchUnitLength(int unitMs) {
    if (unitLengthMs_ == 0) {
        unitLengthMs_ = unitMs;
        env_.host.setTimer(self_, ids::UnitTimer, static_cast<unsigned>(unitMs));
        return 1;
    }
    if (unitLengthMs_ == unitMs) return 0;
    unitLengthMs_ = unitMs;
    env_.host.killTimer(self_, ids::UnitTimer);
    chargeUnit();
    env_.host.setTimer(self_, ids::UnitTimer, static_cast<unsigned>(unitLengthMs_));
    return 1;
}

void MonitorDialog::updateChargePeriod() {
    const std::uint64_t elapsed64 = env_.clock.tickMs() / 1000 - connectTickSeconds_;
    const auto elapsed =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(elapsed64, std::numeric_limits<std::uint32_t>::max()));
    warningIndex_ = env_.host.curSel(self_, ids::WarningList);
    if (warningDue(warningIndex_, elapsed)) env_.host.beep();
    setField(ids::TimeOnline, formatElapsed(elapsed));
    evaluateTariff(tariffZone(), env_.clock.localTime(), env_.profile, *this);
}

} // namespace velmora
