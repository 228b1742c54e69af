// Billing periods from the billing day: where they start and end, across
// February and the year's end, and the billing days that are refused.
#include <gtest/gtest.h>

#include "budget/BillingPeriod.h"
#include "budget/BudgetPlan.h"

namespace velmora::test {
namespace {

CalendarDate date(int year, int month, int day) { return {year, month, day}; }

BillingPeriod periodOf(CalendarDate day, int billingDay) {
    const std::optional<BillingPeriod> period = billingPeriodOf(day, billingDay);
    EXPECT_TRUE(period.has_value());
    return period.value_or(BillingPeriod{});
}

TEST(BillingPeriod, StartsOnTheBillingDayAndEndsTheDayBeforeTheNext) {
    struct Case {
        CalendarDate day;
        int billingDay;
        CalendarDate first, last;
        int days;
    };
    const Case cases[] = {
        {date(2026, 12, 9), 1, date(2026, 12, 1), date(2026, 12, 31), 31},    // the calendar month
        {date(2026, 12, 15), 15, date(2026, 12, 15), date(2027, 1, 14), 31},  // its first day
        {date(2026, 12, 14), 15, date(2026, 11, 15), date(2026, 12, 14), 30}, // its last day
        {date(2027, 1, 5), 15, date(2026, 12, 15), date(2027, 1, 14), 31},    // across the year's end
        {date(2026, 12, 31), 28, date(2026, 12, 28), date(2027, 1, 27), 31},
        {date(2027, 1, 1), 2, date(2026, 12, 2), date(2027, 1, 1), 31},
        {date(2027, 2, 10), 28, date(2027, 1, 28), date(2027, 2, 27), 31}, // into February
        {date(2027, 2, 28), 28, date(2027, 2, 28), date(2027, 3, 27), 28}, // February's 28 days
        {date(2028, 2, 29), 28, date(2028, 2, 28), date(2028, 3, 27), 29}, // a leap year's
        {date(2028, 3, 1), 1, date(2028, 3, 1), date(2028, 3, 31), 31},
        {date(2028, 2, 29), 1, date(2028, 2, 1), date(2028, 2, 29), 29},
        {date(2027, 3, 10), 15, date(2027, 2, 15), date(2027, 3, 14), 28},
    };
    for (const Case& c : cases) {
        const BillingPeriod period = periodOf(c.day, c.billingDay);
        const std::string which = isoDateText(c.day) + " day " + std::to_string(c.billingDay);
        EXPECT_EQ(period.first, c.first) << which;
        EXPECT_EQ(period.last(), c.last) << which;
        EXPECT_EQ(period.days(), c.days) << which;
        EXPECT_TRUE(period.contains(c.day)) << which;
        EXPECT_TRUE(period.contains(period.first) && period.contains(period.last())) << which;
        EXPECT_FALSE(period.contains(period.next)) << which;
        EXPECT_EQ(periodOf(period.next, c.billingDay).first, period.next) << "the next starts where it ends";
    }
}

TEST(BillingPeriod, TheTwentyNinthToTheThirtyFirstAndOtherNonDaysAreRefused) {
    for (int refused : {29, 30, 31, 0, -1, 32, 100}) {
        EXPECT_FALSE(billingPeriodOf(date(2026, 12, 31), refused)) << refused;
        EXPECT_FALSE(isBillingDay(refused));
    }
    for (int day = 1; day <= 28; ++day) EXPECT_TRUE(billingPeriodOf(date(2027, 2, 28), day)) << day;
}

TEST(BillingPeriod, DaysPassedCountToTheSecond) {
    const BillingPeriod period = periodOf(date(2026, 12, 20), 15);
    EXPECT_DOUBLE_EQ(period.daysPassed({.year = 2026, .month = 12, .day = 15}), 0.0);
    EXPECT_DOUBLE_EQ(period.daysPassed({.year = 2026, .month = 12, .day = 15, .hour = 12}), 0.5);
    EXPECT_DOUBLE_EQ(period.daysPassed({.year = 2027, .month = 1, .day = 14, .hour = 18}), 30.75);
}

TEST(BillingPeriod, DateTextsReadBackAndNonDatesDoNot) {
    EXPECT_EQ(isoDateText(date(2027, 1, 5)), "2027-01-05");
    EXPECT_EQ(germanDateText(date(2027, 1, 5)), "5.1.2027");
    EXPECT_EQ(parseIsoDate("2027-01-05"), date(2027, 1, 5));
    EXPECT_EQ(parseIsoDate("2028-02-29"), date(2028, 2, 29));
    for (const char* bad : {"2027-02-29", "2027-13-01", "2027-00-10", "2027-1-05", "27-01-05", "2027-01-05x",
                            "2027/01/05", "", "abcd-ef-gh"})
        EXPECT_FALSE(parseIsoDate(bad)) << bad;
}

TEST(BudgetPlan, BadValuesReadAsTheDefault) {
    struct Case {
        const char* monthly;
        int billingDay;
        std::optional<Money> budget;
        int day;
    };
    const Case cases[] = {
        {"50.00", 15, Money::fromCents(5000), 15},
        {"50", 28, Money::fromCents(5000), 28},
        {"12.3456", 1, Money::fromMicros(12'345'600), 1},
        {"", 29, std::nullopt, 1},
        {"0", 31, std::nullopt, 1},
        {"0.00", 0, std::nullopt, 1},
        {"-5.00", -3, std::nullopt, 1},
        {"50,00", 1, std::nullopt, 1}, // hand-typed with a comma: not as the program writes amounts
        {"fünfzig", 1, std::nullopt, 1},
        {"50.00 EUR", 1, std::nullopt, 1},
    };
    for (const Case& c : cases) {
        const BudgetPlan plan = planOf({c.monthly, c.billingDay, ""});
        EXPECT_EQ(plan.budget, c.budget) << c.monthly;
        EXPECT_EQ(plan.billingDay, c.day) << c.billingDay;
    }
    EXPECT_FALSE(planOf({}).chosen()) << "nothing chosen: the program as before";
    EXPECT_TRUE(planOf({"", 2, ""}).chosen());
    EXPECT_TRUE(planOf({"1", 1, ""}).chosen());
}

TEST(BudgetPlan, TheMarkOfWhatWasToldReadsBackAndADamagedOneIsNothingTold) {
    const NotifiedMark mark{date(2026, 12, 15), 80};
    EXPECT_EQ(markText(mark), "2026-12-15 80");
    EXPECT_EQ(parseMark("2026-12-15 80"), mark);
    EXPECT_EQ(parseMark("2026-12-15 100"), (NotifiedMark{date(2026, 12, 15), 100}));
    for (const char* bad : {"", "2026-12-15", "2026-12-15 90", "2026-12-15 80x", "2026-12-32 80", "80 2026-12-15"})
        EXPECT_FALSE(parseMark(bad)) << bad;
}

} // namespace
} // namespace velmora::test
