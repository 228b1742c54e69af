#pragma once
// The editor of the user-defined tariff: two band lists (weekdays and
// holidays), the weekdays that count as holidays, and the fee per unit. The
// tariff lives in the controls until "&OK" writes it whole.

#include <string>

#include "store/UserTariff.h"
#include "ui/MonitorDialog.h"

namespace velmora {

class CostEditorDialog : public DialogHandler {
public:
    explicit CostEditorDialog(MonitorEnvironment env) : env_(env) {}

    void onInitDialog(WindowId self) override { openEditor(self); }
    void onCommand(int commandId) override;

    void openEditor(WindowId self);
    void addBand();
    void deleteBand();
    void selectHolidayMode();
    void selectWeekdayMode();
    void loadUserTariff();
    // False, after telling the user why, when the tariff could not be written.
    bool saveUserTariff();

    // "Von 08:00 bis 18:00 90 sec"
    static std::string displayLine(const std::string& startText, const std::string& endText,
                                   const std::string& unitText);
    // "08:00" for 0..24, "??:??" for any other hour.
    static std::string hourText(int hour);

private:
    struct Columns {
        int display, start, end, unit;
    };
    static Columns columnsOf(BandList list);
    BandList currentList() const;
    void appendBand(BandList list, const std::string& line, const std::string& start, const std::string& end,
                    const std::string& unit);
    std::vector<TariffBand> bandsOf(BandList list) const;
    // The field's text as typed, at most 9 characters, with a decimal comma made a point.
    std::string typedNumber(int field) const;
    bool feeReadsAsNumber();
    void enableListsByMode();

    MonitorEnvironment env_;
    WindowId self_ = 0;
};

} // namespace velmora
