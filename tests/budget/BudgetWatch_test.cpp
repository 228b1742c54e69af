// The meter's watch of the budget over days and restarts, and a period's
// spending as the files hold it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "budget/BudgetReport.h"
#include "budget/BudgetWatch.h"
#include "budget/PeriodSpending.h"
#include "history/HistoryTestSupport.h"
#include "journal/JournalFile.h"
#include "journal/RecordKeeper.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

Money euros(double units) { return Money::nearest(units); }

// A watch over a settings file of its own; the logged sum is what the test
// says, and each reading of it is counted.
class WatchTest : public TempDirTest {
protected:
    WatchTest() : profile(pathOf("velmora.INI")) {}

    void choose(const std::string& budget, int billingDay = 15) {
        ASSERT_TRUE(profile.writeStrings("Budget", {{"Monat", budget}, {"Stichtag", std::to_string(billingDay)}}));
    }
    BudgetWatch& start() {
        watch.emplace(
            profile,
            [this](const BillingPeriod& period) {
                sums.push_back(period.first);
                return logged;
            },
            [this](const std::string& title, const std::string&) { told.push_back(title); });
        return *watch;
    }
    // A poll at `now` with `running` charged so far on a connection begun that day: the share told, or 0.
    int poll(const LocalTime& now, double running = 0) {
        bootMs += 1000;
        const RunningConnection connection{running > 0, 60, euros(running), CalendarDate::of(now)};
        const std::optional<BudgetAlert> alert = watch->check(bootMs, now, connection);
        return alert ? alert->percent : 0;
    }
    std::string mark() const { return profile.readString("Budget", "Gemeldet", ""); }

    SettingsProfile profile;
    std::optional<BudgetWatch> watch;
    Money logged;
    std::vector<CalendarDate> sums;
    std::vector<std::string> told;
    std::uint64_t bootMs = 5'000'000;
};

LocalTime on(int year, int month, int day, int hour = 12) {
    return {.year = year, .month = month, .day = day, .hour = hour};
}

TEST_F(WatchTest, EachShareIsToldOncePerPeriodAsTheRunningConnectionIsCharged) {
    choose("50.00");
    logged = euros(30);
    start();
    EXPECT_EQ(poll(on(2026, 12, 20), 9.99), 0);
    EXPECT_EQ(poll(on(2026, 12, 20), 10.00), 80);
    EXPECT_EQ(mark(), "2026-12-15 80");
    EXPECT_EQ(poll(on(2026, 12, 20), 10.12), 0);
    EXPECT_EQ(poll(on(2026, 12, 20), 19.99), 0);
    EXPECT_EQ(poll(on(2026, 12, 20), 20.00), 100);
    EXPECT_EQ(mark(), "2026-12-15 100");
    EXPECT_EQ(poll(on(2026, 12, 21), 40), 0) << "over the budget, told already";
    EXPECT_EQ(sums.size(), 1u) << "the log is read once in the period";
    EXPECT_TRUE(told.empty());
}

TEST_F(WatchTest, WhatWasToldBeforeARestartIsNotToldAgainButTheNextShareIs) {
    choose("50.00");
    logged = euros(41);
    start();
    EXPECT_EQ(poll(on(2026, 12, 20)), 80);
    start(); // the program again, the same settings
    EXPECT_EQ(poll(on(2026, 12, 20)), 0);
    EXPECT_EQ(poll(on(2026, 12, 22), 8.99), 0);
    EXPECT_EQ(poll(on(2026, 12, 22), 9.00), 100);
    start();
    EXPECT_EQ(poll(on(2027, 1, 14), 20), 0) << "the last day of the same period";
}

TEST_F(WatchTest, ANewPeriodReadsItsSumAndTellsAgain) {
    choose("50.00");
    logged = euros(55);
    start();
    EXPECT_EQ(poll(on(2026, 12, 20)), 100) << "both shares at once: only the higher is told";
    EXPECT_EQ(poll(on(2026, 12, 20)), 0);
    logged = euros(0);
    EXPECT_EQ(poll(on(2027, 1, 14, 23)), 0);
    EXPECT_EQ(poll(on(2027, 1, 15, 0)), 0) << "across the year's end into the next period";
    EXPECT_EQ(sums, (std::vector<CalendarDate>{{2026, 12, 15}, {2027, 1, 15}}));
    watch->recordLogged({2027, 1, 15}, euros(38));
    watch->recordLogged({2027, 1, 14}, euros(100)); // a connection of the period before
    EXPECT_EQ(poll(on(2027, 1, 16)), 0);
    watch->recordLogged({2027, 1, 16}, euros(2));
    EXPECT_EQ(poll(on(2027, 1, 16)), 80);
    EXPECT_EQ(mark(), "2027-01-15 80");
    EXPECT_EQ(sums.size(), 2u) << "records logged are added, not read again";
}

TEST_F(WatchTest, ChangedSettingsCountAtOnceWhenSaidAndWithinTenSecondsWhenEditedByHand) {
    logged = euros(45);
    start();
    EXPECT_EQ(poll(on(2026, 12, 20)), 0) << "no budget: nothing to tell";
    choose("100.00", 1);
    watch->settingsChanged();
    EXPECT_EQ(poll(on(2026, 12, 20)), 0);
    EXPECT_EQ(sums.back(), (CalendarDate{2026, 12, 1})) << "another billing day: another period";
    choose("50.00", 1); // by hand
    for (int i = 0; i < 9; ++i) EXPECT_EQ(poll(on(2026, 12, 20)), 0) << i;
    EXPECT_EQ(poll(on(2026, 12, 20)), 80);
    watch->logReset();
    EXPECT_EQ(watch->figures(on(2026, 12, 20), {}).spent, Money()) << "the log deleted";
}

TEST_F(WatchTest, AMarkThatCannotBeWrittenIsToldOnceAndWrittenLater) {
    choose("50.00");
    logged = euros(45);
    start();
    const QString lock = QString::fromStdString(profile.path() + ".lock");
    ASSERT_TRUE(QFile::remove(lock) && QDir().mkdir(lock)); // no writer can lock the file
    EXPECT_EQ(poll(on(2026, 12, 20)), 80);
    EXPECT_EQ(told, (std::vector<std::string>{"Budget-Meldung nicht gespeichert"}));
    EXPECT_EQ(mark(), "");
    for (int i = 0; i < 12; ++i) EXPECT_EQ(poll(on(2026, 12, 20)), 0) << "not told again in this run";
    EXPECT_EQ(told.size(), 1u);
    ASSERT_TRUE(QDir().rmdir(lock));
    for (int i = 0; i < 10; ++i) poll(on(2026, 12, 20));
    EXPECT_EQ(mark(), "2026-12-15 80");
}

TEST_F(WatchTest, ADamagedMarkIsNothingToldAndAnotherPeriodsMarkDoesNotCount) {
    choose("50.00");
    logged = euros(45);
    ASSERT_TRUE(profile.writeString("Budget", "Gemeldet", "2026-11-15 100"));
    start();
    EXPECT_EQ(poll(on(2026, 12, 20)), 80);
    ASSERT_TRUE(profile.writeString("Budget", "Gemeldet", "irgendwas"));
    start();
    EXPECT_EQ(poll(on(2026, 12, 20)), 80);
}

// ---- the files --------------------------------------------------------------------------------

class SpendingTest : public TempDirTest {
protected:
    std::string logPath() const { return pathOf("zelvar.log"); }
    void writeJournal(const JournalState& state) {
        JournalFile journal(journalPathBeside(logPath()));
        ASSERT_TRUE(journal.claim());
        ASSERT_TRUE(journal.write(journalText(state)));
    }
    const BillingPeriod december = *billingPeriodOf({2026, 12, 20}, 15);
};

TEST_F(SpendingTest, ThePeriodCountsTheConnectionsThatBeganInIt) {
    writeFileBytes(logPath(), record(at(2026, 12, 14, 23, 0, 0), at(2026, 12, 15, 1, 0, 0), "5.00", "5.00") +
                                  record(at(2026, 12, 15, 8, 0, 0), at(2026, 12, 15, 9, 0, 0), "1.20", "6.20") +
                                  "[Notizen]\nText=von Hand\n" +
                                  record(at(2027, 1, 14, 23, 0, 0), at(2027, 1, 15, 0, 30, 0), "2.40", "8.60") +
                                  record(at(2027, 1, 15, 8, 0, 0), at(2027, 1, 15, 9, 0, 0), "0.12", "8.72"));
    const SpendingRead read = loggedSpending(logPath(), december);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.logged, euros(3.60));
    EXPECT_EQ(loggedSpending(pathOf("fehlt.log"), december).logged, Money()) << "no log: nothing spent";
}

TEST_F(SpendingTest, RecordsHeldBackCountOnceAndTheJournalsOpenConnectionWithIt) {
    writeFileBytes(logPath(), record(at(2026, 12, 16, 8, 0, 0), at(2026, 12, 16, 9, 0, 0), "1.20", "1.20"));
    const LogRecord landed{at(2026, 12, 16, 8, 0, 0), at(2026, 12, 16, 9, 0, 0), "1.20", "1.20"};
    const LogRecord heldBack{at(2026, 12, 17, 8, 0, 0), at(2026, 12, 17, 8, 30, 0), "0.60", "1.80"};
    const LogRecord earlier{at(2026, 12, 1, 8, 0, 0), at(2026, 12, 1, 8, 30, 0), "9.00", "10.80"};
    EXPECT_EQ(loggedSpending(logPath(), december, {landed, heldBack, earlier}).logged, euros(1.80));

    JournalState state;
    state.pendingRecords = {landed, heldBack};
    state.open = OpenConnection{
        "T-Online", at(2026, 12, 18, 20, 0, 0), 100, at(2026, 12, 18, 20, 5, 0), 400, euros(0.36), euros(2.16)};
    writeJournal(state);
    const FilesFigures files = figuresFromFiles({euros(50), 15}, logPath(), at(2026, 12, 18, 20, 6, 0));
    EXPECT_TRUE(files.ok);
    EXPECT_EQ(files.figures.spent, euros(2.16));
    EXPECT_FALSE(files.figures.running.connected) << "no meter: nothing runs";
    EXPECT_EQ(files.figures.period, december);

    EXPECT_EQ(figuresFromRows({euros(50), 15}, historyOf(readFileBytes(logPath())).rows(), logPath(),
                              at(2026, 12, 18, 20, 6, 0))
                  .spent,
              euros(2.16))
        << "the log read already, the journal beside it";

    writeFileBytes(journalPathBeside(logPath()), "kein Zwischenstand");
    EXPECT_EQ(figuresFromFiles({euros(50), 15}, logPath(), at(2026, 12, 18, 20, 6, 0)).figures.spent, euros(1.20))
        << "a damaged journal adds nothing";
}

TEST_F(SpendingTest, TheHistoryWindowSaysThePeriodAgainstTheBudgetAndItsForecast) {
    writeFileBytes(logPath(), record(at(2026, 12, 15, 8, 0, 0), at(2026, 12, 15, 9, 0, 0), "31.00", "31.00"));
    const auto lines = [&](const BudgetPlan& plan, const LocalTime& now) {
        return historyWindowLines(
            plan, figuresFromRows(plan, historyOf(readFileBytes(logPath())).rows(), logPath(), now), "€");
    };
    EXPECT_EQ(lines({euros(50), 15}, at(2026, 12, 20, 0, 0, 0)),
              (std::vector<std::string>{"Abrechnungszeitraum 15.12.2026 bis 14.1.2027: 31.00 € von 50.00 € (62 %)",
                                        "Prognose zum 14.1.2027: 192.20 €, über dem Budget"}));
    EXPECT_EQ(lines({std::nullopt, 15}, at(2026, 12, 15, 12, 0, 0)),
              (std::vector<std::string>{"Abrechnungszeitraum 15.12.2026 bis 14.1.2027: 31.00 €",
                                        "Prognose ab dem zweiten Tag des Abrechnungszeitraums"}));
    EXPECT_TRUE(lines({}, at(2026, 12, 20, 0, 0, 0)).empty()) << "nothing chosen: the window as it was";
}

} // namespace
} // namespace velmora::test
