#include "ui/CostEditorDialog.h"

#include <array>
#include <cstdio>

#include "platform/Utf8.h"
#include "ui/ControlIds.h"
#include "ui/DecimalInput.h"

namespace velmora {

namespace {

constexpr std::array<const char*, 15> kTaktEntries{"11.5", "12", "12.5", "13.5", "20",  "21.5", "25", "26",
                                                   "30",   "45", "60",   "90",   "120", "150",  "240"};
constexpr int kDefaultTaktIndex = 14; // "240"
constexpr const char* kDefaultFee = "0.12";
// Everything downstream of the "Takt" and fee fields is sized for 9 characters.
constexpr std::size_t kFieldChars = 9;
constexpr int kLastHour = 24;
constexpr const char* kEditorCaption = "Cost-Editor";

// "08:00" for 0..24, "??:??" for any other hour.
std::string hourText(int hour) {
    if (hour < 0 || hour > kLastHour) return "??:??";
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:00", hour);
    return buf;
}

// "Von 08:00 bis 18:00 90 sec"
std::string displayLine(const std::string& startText, const std::string& endText, const std::string& unitText) {
    return "Von " + startText + " bis " + endText + " " + unitText + " sec";
}

int displayListOf(BandList list) { return list == BandList::Weekday ? ids::WeekdayList : ids::HolidayList; }

} // namespace

const std::vector<TariffBand>& CostEditorDialog::bands(BandList list) const {
    return list == BandList::Weekday ? tariff_.weekdayBands : tariff_.holidayBands;
}

std::vector<TariffBand>& CostEditorDialog::bandsOf(BandList list) {
    return list == BandList::Weekday ? tariff_.weekdayBands : tariff_.holidayBands;
}

BandList CostEditorDialog::currentList() const {
    return env_.host.isChecked(self_, ids::WeekdayMode) ? BandList::Weekday : BandList::Holiday;
}

void CostEditorDialog::onCommand(int commandId) {
    switch (commandId) {
    case ids::AddBand: addBand(); break;
    case ids::DeleteBand: deleteBand(); break;
    case ids::HolidayMode:
    case ids::WeekdayMode: enableListsByMode(); break;
    case IdOk:
        // The editor stays open over a fee without a number or a tariff that
        // could not be written: closing would lose what the user entered.
        if (!feeReadsAsNumber() || !saveUserTariff()) break;
        env_.host.endDialog(self_, IdOk);
        break;
    case IdCancel: env_.host.endDialog(self_, IdCancel); break;
    default: break;
    }
}

void CostEditorDialog::openEditor(WindowId self) {
    self_ = self;
    WindowHost& host = env_.host;
    host.setChecked(self_, ids::WeekdayMode, true);
    host.setChecked(self_, ids::HolidayMode, false);
    host.enable(self_, ids::HolidayList, false);
    for (int list : {ids::Von, ids::Bis})
        for (int hour = 0; hour <= kLastHour; ++hour) host.addString(self_, list, hourText(hour));
    host.setCurSel(self_, ids::Von, 0);
    host.setCurSel(self_, ids::Bis, kLastHour);
    for (const char* takt : kTaktEntries) host.addString(self_, ids::Takt, takt);
    host.setCurSel(self_, ids::Takt, kDefaultTaktIndex);
    host.setCurSel(self_, ids::Fee, host.addString(self_, ids::Fee, kDefaultFee));
    loadUserTariff();
    if (tariff_.unitFee != kDefaultFee)
        host.setCurSel(self_, ids::Fee, host.addString(self_, ids::Fee, tariff_.unitFee));
    const auto symbol = env_.facts.currencySymbol();
    host.setText(self_, ids::FeeLabel, "Einheit in " + (symbol && !symbol->empty() ? *symbol : "$") + ":");
    // Check boxes Monday..Sunday; a box is ticked exactly when the day is
    // charged by the holiday list (its flag reads 1).
    for (int i = 0; i < 7; ++i)
        host.setChecked(self_, ids::Monday + i, tariff_.holidayWeekdays[static_cast<std::size_t>(i)]);
}

// Hand-edited "Takt" texts longer than 9 characters are carried whole.
void CostEditorDialog::loadUserTariff() {
    tariff_ = velmora::loadUserTariff(env_.profile);
    for (BandList list : {BandList::Weekday, BandList::Holiday})
        for (const TariffBand& band : bands(list))
            env_.host.addString(self_, displayListOf(list),
                                displayLine(hourText(band.startHour), hourText(band.endHour), band.unitLengthText));
}

void CostEditorDialog::appendBand(BandList list, const TariffBand& band, const std::string& line) {
    env_.host.addString(self_, displayListOf(list), line);
    bandsOf(list).push_back(band);
}

// The unit length typed with a decimal comma is stored with a point; a text
// without any number is refused with a message. Beyond that nothing is
// validated: the user may store any band (an end before the start, an overlap).
void CostEditorDialog::addBand() {
    WindowHost& host = env_.host;
    const std::string von = host.itemText(self_, ids::Von, host.curSel(self_, ids::Von));
    const std::string bis = host.itemText(self_, ids::Bis, host.curSel(self_, ids::Bis));
    const std::string takt = typedNumber(ids::Takt);
    if (!readsAsUnitLength(takt)) {
        host.inform(self_, noNumberMessage("Takt in Sek.", "90 oder 11,5"), kEditorCaption);
        return;
    }
    appendBand(currentList(), {host.curSel(self_, ids::Von), host.curSel(self_, ids::Bis), takt},
               displayLine(von, bis, takt));
}

void CostEditorDialog::deleteBand() {
    const BandList list = currentList();
    const int index = env_.host.curSel(self_, displayListOf(list));
    if (index < 0 || index >= static_cast<int>(bands(list).size())) return;
    bandsOf(list).erase(bandsOf(list).begin() + index);
    env_.host.deleteString(self_, displayListOf(list), index);
    env_.host.setCurSel(self_, displayListOf(list), -1);
}

void CostEditorDialog::enableListsByMode() {
    const bool weekday = env_.host.isChecked(self_, ids::WeekdayMode);
    env_.host.enable(self_, ids::WeekdayList, weekday);
    env_.host.enable(self_, ids::HolidayList, !weekday);
}

std::string CostEditorDialog::typedNumber(int field) const {
    return utf8Prefix(normaliseDecimalInput(env_.host.text(self_, field, kFieldChars)), kFieldChars);
}

// A fee without any number would silently charge nothing (or the default).
bool CostEditorDialog::feeReadsAsNumber() {
    if (readsAsFee(typedNumber(ids::Fee))) return true;
    std::string label = env_.host.text(self_, ids::FeeLabel, 40);
    if (!label.empty() && label.back() == ':') label.pop_back();
    env_.host.inform(self_, noNumberMessage(label, "0,12"), kEditorCaption);
    return false;
}

bool CostEditorDialog::saveUserTariff() {
    tariff_.unitFee = typedNumber(ids::Fee);
    for (int i = 0; i < 7; ++i)
        tariff_.holidayWeekdays[static_cast<std::size_t>(i)] = env_.host.isChecked(self_, ids::Monday + i);
    const WriteResult written = velmora::saveUserTariff(env_.profile, tariff_);
    if (!written)
        env_.host.inform(self_,
                         "Der Tarif konnte nicht gespeichert werden.\n\n" + env_.profile.path() + ": " + written.reason,
                         kEditorCaption);
    return written.ok;
}

} // namespace velmora
