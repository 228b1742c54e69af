// Reading the connection log back: what the window wrote comes back whole,
// whatever else the file holds, however it was cut.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstring>

#include "HistoryTestSupport.h"
#include "history/Money.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

LogDateTime dt(int year, int month, int day, int hour, int minute, int second) {
    return {year, month, day, hour, minute, second};
}

TEST(LogReader, ReadsBackWhatTheLogWriterWroteWithSecondsAndAmounts) {
    QTemporaryDir dir;
    ConnectionLog log(dir.filePath("zelvar.log").toStdString());
    ASSERT_TRUE(log.write({at(2026, 3, 5, 7, 8, 9), at(2026, 3, 5, 7, 10, 11), "0.48", "125.40"}));
    ASSERT_TRUE(log.write({at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 19, 0, 0), "12.96", "138.36"}));

    const HistoryRead read = readHistory(log.path());
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.history.rows().size(), 2u);
    const ConnectionRow& first = read.history.rows()[0];
    EXPECT_EQ(first.start, dt(2026, 3, 5, 7, 8, 9));
    EXPECT_EQ(first.end, dt(2026, 3, 5, 7, 10, 11));
    EXPECT_EQ(first.seconds, 122);
    EXPECT_EQ(first.costCents, 48);
    EXPECT_EQ(first.totalCents, 12540);
    EXPECT_EQ(read.history.rows()[1].seconds, 3609);
    EXPECT_EQ(read.history.stats.records, 2u);
    EXPECT_EQ(read.history.stats.skippedLines, 0u);
    EXPECT_FALSE(read.history.stats.tornTail);
}

// The log keeps two connections of the same start and end (the hour the
// clocks go back) under names of their own; both come back, as they were.
TEST(LogReader, TwoConnectionsOfTheSameSecondsComeBackAsTwoRows) {
    QTemporaryDir dir;
    ConnectionLog log(dir.filePath("zelvar.log").toStdString());
    ASSERT_TRUE(log.write({at(2026, 10, 25, 2, 5, 7), at(2026, 10, 25, 2, 15, 0), "0.36", "10.36"}));
    ASSERT_TRUE(log.write({at(2026, 10, 25, 2, 5, 7), at(2026, 10, 25, 2, 15, 0), "0.24", "10.60"}));

    const HistoryRead read = readHistory(log.path());
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.history.rows().size(), 2u);
    for (const ConnectionRow& row : read.history.rows()) {
        EXPECT_EQ(row.start, dt(2026, 10, 25, 2, 5, 7));
        EXPECT_EQ(row.end, dt(2026, 10, 25, 2, 15, 0));
    }
    EXPECT_EQ(read.history.rows()[0].costCents, 36);
    EXPECT_EQ(read.history.rows()[1].costCents, 24);
    EXPECT_EQ(read.history.rows()[1].totalCents, 1060);
    EXPECT_EQ(read.history.stats.skippedLines, 0u);
}

TEST(LogReader, ByteCountsAreReadWhereLoggedAndUnknownWhereNot) {
    QTemporaryDir dir;
    ConnectionLog log(dir.filePath("zelvar.log").toStdString());
    LogRecord counted{at(2026, 3, 5, 7, 0, 0), at(2026, 3, 5, 7, 30, 0), "1.20", "1.20"};
    counted.bytesReceived = 18446744073709551615u;
    counted.bytesSent = 0;
    ASSERT_TRUE(log.write(counted));
    ASSERT_TRUE(log.write({at(2026, 3, 6, 7, 0, 0), at(2026, 3, 6, 7, 1, 0), "0.12", "1.32"})); // as before counts
    const History h = readHistory(log.path()).history;
    ASSERT_EQ(h.rows().size(), 2u);
    EXPECT_EQ(h.rows()[0].bytesReceived, 18446744073709551615u);
    EXPECT_EQ(h.rows()[0].bytesSent, 0u) << "a count of 0 is known, not missing";
    EXPECT_EQ(h.rows()[1].bytesReceived, std::nullopt);
    EXPECT_EQ(h.rows()[1].bytesSent, std::nullopt);
    EXPECT_EQ(h.stats.skippedLines, 0u);

    const Totals month = h.totalsOf(Period::ofMonth(2026, 3));
    EXPECT_EQ(month.bytesReceived, 18446744073709551615u);
    EXPECT_EQ(month.withReceived, 1u);
    EXPECT_EQ(month.withSent, 1u);
    EXPECT_TRUE(month.bytesKnown());
    EXPECT_TRUE(month.bytesPartial());
    EXPECT_FALSE(h.totalsOf(Period::ofMonth(2026, 4)).bytesKnown());
}

// A bad count costs the record nothing but its count; it is noted like any
// line that belongs to no record.
TEST(LogReader, BadOrRepeatedByteCountsAreSkippedTheRecordKept) {
    const std::string start = "[Von 1.2.2026 09:00:00 bis 1.2.2026 09:10:00]\nVerbindungskosten=0.36\n"
                              "Gesamtkosten bis dato=0.36\n";
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"Empfangen=12k\n", std::nullopt},
        {"Empfangen=-5\n", std::nullopt},
        {"Empfangen=\n", std::nullopt},
        {"Empfangen=1.5\n", std::nullopt},
        {"Empfangen=18446744073709551616\n", std::nullopt}, // beyond 64 bits
        {"  EMPFANGEN = 0042 \n", 42},
        {"Empfangen=abc\nEmpfangen=7\n", 7}, // the first valid count
    };
    for (const auto& [lines, expected] : cases) {
        const History h = historyOf(start + lines);
        ASSERT_EQ(h.rows().size(), 1u) << lines;
        EXPECT_EQ(h.rows()[0].bytesReceived, expected) << lines;
        EXPECT_EQ(h.rows()[0].costCents, 36) << lines;
        const auto lineCount = static_cast<std::size_t>(std::count(lines, lines + std::strlen(lines), '\n'));
        EXPECT_EQ(h.stats.skippedLines, expected ? lineCount - 1 : 1u) << lines;
    }
    const History twice = historyOf(start + "Gesendet=10\nGesendet=20\n");
    EXPECT_EQ(twice.rows()[0].bytesSent, 10u);
    EXPECT_EQ(twice.stats.skippedLines, 1u);
    // Counts in a section that is no connection are that section's foreign lines.
    EXPECT_EQ(historyOf("[Notizen]\nEmpfangen=5\n").stats.skippedLines, 2u);
}

// A count on the last line, cut short, may have lost digits: it stays unknown.
TEST(LogReader, AByteCountCutShortIsUnknownItsRecordKept) {
    const std::string whole =
        countedRecord(at(2026, 4, 1, 9, 0, 0), at(2026, 4, 1, 9, 30, 0), "1.44", "101.44", 123456, 7890);
    const History complete = historyOf(whole);
    ASSERT_EQ(complete.rows().size(), 1u);
    EXPECT_EQ(complete.rows()[0].bytesSent, 7890u);
    const History cut = historyOf(whole.substr(0, whole.size() - 3)); // "Gesendet=78"
    ASSERT_EQ(cut.rows().size(), 1u);
    EXPECT_EQ(cut.rows()[0].bytesReceived, 123456u);
    EXPECT_EQ(cut.rows()[0].bytesSent, std::nullopt);
    EXPECT_TRUE(cut.stats.tornTail);
    EXPECT_EQ(cut.stats.skippedLines, 0u);
}

TEST(LogReader, AMissingLogIsEmptyAnUnreadableOneSaysWhy) {
    QTemporaryDir dir;
    const HistoryRead missing = readHistory(dir.filePath("zelvar.log").toStdString());
    EXPECT_TRUE(missing.ok);
    EXPECT_TRUE(missing.history.rows().empty());

    const HistoryRead folder = readHistory(dir.path().toStdString()); // a folder cannot be read as a file
    EXPECT_FALSE(folder.ok);
    EXPECT_FALSE(folder.reason.empty());
}

TEST(LogReader, ForeignAndHandEditedLinesAreSkippedAndCountedTheRecordsAroundThemKept) {
    const std::string text =
        "Kopfzeile ohne Abschnitt\n" // 1 skipped
        "; ein Kommentar\n"          // ignored
        + record(at(2026, 1, 2, 10, 0, 0), at(2026, 1, 2, 10, 30, 0), "1.20", "1.20") +
        "Notiz=vom Anwender\n" // 1 skipped, record kept
        "\n"
        "[Einstellungen]\nFarbe=blau\n" // 2 skipped
        "[Von 3.1.2026 08:00:00 bis 3.1.2026 09:00:00]\nVerbindungskosten=3,60\n"
        "Gesamtkosten bis dato=4.80\n"                                                // 3 skipped: not a number
        "[Von 4.1.2026 08:00:00 bis 4.1.2026 08:10:00]\nGesamtkosten bis dato=9.99\n" // 2 skipped: no cost
        "[Von 31.2.2026 08:00:00 bis 31.2.2026 09:00:00]\nVerbindungskosten=1.00\n"
        "Gesamtkosten bis dato=1.00\n" // 3 skipped: no such day
        "  [ von  5.1.2026 8:00:00   BIS 5.1.2026 08:15:00 ]  \n"
        "  verbindungskosten = \"0.24\" \nGESAMTKOSTEN BIS DATO=2.64\n" // a hand edit, kept
        "Verbindungskosten=99.99\n"                                     // 1 skipped: second cost
        + record(at(2026, 1, 6, 10, 0, 0), at(2026, 1, 6, 10, 1, 0), "0.12", "2.76");
    const History h = historyOf(text);
    ASSERT_EQ(h.rows().size(), 3u);
    EXPECT_EQ(h.rows()[0].costCents, 120);
    EXPECT_EQ(h.rows()[1].start, dt(2026, 1, 5, 8, 0, 0));
    EXPECT_EQ(h.rows()[1].seconds, 900);
    EXPECT_EQ(h.rows()[1].costCents, 24);
    EXPECT_EQ(h.rows()[1].totalCents, 264);
    EXPECT_EQ(h.rows()[2].totalCents, 276);
    EXPECT_EQ(h.stats.skippedLines, 1u + 1 + 2 + 3 + 2 + 3 + 1);
    EXPECT_FALSE(h.stats.tornTail);
}

TEST(LogReader, LineEndsOfEveryKindAByteOrderMarkAndAnyChunkingReadTheSame) {
    const std::string lf = record(at(2026, 2, 1, 9, 0, 0), at(2026, 2, 1, 9, 5, 0), "0.36", "10.36") +
                           record(at(2026, 2, 2, 9, 0, 0), at(2026, 2, 2, 9, 5, 0), "0.48", "10.84");
    std::string crlf, cr;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    const History expected = historyOf(lf);
    ASSERT_EQ(expected.rows().size(), 2u);
    for (const std::string& text : {lf, crlf, cr, "\xEF\xBB\xBF" + crlf}) {
        for (std::size_t chunk : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
            const History h = historyOf(text, chunk);
            EXPECT_EQ(h.totals(), expected.totals()) << chunk;
            EXPECT_EQ(h.stats.skippedLines, 0u) << chunk;
            EXPECT_FALSE(h.stats.tornTail) << chunk;
        }
    }
}

// Whatever byte the log ends at, the rows read are the complete records before
// it with their true values; the record that was cut never shows a wrong amount.
TEST(LogReader, ALogCutAtAnyByteYieldsOnlyWholeRecords) {
    const std::string full = record(at(2026, 4, 1, 9, 0, 0), at(2026, 4, 1, 9, 30, 0), "1.44", "101.44") +
                             record(at(2026, 4, 2, 9, 0, 0), at(2026, 4, 2, 9, 30, 0), "1.56", "103.00");
    const std::size_t secondStart = full.find("[Von 2.4");
    const std::size_t lastValueEnd = full.size() - 1; // before the final line break
    for (std::size_t cut = secondStart; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const History h = historyOf(std::string_view(full).substr(0, cut), 3);
        EXPECT_EQ(h.stats.skippedLines, 0u);
        ASSERT_GE(h.rows().size(), 1u);
        EXPECT_EQ(h.rows()[0].totalCents, 10144);
        if (cut >= lastValueEnd) {
            ASSERT_EQ(h.rows().size(), 2u); // "103.00" whole, with or without its line break
            EXPECT_EQ(h.rows()[1].totalCents, 10300);
            EXPECT_FALSE(h.stats.tornTail);
        } else {
            EXPECT_EQ(h.rows().size(), 1u);
            EXPECT_EQ(h.stats.tornTail, cut > secondStart);
        }
    }
    const History cutAfter = historyOf(full + "Notiz=angefan"); // a key of the whole record, cut
    EXPECT_EQ(cutAfter.rows().size(), 2u);
    EXPECT_TRUE(cutAfter.stats.tornTail);
    EXPECT_EQ(cutAfter.stats.skippedLines, 0u);
}

TEST(LogReader, AConnectionOverTheYearsEndCountsInTheMonthAndYearItBegan) {
    const std::string text = record(at(2026, 12, 31, 23, 59, 30), at(2027, 1, 1, 0, 0, 40), "0.24", "50.24") +
                             record(at(2027, 1, 1, 0, 5, 0), at(2027, 1, 1, 0, 6, 0), "0.12", "50.36");
    const History h = historyOf(text);
    ASSERT_EQ(h.rows().size(), 2u);
    EXPECT_EQ(h.rows()[0].seconds, 70);
    EXPECT_EQ(h.byYear().at(2026), (Totals{1, 70, 24}));
    EXPECT_EQ(h.byYear().at(2027), (Totals{1, 60, 12}));
    EXPECT_EQ(h.byMonth().at(202612), (Totals{1, 70, 24}));
    EXPECT_EQ(h.byDay().at(20261231), (Totals{1, 70, 24}));
    EXPECT_EQ(h.byDay().at(20270101), (Totals{1, 60, 12}));
    EXPECT_EQ(h.totals(), (Totals{2, 130, 36}));
    EXPECT_EQ(h.totalsOf(Period::ofMonth(2027, 1)), (Totals{1, 60, 12}));
    EXPECT_EQ(h.totalsOf(Period::ofMonth(2027, 2)), Totals{});
    EXPECT_EQ(h.rowsOf(Period::ofYear(2027)).size(), 1u);
}

// The zone is pinned to Europe/Berlin: clocks go forward at 2:00 on 29 March
// 2026 and back at 3:00 on 25 October 2026.
TEST(LogReader, SecondsOnlineAcrossBothDaylightSavingNightsAreRealSeconds) {
    struct Case {
        LocalTime start, end;
        std::int64_t seconds;
    };
    const Case cases[] = {
        {at(2026, 3, 29, 1, 30, 0), at(2026, 3, 29, 3, 30, 0), 3600},                     // an hour skipped
        {at(2026, 3, 28, 22, 0, 0), at(2026, 3, 29, 10, 0, 0), std::int64_t{11} * 3600},  // overnight
        {at(2026, 10, 25, 1, 30, 0), at(2026, 10, 25, 3, 30, 0), std::int64_t{3} * 3600}, // an hour repeated
        {at(2026, 10, 24, 22, 0, 0), at(2026, 10, 25, 10, 0, 0), std::int64_t{13} * 3600},
        {at(2026, 10, 25, 2, 50, 0), at(2026, 10, 25, 2, 10, 0), 1200}, // summer 2:50 to winter 2:10
        {at(2026, 10, 25, 2, 10, 0), at(2026, 10, 25, 2, 50, 0), 2400}, // the shorter of the two readings
        {at(2026, 10, 25, 2, 30, 0), at(2026, 10, 25, 4, 0, 0), 5400},  // the shorter: begun in winter time
        {at(2026, 6, 1, 12, 0, 0), at(2026, 6, 1, 11, 0, 0), 0},        // clock set back by hand: no time
    };
    std::string text;
    for (const Case& c : cases) text += record(c.start, c.end, "0.12", "0.12");
    const History h = historyOf(text);
    ASSERT_EQ(h.rows().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(h.rows()[i].seconds, cases[i].seconds) << i;
}

TEST(Money, ReadsThePointFormAndRefusesTheRest) {
    EXPECT_EQ(parseMoney("3.60")->cents, 360);
    EXPECT_TRUE(parseMoney("3.60")->asWritten);
    EXPECT_FALSE(parseMoney("3.6")->asWritten);
    EXPECT_FALSE(parseMoney(" 3.60")->asWritten);
    EXPECT_EQ(parseMoney("7")->cents, 700);
    EXPECT_EQ(parseMoney("-0.12")->cents, -12);
    EXPECT_EQ(parseMoney("12.345")->cents, 1235);
    EXPECT_EQ(parseMoney("'1.50'")->cents, 150);
    for (const char* bad : {"", "3,60", "3.60 DM", ".5", "-", "1e3", "1234567890123456", "99999999999999999999.99"})
        EXPECT_FALSE(parseMoney(bad)) << bad;
    EXPECT_EQ(moneyText(-12), "-0.12");
    EXPECT_EQ(moneyText(123456), "1234.56");
    EXPECT_EQ(durationText(std::int64_t{3} * 3600 + 4 * 60 + 5), "3:04:05");
    EXPECT_EQ(durationText(std::int64_t{125} * 3600), "125:00:00");
}

} // namespace
} // namespace velmora::test
