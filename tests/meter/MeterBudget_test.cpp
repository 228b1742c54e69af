// The meter watches the budget as it charges: the running connection counts
// unit by unit, a share is said once per period, also across a restart.
#include "meter/MeterRig.h"

namespace velmora::testing {
namespace {

TEST(MeterBudget, SharesAreSaidAsTheUnitsAreChargedOncePerPeriodAlsoAfterARestart) {
    MeterRig r; // Wednesday 9.12.2026 10:29:59, City: 0.12 every 90 s
    ASSERT_TRUE(r.profile.writeStrings("Budget", {{"Monat", "0.60"}, {"Stichtag", "1"}}));
    std::ofstream(r.log.path()) << "[Von 2.12.2026 08:00:00 bis 2.12.2026 08:10:00]\n"
                                   "Verbindungskosten=0.20\nGesamtkosten bis dato=0.20\n"
                                   "[Von 30.11.2026 08:00:00 bis 30.11.2026 08:10:00]\n"
                                   "Verbindungskosten=9.00\nGesamtkosten bis dato=9.20\n";
    r.source.up("T-Online");
    r.start();
    r.seconds(1); // the first unit: 0.32 of 0.60
    const BudgetFigures figures = r.meter().budgetFigures(momentOf(r.clock));
    EXPECT_EQ(figures.spent, Money::fromCents(32));
    EXPECT_TRUE(figures.running.connected);
    EXPECT_EQ(figures.running.cost, Money::fromCents(12));
    r.seconds(90); // 0.44: 73 %
    EXPECT_TRUE(r.budgetAlerts.empty());
    r.seconds(90); // 0.56: 93 %, said at the unit timer
    EXPECT_EQ(r.budgetAlerts, (std::vector<int>{80}));
    r.source.down();
    r.seconds(2);
    r.crash();
    r.start();
    r.seconds(30);
    EXPECT_EQ(r.budgetAlerts, (std::vector<int>{80})) << "not again after the restart";
    r.source.up("T-Online");
    r.seconds(1); // 0.68
    EXPECT_EQ(r.budgetAlerts, (std::vector<int>{80, 100}));
    r.seconds(900);
    EXPECT_EQ(r.budgetAlerts, (std::vector<int>{80, 100}));
    EXPECT_NE(r.profileText().find("Gemeldet=2026-12-01 100"), std::string::npos) << r.profileText();
}

TEST(MeterBudget, WithoutABudgetNothingIsSaidAndTheSettingsStayAsTheyWere) {
    MeterRig r;
    r.source.up("T-Online");
    r.start();
    r.seconds(3600);
    r.end();
    EXPECT_TRUE(r.budgetAlerts.empty());
    EXPECT_EQ(r.profileText().find("Budget"), std::string::npos) << r.profileText();
}

} // namespace
} // namespace velmora::testing
