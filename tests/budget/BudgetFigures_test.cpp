// The period's figures: the share of the budget, the forecast, the running
// connection, and how they read in the status and the notifications.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "budget/StatusText.h"

namespace velmora::test {
namespace {

Money euros(double units) { return Money::nearest(units); }

LocalTime at(int year, int month, int day, int hour = 0, int minute = 0) {
    return {.year = year, .month = month, .day = day, .hour = hour, .minute = minute};
}

// The period from 15.12.2026 to 14.1.2027 (31 days) with a budget of 50.00.
BudgetFigures december(Money logged, const LocalTime& now, RunningConnection running = {},
                       std::optional<Money> budget = euros(50)) {
    BudgetPlan plan{budget, 15};
    return figuresOf(plan, *billingPeriodOf(CalendarDate::of(now), 15), logged, running, now);
}

TEST(BudgetFigures, TheForecastGoesOnAsThePeriodBeganFromItsSecondDay) {
    EXPECT_EQ(december(euros(10), at(2026, 12, 15, 23, 59)).forecast, std::nullopt) << "the first day";
    // One day of 31 passed: ten a day.
    EXPECT_EQ(december(euros(10), at(2026, 12, 16)).forecast, euros(310));
    // Ten days and a half: 21.00 / 10.5 * 31.
    EXPECT_EQ(december(euros(21), at(2026, 12, 25, 12)).forecast, euros(62));
    // The last second of the period: about what was spent.
    const BudgetFigures last =
        december(euros(40), {.year = 2027, .month = 1, .day = 14, .hour = 23, .minute = 59, .second = 59});
    EXPECT_EQ(last.forecast->cents(), 4000);
    EXPECT_EQ(december(Money(), at(2026, 12, 20)).forecast, Money());
}

TEST(BudgetFigures, TheShareIsRoundedDownAndTheThresholdsAreReachedExactly) {
    const auto share = [](double spent) { return december(euros(spent), at(2026, 12, 20)); };
    EXPECT_EQ(share(39.99).percentage(), 79);
    EXPECT_EQ(share(39.99).thresholdReached(), 0);
    EXPECT_EQ(share(40).percentage(), 80);
    EXPECT_EQ(share(40).thresholdReached(), 80);
    EXPECT_EQ(share(49.99).thresholdReached(), 80);
    EXPECT_EQ(share(50).thresholdReached(), 100);
    EXPECT_EQ(share(123).percentage(), 246);
    const BudgetFigures none = december(euros(500), at(2026, 12, 20), {}, std::nullopt);
    EXPECT_EQ(none.percentage(), std::nullopt);
    EXPECT_EQ(none.thresholdReached(), 0) << "no budget, nothing to reach";
}

TEST(BudgetFigures, TheRunningConnectionCountsInThePeriodItBeganIn) {
    const RunningConnection sinceToday{true, 600, euros(1.20), {2026, 12, 20}};
    EXPECT_EQ(december(euros(10), at(2026, 12, 20, 10), sinceToday).spent, euros(11.20));
    // Begun the evening before the billing day: its record will count in the
    // period before, and so does its money now.
    const RunningConnection acrossTheBillingDay{true, 7200, euros(3), {2026, 12, 14}};
    const BudgetFigures figures = december(euros(0), at(2026, 12, 15, 0, 30), acrossTheBillingDay);
    EXPECT_EQ(figures.spent, Money());
    EXPECT_EQ(figures.running.cost, euros(3)) << "the status still tells what the connection cost";
}

TEST(StatusText, TheLineAndTheTooltipSayWhatThePanelShows) {
    const RunningConnection running{true, 754, euros(0.36), {2026, 12, 20}};
    const BudgetFigures online = december(euros(2.04), at(2026, 12, 20, 12), running);
    EXPECT_EQ(statusLine(online, "€"), "Verbunden 0:12:34, 0.36 €; Monat 2.40 € von 50.00 € (4 %)");
    EXPECT_EQ(statusTooltip(online, "€"), "Verbunden 0:12:34, 0.36 €\n"
                                          "Abrechnungszeitraum 15.12.2026 bis 14.1.2027: 2.40 € von 50.00 € (4 %)\n"
                                          "Prognose zum 14.1.2027: 13.53 €");
    // 12.40 over 5.5 days of 31 is beyond the budget: said in the line too.
    EXPECT_EQ(statusLine(december(euros(12.40), at(2026, 12, 20, 12)), "€"),
              "Nicht verbunden; Monat 12.40 € von 50.00 € (24 %); Prognose 69.89 € über dem Budget");
    const BudgetFigures withoutBudget = december(euros(3), at(2026, 12, 15, 8), {}, std::nullopt);
    EXPECT_EQ(statusLine(withoutBudget, "$"), "Nicht verbunden; Monat 3.00 $");
    EXPECT_EQ(statusTooltip(withoutBudget, "$"), "Nicht verbunden\n"
                                                 "Abrechnungszeitraum 15.12.2026 bis 14.1.2027: 3.00 $\n"
                                                 "Kein Budget gesetzt\n"
                                                 "Prognose ab dem zweiten Tag des Abrechnungszeitraums");
}

TEST(StatusText, TheJsonHoldsExactlyTheListedKeysWithTheirTypes) {
    const RunningConnection running{true, 754, euros(0.36), {2026, 12, 20}};
    const std::string json = statusJson(december(euros(36.04), at(2026, 12, 20, 12), running), "€");
    EXPECT_EQ(json.find('\n'), std::string::npos) << "one line";
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    EXPECT_EQ(o.keys(), (QStringList{"budget", "class", "connected", "cost", "forecast", "month", "percentage",
                                     "seconds", "text", "tooltip"}));
    EXPECT_EQ(json.substr(0, 32), R"({"connected":true,"cost":0.36,"s)") << "in the listed order";
    EXPECT_EQ(o["connected"].toBool(), true);
    EXPECT_DOUBLE_EQ(o["cost"].toDouble(), 0.36);
    EXPECT_EQ(o["seconds"].toInt(), 754);
    EXPECT_DOUBLE_EQ(o["month"].toDouble(), 36.40);
    EXPECT_TRUE(o["forecast"].isDouble());
    EXPECT_DOUBLE_EQ(o["budget"].toDouble(), 50.0);
    EXPECT_EQ(o["percentage"].toInt(), 72);
    EXPECT_EQ(o["class"].toString(), "ok");
    EXPECT_EQ(o["text"].toString().toStdString(),
              statusLine(december(euros(36.04), at(2026, 12, 20, 12), running), "€"));
    EXPECT_TRUE(o["tooltip"].toString().contains('\n'));

    const QJsonObject bare =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(statusJson(december(Money(), at(2026, 12, 15), {}, std::nullopt), "€")))
            .object();
    EXPECT_TRUE(bare["forecast"].isNull() && bare["budget"].isNull() && bare["percentage"].isNull());
    EXPECT_EQ(bare["connected"].toBool(true), false);
    EXPECT_EQ(bare["class"].toString(), "ok");
    const auto classAt = [](double spent) { return statusClass(december(euros(spent), at(2026, 12, 20))); };
    EXPECT_EQ(classAt(39.99), "ok");
    EXPECT_EQ(classAt(40), "warning");
    EXPECT_EQ(classAt(50), "critical");
}

TEST(StatusText, JsonStringsEscapeWhatJsonMust) {
    EXPECT_EQ(jsonString("a\"b\\c\nd\te\x01€"), R"("a\"b\\c\nd\u0009e\u0001€")");
}

TEST(StatusText, TheNotificationsNameSpendingBudgetAndForecast) {
    const BudgetMessage warning = budgetMessage(december(euros(41.20), at(2026, 12, 26)), 80, "€");
    EXPECT_EQ(warning.summary, "Monatsbudget zu 80 % verbraucht");
    EXPECT_EQ(warning.body,
              "Ausgegeben: 41.20 € von 50.00 € (82 %)\nPrognose zum 14.1.2027: 116.11 €, über dem Budget");
    const BudgetMessage exceeded = budgetMessage(december(euros(50.10), at(2026, 12, 15, 20)), 100, "€");
    EXPECT_EQ(exceeded.summary, "Monatsbudget überschritten");
    EXPECT_EQ(exceeded.body,
              "Ausgegeben: 50.10 € von 50.00 € (100 %)\nPrognose ab dem zweiten Tag des Abrechnungszeitraums");
}

} // namespace
} // namespace velmora::test
