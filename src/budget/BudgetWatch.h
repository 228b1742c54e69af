#pragma once
// The meter's eye on the budget, asked at every poll and every charged unit:
// which billing period it is, what the period has cost (its logged sum read
// once, then kept up to date as records are written, read again only when the
// period changes), and whether 80 % or 100 % of the budget has been reached
// and not yet told in this period. What it has told is kept in the settings
// ("Gemeldet" in section "Budget"), so a restart does not tell it again.
//
// A poll costs a comparison of dates and amounts; the settings are read again
// every ten seconds (a hand edit shows within that time) and at once when the
// settings window says they changed.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "budget/BudgetFigures.h"
#include "budget/BudgetPlan.h"
#include "store/SettingsProfile.h"

namespace velmora {

// A share of the budget reached: 80 or 100, and the figures of that moment.
struct BudgetAlert {
    int percent = 0;
    BudgetFigures figures;
};

class BudgetWatch {
public:
    // The logged spending of a period, read from the files.
    using PeriodSum = std::function<Money(const BillingPeriod&)>;
    // Tells the user that what was told could not be kept (German title and text).
    using Tell = std::function<void(const std::string& title, const std::string& text)>;

    BudgetWatch(SettingsProfile& profile, PeriodSum periodSum, Tell tell);

    // A poll or a charge: a share to tell now, once per period.
    std::optional<BudgetAlert> check(std::uint64_t bootMs, const LocalTime& now, const RunningConnection& running);
    // The figures of the period holding `now`, for the status.
    BudgetFigures figures(const LocalTime& now, const RunningConnection& running);

    // A finished connection was handed to the log.
    void recordLogged(const CalendarDate& start, Money cost);
    // The log was deleted: the period has no logged connections now.
    void logReset();
    // The budget or the billing day may have changed: read them at the next check.
    void settingsChanged() { settingsDueMs_.reset(); }

private:
    void readSettings(std::uint64_t bootMs);
    void enterDay(const CalendarDate& today);
    void enterPeriod(const BillingPeriod& period);
    Money logged();
    void armNextAlert();
    void keepMark();

    SettingsProfile& profile_;
    PeriodSum periodSum_;
    Tell tell_;
    BudgetPlan plan_;
    std::optional<NotifiedMark> storedMark_;     // as the settings hold it
    std::optional<std::uint64_t> settingsDueMs_; // unset: read at the next check
    std::uint64_t lastBootMs_ = 0;
    CalendarDate today_{};
    bool haveDay_ = false;
    BillingPeriod period_{};
    std::optional<Money> logged_; // unset: not read yet for this period
    int told_ = 0;                // the highest share told in this period
    Money nextAlertAt_;           // below this nothing new can be told
    bool markBehind_ = false;     // the settings do not hold told_ yet
    bool markFailureTold_ = false;
};

} // namespace velmora
