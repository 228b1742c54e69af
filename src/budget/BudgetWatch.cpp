#include "budget/BudgetWatch.h"

#include <cmath>
#include <limits>

namespace velmora {
namespace {

constexpr std::uint64_t kSettingsEveryMs = 10'000;

bool runsIn(const BillingPeriod& period, const RunningConnection& running) {
    return running.connected && period.contains(running.start);
}

} // namespace

BudgetWatch::BudgetWatch(SettingsProfile& profile, PeriodSum periodSum, Tell tell)
    : profile_(profile), periodSum_(std::move(periodSum)), tell_(std::move(tell)) {}

std::optional<BudgetAlert> BudgetWatch::check(std::uint64_t bootMs, const LocalTime& now,
                                              const RunningConnection& running) {
    lastBootMs_ = bootMs;
    const CalendarDate today = CalendarDate::of(now);
    if (!haveDay_ || today != today_) enterDay(today);
    if (!settingsDueMs_ || bootMs >= *settingsDueMs_) readSettings(bootMs);
    if (!plan_.budget) return std::nullopt;
    const Money spent = logged() + (runsIn(period_, running) ? running.cost : Money());
    if (spent < nextAlertAt_) return std::nullopt;
    const BudgetFigures figures = figuresOf(plan_, period_, logged(), running, now);
    const int reached = figures.thresholdReached();
    if (reached <= told_) return std::nullopt;
    told_ = reached;
    markBehind_ = true;
    keepMark();
    armNextAlert();
    return BudgetAlert{reached, figures};
}

BudgetFigures BudgetWatch::figures(const LocalTime& now, const RunningConnection& running) {
    const CalendarDate today = CalendarDate::of(now);
    if (!haveDay_ || today != today_) enterDay(today);
    readSettings(lastBootMs_); // a status is asked for rarely: the settings as they are now
    return figuresOf(plan_, period_, logged(), running, now);
}

void BudgetWatch::recordLogged(const CalendarDate& start, Money cost) {
    if (logged_ && period_.contains(start)) *logged_ += cost;
}

void BudgetWatch::logReset() {
    if (haveDay_) logged_ = Money();
}

// A changed billing day makes another period; a changed budget other thresholds.
void BudgetWatch::readSettings(std::uint64_t bootMs) {
    settingsDueMs_ = bootMs + kSettingsEveryMs;
    const BudgetSettings stored = readSection(profile_.snapshot(), settings::kBudget);
    const BudgetPlan plan = planOf(stored);
    storedMark_ = parseMark(stored.notified);
    const bool otherDay = plan.billingDay != plan_.billingDay;
    plan_ = plan;
    if (otherDay && haveDay_) enterDay(today_);
    if (markBehind_) keepMark();
    armNextAlert();
}

void BudgetWatch::enterDay(const CalendarDate& today) {
    const bool first = !haveDay_;
    today_ = today;
    haveDay_ = true;
    const BillingPeriod period = *billingPeriodOf(today, plan_.billingDay);
    if (first || period != period_) enterPeriod(period);
}

// What was told before a restart counts: the stored mark of this very period.
void BudgetWatch::enterPeriod(const BillingPeriod& period) {
    period_ = period;
    logged_.reset();
    told_ = storedMark_ && storedMark_->period == period.first ? storedMark_->percent : 0;
    markBehind_ = false;
    armNextAlert();
}

Money BudgetWatch::logged() {
    if (!logged_) logged_ = periodSum_(period_);
    return *logged_;
}

// The least spending at which the next share could be reached, a little below
// it: the exact test follows.
void BudgetWatch::armNextAlert() {
    if (storedMark_ && storedMark_->period == period_.first && storedMark_->percent > told_)
        told_ = storedMark_->percent;
    if (!plan_.budget || told_ >= kExceededPercent) {
        nextAlertAt_ = Money::fromMicros(std::numeric_limits<std::int64_t>::max());
        return;
    }
    const int next = told_ >= kWarningPercent ? kExceededPercent : kWarningPercent;
    const long double at = std::floor(static_cast<long double>(plan_.budget->micros()) * next / 100.0L);
    nextAlertAt_ = Money::fromMicros(static_cast<std::int64_t>(at) - 1);
}

// Written at once; a write that fails is tried again with the next reading of
// the settings, and the user hears of it once: until it lands, a restart may
// tell the same share again.
void BudgetWatch::keepMark() {
    constexpr std::string_view key = keyOf<&BudgetSettings::notified>(settings::kBudget).name;
    const WriteResult written = profile_.writeString(settings::kBudget.name, key, markText({period_.first, told_}));
    if (written) {
        storedMark_ = NotifiedMark{period_.first, told_};
        markBehind_ = false;
        markFailureTold_ = false;
        return;
    }
    if (markFailureTold_ || !tell_) return;
    markFailureTold_ = true;
    tell_("Budget-Meldung nicht gespeichert",
          profile_.path() + ": " + written.reason +
              ". Velmora versucht es wieder; bis dahin kann ein Neustart dieselbe Meldung noch einmal bringen.");
}

} // namespace velmora
