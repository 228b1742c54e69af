// The heartbeat: the poll tick opens, meters and closes connections; the unit
// tick charges one unit.
#include "monitor/DeviceType.h"
#include "tariff/Charging.h"
#include "ui/ControlIds.h"
#include "ui/MonitorDialog.h"

namespace velmora {

void MonitorDialog::onTimer(int timerId) {
    readCurrencyText(); // a changed currency symbol shows at the next tick
    if (timerId == ids::PollTimer)
        pollTick();
    else if (timerId == ids::UnitTimer)
        unitTick();
}

void MonitorDialog::pollTick() {
    keeper_.retry();
    probeConnection();
    if (!connected_) {
        chargingStarted = false;
        connectionCost_ = 0.0;
        unitLengthMs_ = 0;
        env_.host.setCaption(self_, kNoConnection);
        choosePollPace();
        return;
    }
    choosePollPace();
    if (!chargingStarted) { // a new connection: its first unit is charged at once
        startConnectionClock();
        chargingStarted = true;
        chargeUnit();
    }
    updateChargePeriod();
    checkpointIfDue();
    setField(ids::UnitLength, unitLengthMs_ == 0 ? kNoConnection : formatUnitLength(unitLengthMs_));
    showMoney(ids::ConnectionCost, connectionCost_);
    env_.host.setCaption(self_, fieldText(ids::ConnectionCost) + " " + currencyText_ + "  /  " +
                                    fieldText(ids::TimeOnline) + " h");
}

// A unit timer left over from an earlier connection keeps running; it charges
// only while a unit length is in force for the current connection.
void MonitorDialog::unitTick() {
    if (!connected_ || unitLengthMs_ == 0) return;
    chargeUnit();
    showMoney(ids::ConnectionCost, connectionCost_);
    showMoney(ids::GrandTotal, grandTotal_);
}

// The link source paces the poll: every second while a connection is
// metered or a write is held back (everySecond), and otherwise as it sees fit
// (asleep until news while nothing is listed, a short settling delay between
// news and the look it brings). The timer is armed again only when the
// period changes or is a one-off delay, so the one-second beat never drifts.
void MonitorDialog::choosePollPace() {
    const PollPace pace = env_.source.pollPace(connected_ || keeper_.holdsBack());
    if (pace.periodMs != pollPeriodMs_ || pace.periodMs != ids::PollPeriodMs) {
        env_.host.setTimer(self_, ids::PollTimer, pace.periodMs);
        pollPeriodMs_ = pace.periodMs;
    }
    if (!pace.wakeOn.empty() || pollWatching_) env_.host.wakeOnReadable(self_, ids::PollTimer, pace.wakeOn);
    pollWatching_ = !pace.wakeOn.empty();
}

bool MonitorDialog::probeConnection() {
    const ConnectionList list = env_.source.list();
    listedCount_ = list.count;
    if (list.count == 0) {
        if (connected_) clearConnection(); // the link vanished from the list
        return connected_;
    }
    const ConnectionStatus status = env_.source.status(list.firstHandle);
    if (!status.connected) {
        clearConnection(); // dialling, authenticating, hanging up
        return connected_;
    }
    if (connected_ && list.firstHandle != connectionHandle_) {
        // Another link is first now: the shown connection ended as a drop
        // does, and the new one opens as new in this same tick.
        clearConnection();
        chargingStarted = false;
    }
    connectionHandle_ = list.firstHandle;
    showEstablished(list, status);
    return connected_;
}

void MonitorDialog::showEstablished(const ConnectionList& list, const ConnectionStatus& status) {
    const std::string address = env_.source.projectionAddress(list.firstHandle);
    setField(ids::ConnectionName, list.firstEntryName);
    setField(ids::IpAddress, address.empty() ? kNoAddress : address);
    setField(ids::DeviceType, deviceTypeText(status.deviceType));
    setField(ids::DeviceName, status.deviceName);
    env_.host.enable(self_, ids::TariffList, false);
    connected_ = true;
    if (hiddenInTray_) { // back from the tray as a task-bar button showing the cost
        hiddenInTray_ = false;
        env_.host.show(self_, ShowMode::Minimized);
    }
}

// Logs a connection that was up before anything it shows is cleared.
void MonitorDialog::clearConnection() {
    if (connected_) writeLogRecord();
    setField(ids::IpAddress, kNoAddress);
    for (int field :
         {ids::ConnectionName, ids::DeviceType, ids::DeviceName, ids::UnitLength, ids::TimeOnline, ids::ConnectionCost})
        setField(field, kNoConnection);
    env_.host.enable(self_, ids::TariffList, true);
    connectionCost_ = 0.0;
    unitLengthMs_ = 0;
    connected_ = false;
    if (env_.host.isMinimized(self_)) minimizeOrHide();
}

} // namespace velmora
