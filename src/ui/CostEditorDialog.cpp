#include "ui/CostEditorDialog.h"

#include <array>
#include <charconv>
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

// The field's own label names it in the message.
std::string noNumberMessage(std::string_view fieldName, std::string_view example) {
    return "Im Feld „" + std::string(fieldName) + "“ steht keine Zahl.\n\nBitte eine Zahl eingeben, zum Beispiel " +
           std::string(example) + ".";
}

int parseColumnInt(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

std::string CostEditorDialog::hourText(int hour) {
    if (hour < 0 || hour > kLastHour) return "??:??";
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:00", hour);
    return buf;
}

std::string CostEditorDialog::displayLine(const std::string& startText, const std::string& endText,
                                          const std::string& unitText) {
    return "Von " + startText + " bis " + endText + " " + unitText + " sec";
}

CostEditorDialog::Columns CostEditorDialog::columnsOf(BandList list) {
    if (list == BandList::Weekday) return {ids::WeekdayList, ids::WeekdayStarts, ids::WeekdayEnds, ids::WeekdayUnits};
    return {ids::HolidayList, ids::HolidayStarts, ids::HolidayEnds, ids::HolidayUnits};
}

BandList CostEditorDialog::currentList() const {
    return env_.host.isChecked(self_, ids::WeekdayMode) ? BandList::Weekday : BandList::Holiday;
}

void CostEditorDialog::onCommand(int commandId) {
    switch (commandId) {
    case ids::AddBand: addBand(); break;
    case ids::DeleteBand: deleteBand(); break;
    case ids::HolidayMode: selectHolidayMode(); break;
    case ids::WeekdayMode: selectWeekdayMode(); break;
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
    const std::string fee = env_.profile.readString(kCostEditorSection, "Gebuehr", kDefaultFee);
    if (fee != kDefaultFee) host.setCurSel(self_, ids::Fee, host.addString(self_, ids::Fee, fee));
    const auto symbol = env_.facts.currencySymbol();
    host.setText(self_, ids::FeeLabel, "Einheit in " + (symbol && !symbol->empty() ? *symbol : "$") + ":");
    // Check boxes Monday..Sunday; a box is ticked exactly when the day is
    // charged by the holiday list (its flag reads 1).
    for (int i = 0; i < 7; ++i)
        host.setChecked(self_, ids::Monday + i, readHolidayFlag(env_.profile, (i + 1) % 7) == 1);
}

// Hand-edited "Takt" texts longer than 9 characters are carried whole.
void CostEditorDialog::loadUserTariff() {
    for (BandList list : {BandList::Weekday, BandList::Holiday})
        for (const TariffBand& band : loadBandList(env_.profile, list))
            appendBand(list, displayLine(hourText(band.startHour), hourText(band.endHour), band.unitLengthText),
                       std::to_string(band.startHour), std::to_string(band.endHour), band.unitLengthText);
}

void CostEditorDialog::appendBand(BandList list, const std::string& line, const std::string& start,
                                  const std::string& end, const std::string& unit) {
    const Columns c = columnsOf(list);
    env_.host.addString(self_, c.display, line);
    env_.host.addString(self_, c.start, start);
    env_.host.addString(self_, c.end, end);
    env_.host.addString(self_, c.unit, unit);
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
    appendBand(currentList(), displayLine(von, bis, takt), std::to_string(host.curSel(self_, ids::Von)),
               std::to_string(host.curSel(self_, ids::Bis)), takt);
}

void CostEditorDialog::deleteBand() {
    const Columns c = columnsOf(currentList());
    const int index = env_.host.curSel(self_, c.display);
    if (index < 0) return;
    for (int column : {c.start, c.end, c.unit, c.display}) env_.host.deleteString(self_, column, index);
    env_.host.setCurSel(self_, c.display, -1);
}

void CostEditorDialog::enableListsByMode() {
    const bool weekday = env_.host.isChecked(self_, ids::WeekdayMode);
    env_.host.enable(self_, ids::WeekdayList, weekday);
    env_.host.enable(self_, ids::HolidayList, !weekday);
}

void CostEditorDialog::selectHolidayMode() { enableListsByMode(); }
void CostEditorDialog::selectWeekdayMode() { enableListsByMode(); }

std::vector<TariffBand> CostEditorDialog::bandsOf(BandList list) const {
    const Columns c = columnsOf(list);
    std::vector<TariffBand> bands;
    const int n = env_.host.count(self_, c.display);
    for (int i = 0; i < n; ++i)
        bands.push_back({parseColumnInt(env_.host.itemText(self_, c.start, i)),
                         parseColumnInt(env_.host.itemText(self_, c.end, i)), env_.host.itemText(self_, c.unit, i)});
    return bands;
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
    UserTariff tariff;
    tariff.unitFee = typedNumber(ids::Fee);
    for (int i = 0; i < 7; ++i)
        tariff.holidayWeekdays[static_cast<std::size_t>(i)] = env_.host.isChecked(self_, ids::Monday + i);
    tariff.weekdayBands = bandsOf(BandList::Weekday);
    tariff.holidayBands = bandsOf(BandList::Holiday);
    const WriteResult written = velmora::saveUserTariff(env_.profile, tariff);
    if (!written)
        env_.host.inform(self_,
                         "Der Tarif konnte nicht gespeichert werden.\n\n" + env_.profile.path() + ": " + written.reason,
                         kEditorCaption);
    return written.ok;
}

} // namespace velmora
