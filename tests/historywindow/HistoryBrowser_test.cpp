// What the history window shows, without any window: periods and their
// charts, the table's order, the sums, the most expensive, the export.
#include <gtest/gtest.h>

#include "history/HistoryTestSupport.h"
#include "historywindow/HistoryBrowser.h"

namespace velmora::test {
namespace {

// 2024 and 2026 have connections, 2025 none; the current year is 2027.
std::string sampleLog() {
    return record(at(2024, 5, 1, 10, 0, 0), at(2024, 5, 1, 10, 30, 0), "2.00", "2.00") +
           countedRecord(at(2026, 3, 29, 1, 30, 0), at(2026, 3, 29, 3, 30, 0), "7.20", "9.20", 5'000'000, 400'000) +
           countedRecord(at(2026, 3, 30, 8, 0, 0), at(2026, 3, 30, 8, 10, 0), "0.36", "9.56", 900, 0) +
           record(at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 18, 10, 0), "0.36", "9.92") +
           countedRecord(at(2026, 12, 9, 20, 0, 0), at(2026, 12, 9, 21, 0, 5), "3.72", "13.64", 70'000, 9'000) +
           record(at(2026, 12, 24, 9, 0, 0), at(2026, 12, 24, 9, 1, 0), "0.36", "14.00");
}

HistoryBrowser browserOf(const std::string& log) {
    HistoryBrowser browser("/home/anna", 2027);
    browser.setHistory(historyOf(log));
    return browser;
}

std::vector<std::int64_t> barCosts(const HistoryBrowser& browser) {
    std::vector<std::int64_t> costs;
    for (const HistoryBrowser::Bar& bar : browser.bars()) costs.push_back(bar.costCents);
    return costs;
}

std::vector<std::string> shownStarts(const HistoryBrowser& browser) {
    std::vector<std::string> starts;
    for (std::size_t i = 0; i < browser.rowCount(); ++i) starts.push_back(logText(browser.row(i).start));
    return starts;
}

TEST(HistoryBrowser, OpensOnTheNewestYearByMonthNewestConnectionFirst) {
    const HistoryBrowser browser = browserOf(sampleLog());
    EXPECT_EQ(browser.period(), Period::ofYear(2026));
    EXPECT_EQ(browser.years(), (std::vector<int>{2027, 2026, 2025, 2024}));
    EXPECT_EQ(browser.chartTitle(), "Kosten 2026 je Monat");
    ASSERT_EQ(browser.bars().size(), 12u);
    EXPECT_EQ(browser.bars()[2].label, "Mär");
    EXPECT_EQ(barCosts(browser), (std::vector<std::int64_t>{0, 0, 756, 0, 0, 0, 0, 0, 0, 0, 0, 444}));
    EXPECT_EQ(shownStarts(browser),
              (std::vector<std::string>{"24.12.2026 09:00:00", "9.12.2026 20:00:00", "9.12.2026 17:59:51",
                                        "30.3.2026 08:00:00", "29.3.2026 01:30:00"}));
    EXPECT_EQ(browser.totals().costCents, 1200);
    EXPECT_EQ(browser.totals().seconds, 3600 + 600 + 609 + 3605 + 60); // the spring night's hour is no time

    const HistoryBrowser empty = browserOf("");
    EXPECT_EQ(empty.period(), Period::ofYear(2027));
    EXPECT_EQ(empty.years(), std::vector<int>{2027});
    EXPECT_EQ(barCosts(empty), std::vector<std::int64_t>(12, 0));
    EXPECT_EQ(empty.rowCount(), 0u);
}

TEST(HistoryBrowser, AnyYearAndMonthCanBeChosenAndSteppedThrough) {
    HistoryBrowser browser = browserOf(sampleLog());
    EXPECT_TRUE(browser.chooseMonth(12));
    EXPECT_EQ(browser.period(), Period::ofMonth(2026, 12));
    EXPECT_EQ(browser.chartTitle(), "Kosten Dezember 2026 je Tag");
    ASSERT_EQ(browser.bars().size(), 31u);
    EXPECT_EQ(browser.bars()[8].costCents, 408);
    EXPECT_EQ(browser.bars()[23].costCents, 36);
    EXPECT_TRUE(browser.chooseYear(2024)) << "the month stays chosen";
    EXPECT_EQ(browser.period(), Period::ofMonth(2024, 12));
    EXPECT_EQ(browser.bars().size(), 31u);
    EXPECT_EQ(browser.rowCount(), 0u);
    EXPECT_TRUE(browser.chooseMonth(2));
    EXPECT_EQ(browser.bars().size(), 29u) << "a leap year's February";

    EXPECT_TRUE(browser.choose(Period::ofMonth(2025, 12)));
    EXPECT_TRUE(browser.step(+1));
    EXPECT_EQ(browser.period(), Period::ofMonth(2026, 1));
    EXPECT_TRUE(browser.step(-1));
    EXPECT_EQ(browser.period(), Period::ofMonth(2025, 12));
    EXPECT_TRUE(browser.choose(Period::ofMonth(2024, 1)));
    EXPECT_FALSE(browser.canStep(-1)) << "nothing before the log's first year";
    EXPECT_FALSE(browser.step(-1));
    EXPECT_EQ(browser.period(), Period::ofMonth(2024, 1));
    EXPECT_TRUE(browser.choose(Period::ofYear(2027)));
    EXPECT_FALSE(browser.canStep(+1));
    EXPECT_TRUE(browser.canStep(-1));

    EXPECT_FALSE(browser.choose(Period::ofYear(2023)));
    EXPECT_FALSE(browser.choose(Period::ofMonth(2026, 13)));
    EXPECT_EQ(browser.period(), Period::ofYear(2027));

    EXPECT_TRUE(browser.chooseYear(0));
    EXPECT_EQ(browser.period(), Period::all());
    EXPECT_FALSE(browser.canStep(-1));
    EXPECT_FALSE(browser.chooseMonth(3)) << "all years have no month to choose";
    EXPECT_EQ(browser.chartTitle(), "Kosten je Jahr");
    EXPECT_EQ(barCosts(browser), (std::vector<std::int64_t>{200, 0, 1200, 0}));
    EXPECT_EQ(browser.bars().front().label, "2024");
    EXPECT_EQ(browser.rowCount(), 6u);
}

TEST(HistoryBrowser, BarsLeadFromAllYearsToAYearToAMonthToADay) {
    HistoryBrowser browser = browserOf(sampleLog());
    browser.chooseYear(0);
    browser.activateBar(2);
    EXPECT_EQ(browser.period(), Period::ofYear(2026));
    browser.activateBar(11);
    EXPECT_EQ(browser.period(), Period::ofMonth(2026, 12));
    browser.activateBar(8);
    EXPECT_EQ(browser.period(), Period::ofMonth(2026, 12)) << "a day's bar keeps the month";
    EXPECT_EQ(browser.pickedDay(), 9);
    browser.activateBar(99); // beyond the bars: nothing
    EXPECT_EQ(browser.pickedDay(), 9);
    browser.setHistory(historyOf(sampleLog())); // a new reading keeps the picked day
    EXPECT_EQ(browser.pickedDay(), 9);
    browser.step(-1);
    EXPECT_EQ(browser.pickedDay(), 0);
}

TEST(HistoryBrowser, TheTableSortsByAnyColumnUnknownBytesLowestTiesByStart) {
    HistoryBrowser browser = browserOf(sampleLog());
    browser.sortBy(HistoryBrowser::Cost, true);
    EXPECT_EQ(shownStarts(browser),
              (std::vector<std::string>{"29.3.2026 01:30:00", "9.12.2026 20:00:00", "24.12.2026 09:00:00",
                                        "9.12.2026 17:59:51", "30.3.2026 08:00:00"}))
        << "three of 0.36: the newest first";
    browser.sortBy(HistoryBrowser::Received, false);
    EXPECT_EQ(shownStarts(browser),
              (std::vector<std::string>{"9.12.2026 17:59:51", "24.12.2026 09:00:00", "30.3.2026 08:00:00",
                                        "9.12.2026 20:00:00", "29.3.2026 01:30:00"}));
    browser.sortBy(HistoryBrowser::Duration, false);
    EXPECT_EQ(logText(browser.row(0).start), "24.12.2026 09:00:00");
    browser.sortBy(HistoryBrowser::End, true);
    EXPECT_EQ(logText(browser.row(0).end), "24.12.2026 09:01:00");
    browser.sortBy(HistoryBrowser::Sent, true);
    EXPECT_EQ(browser.row(0).bytesSent, 400'000u);

    browser.chooseMonth(12); // the order stays, for every period and every reading
    browser.setHistory(historyOf(sampleLog()));
    EXPECT_EQ(browser.sortColumn(), HistoryBrowser::Sent);
    EXPECT_EQ(browser.row(0).bytesSent, 9'000u);
    EXPECT_EQ(browser.tableIndexOf(browser.row(2)), 2u);
    EXPECT_EQ(browser.tableIndexOf(browser.history().rows().front()), HistoryBrowser::npos) << "2024 is not shown";
}

TEST(HistoryBrowser, AChosenPeriodSurvivesANewReadingUntilItsYearIsGone) {
    HistoryBrowser browser = browserOf(sampleLog());
    browser.setHistory(
        historyOf(sampleLog() + record(at(2027, 1, 2, 9, 0, 0), at(2027, 1, 2, 9, 5, 0), "0.12", "14.12")));
    EXPECT_EQ(browser.period(), Period::ofYear(2027)) << "not chosen: follows the newest year";
    browser.choose(Period::ofMonth(2024, 5));
    browser.setHistory(historyOf(sampleLog()));
    EXPECT_EQ(browser.period(), Period::ofMonth(2024, 5));
    browser.setHistory(historyOf("")); // the log was reset
    EXPECT_EQ(browser.period(), Period::ofYear(2027));
    EXPECT_EQ(browser.rowCount(), 0u);
}

TEST(HistoryBrowser, TheMostExpensiveConnectionsAndDaysOfThePeriod) {
    HistoryBrowser browser = browserOf(sampleLog());
    const std::vector<const ConnectionRow*> connections = browser.priciestConnections(4);
    ASSERT_EQ(connections.size(), 4u);
    EXPECT_EQ(connections[0]->costCents, 720);
    EXPECT_EQ(connections[1]->costCents, 372);
    EXPECT_EQ(logText(connections[2]->start), "24.12.2026 09:00:00") << "of equal cost the newest first";
    const std::vector<HistoryBrowser::DaySums> days = browser.priciestDays(5);
    ASSERT_EQ(days.size(), 4u);
    EXPECT_EQ(days[0].dayKey, 20260329);
    EXPECT_EQ(days[1].dayKey, 20261209);
    EXPECT_EQ(days[1].totals.connections, 2u);
    EXPECT_EQ(days[1].totals.costCents, 408);
    EXPECT_EQ(days[2].dayKey, 20261224);

    browser.choose(Period::ofMonth(2026, 12));
    EXPECT_EQ(browser.priciestConnections(10).size(), 3u);
    EXPECT_EQ(browser.priciestDays(1).size(), 1u);
    browser.choose(Period::ofYear(2025));
    EXPECT_TRUE(browser.priciestConnections(5).empty());
    EXPECT_TRUE(browser.priciestDays(5).empty());
}

TEST(HistoryBrowser, TheExportGoesHomeNamedAfterThePeriodInTheLogsOrder) {
    HistoryBrowser browser = browserOf(sampleLog());
    EXPECT_EQ(browser.exportPath(), "/home/anna/velmora-2026.csv");
    browser.chooseMonth(12);
    EXPECT_EQ(browser.exportFileName(), "velmora-2026-12.csv");
    browser.sortBy(HistoryBrowser::Cost, true);
    const std::vector<ConnectionRow> rows = browser.exportRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(logText(rows[0].start), "9.12.2026 17:59:51");
    browser.chooseYear(0);
    EXPECT_EQ(browser.exportFileName(), "velmora-2024-2026.csv");
    EXPECT_EQ(browserOf("").exportFileName(), "velmora-2027.csv");
    HistoryBrowser empty = browserOf("");
    empty.chooseYear(0);
    EXPECT_EQ(empty.exportFileName(), "velmora.csv");
}

TEST(HistoryBrowser, TextsOfPeriodsAndBytes) {
    EXPECT_EQ(periodName(Period::all()), "Alle Jahre");
    EXPECT_EQ(periodName(Period::ofYear(2026)), "2026");
    EXPECT_EQ(periodName(Period::ofMonth(2026, 3)), "März 2026");
    EXPECT_EQ(bytesText(std::nullopt), "–");
    EXPECT_EQ(bytesText(0), "0 B");
    EXPECT_EQ(bytesText(999), "999 B");
    EXPECT_EQ(bytesText(1'499), "1 kB");
    EXPECT_EQ(bytesText(812'345), "812 kB");
    EXPECT_EQ(bytesText(48'213'504), "48.2 MB");
    EXPECT_EQ(bytesText(2'804'999'999), "2.80 GB");
    EXPECT_EQ(bytesText(18446744073709551615u), "18446744073.71 GB");
}

} // namespace
} // namespace velmora::test
