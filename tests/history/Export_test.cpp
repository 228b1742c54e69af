// The CSV in both forms and the report as a table and as JSON, of a small
// history, byte for byte.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "HistoryTestSupport.h"
#include "history/Export.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

// November without byte counts (logged before they were), December with them
// but for one connection, January with them.
History sample() {
    return historyOf(record(at(2026, 11, 30, 23, 50, 0), at(2026, 12, 1, 0, 20, 0), "1.20", "101.20") +
                     countedRecord(at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 18, 10, 0), "0.36", "101.56",
                                   48'213'504, 1'630'208) +
                     record(at(2026, 12, 24, 8, 0, 0), at(2026, 12, 24, 10, 0, 5), "14.04", "115.60") +
                     countedRecord(at(2027, 1, 2, 9, 0, 0), at(2027, 1, 2, 9, 1, 0), "0.12", "115.72", 49'999, 0));
}

TEST(Export, CsvHasOneRowPerConnectionWithItsBytesEmptyWhereUnknown) {
    const History h = sample();
    EXPECT_EQ(csvText(h.rowsOf(Period::ofMonth(2026, 12))),
              "start,end,seconds,cost,total,received,sent\r\n"
              "2026-12-09T17:59:51,2026-12-09T18:10:00,609,0.36,101.56,48213504,1630208\r\n"
              "2026-12-24T08:00:00,2026-12-24T10:00:05,7205,14.04,115.60,,\r\n");
    EXPECT_EQ(csvText({}), "start,end,seconds,cost,total,received,sent\r\n");
}

TEST(Export, SemicolonCsvHasTheSameRowsWithDecimalCommas) {
    History h = sample();
    h.add({{2027, 1, 3, 10, 0, 0}, {2027, 1, 3, 10, 0, 0}, 0, -12, 115'60, std::nullopt, 5}); // a hand-made credit
    EXPECT_EQ(csvText(h.rowsOf(Period::ofYear(2027)), CsvStyle::Semicolon),
              "start;end;seconds;cost;total;received;sent\r\n"
              "2027-01-02T09:00:00;2027-01-02T09:01:00;60;0,12;115,72;49999;0\r\n"
              "2027-01-03T10:00:00;2027-01-03T10:00:00;0;-0,12;115,60;;5\r\n");
}

TEST(Export, ReportListsTheMonthsWithTheirDataMarkingWhatWasNotAllCounted) {
    const History h = sample();
    EXPECT_EQ(monthlyReport(h, Period::all(), "€"),
              "Monat     Verbindungen   Onlinezeit       Kosten          Daten\n"
              "2026-11              1      0:30:00         1.20 €            -\n"
              "2026-12              2      2:10:14        14.40 €      49.8 MB*\n"
              "2027-01              1      0:01:00         0.12 €       0.0 MB\n"
              "Summe                4      2:41:14        15.72 €      49.9 MB*\n");
    EXPECT_EQ(monthlyReport(h, Period::ofMonth(2026, 11), "CHF"),
              "Monat     Verbindungen   Onlinezeit       Kosten            Daten\n"
              "2026-11              1      0:30:00         1.20 CHF            -\n"
              "Summe                1      0:30:00         1.20 CHF            -\n");
    EXPECT_EQ(monthlyReport(h, Period::ofMonth(2025, 5), "€"),
              "Monat     Verbindungen   Onlinezeit       Kosten          Daten\n"
              "Summe                0      0:00:00         0.00 €            -\n");
}

TEST(Export, JsonReportHasThePeriodsAndTheSumWithUnknownBytesAsNull) {
    const std::string text = jsonReport(sample(), Period::all(), "€");
    QJsonParseError error{};
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
    EXPECT_EQ(report["currency"].toString(), QStringLiteral("€"));
    const QJsonArray periods = report["periods"].toArray();
    ASSERT_EQ(periods.size(), 3);
    const QJsonObject november = periods[0].toObject();
    EXPECT_EQ(november["key"].toString(), "2026-11");
    EXPECT_EQ(november["connections"].toInteger(), 1);
    EXPECT_EQ(november["seconds"].toInteger(), 1800);
    EXPECT_DOUBLE_EQ(november["cost"].toDouble(), 1.2);
    EXPECT_TRUE(november["received"].isNull());
    EXPECT_TRUE(november["sent"].isNull());
    EXPECT_FALSE(november["bytes_complete"].toBool());
    const QJsonObject december = periods[1].toObject();
    EXPECT_EQ(december["received"].toInteger(), 48'213'504);
    EXPECT_EQ(december["sent"].toInteger(), 1'630'208);
    EXPECT_FALSE(december["bytes_complete"].toBool());
    EXPECT_TRUE(periods[2].toObject()["bytes_complete"].toBool());
    const QJsonObject sum = report["sum"].toObject();
    EXPECT_EQ(sum["connections"].toInteger(), 4);
    EXPECT_EQ(sum["seconds"].toInteger(), 9674);
    EXPECT_EQ(sum["received"].toInteger(), 48'263'503);
    EXPECT_FALSE(sum.contains("key"));
    // Amounts as the shortest decimal numbers, not as binary noise.
    EXPECT_NE(text.find("\"cost\": 14.4,"), std::string::npos) << text;
    EXPECT_NE(text.find("\"cost\": 15.72,"), std::string::npos) << text;

    const QJsonObject empty =
        QJsonDocument::fromJson(QByteArray::fromStdString(jsonReport(sample(), Period::ofYear(2025), "$"))).object();
    EXPECT_TRUE(empty["periods"].toArray().isEmpty());
    EXPECT_EQ(empty["sum"].toObject()["connections"].toInteger(), 0);
    EXPECT_TRUE(empty["sum"].toObject()["received"].isNull());
}

TEST(Export, MegabytesRoundToOneDecimalExactlyForEveryCount) {
    EXPECT_EQ(megabytesText(0), "0.0");
    EXPECT_EQ(megabytesText(49'999), "0.0");
    EXPECT_EQ(megabytesText(50'000), "0.1");
    EXPECT_EQ(megabytesText(48'213'504), "48.2");
    EXPECT_EQ(megabytesText(18446744073709551615u), "18446744073709.6");
    EXPECT_EQ(reportPeriods(sample(), Period::ofYear(2026)).size(), 2u);
    EXPECT_EQ(reportPeriods(sample(), Period::ofYear(2026)).back().key, "2026-12");
}

TEST(Export, SavingReplacesTheFileWholeAndSaysWhyItCannot) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("verlauf.csv").toStdString();
    writeFileBytes(path, std::string(500, 'x'));
    ASSERT_TRUE(saveTextFile(path, "start,end\r\n"));
    EXPECT_EQ(readFileBytes(path), "start,end\r\n");
    const WriteResult failed = saveTextFile(dir.filePath("fehlt/verlauf.csv").toStdString(), "x");
    EXPECT_FALSE(failed);
    EXPECT_FALSE(failed.reason.empty());
}

} // namespace
} // namespace velmora::test
