// The CSV and the monthly report of a small history, byte for byte.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "HistoryTestSupport.h"
#include "history/Export.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

History sample() {
    return historyOf(record(at(2026, 11, 30, 23, 50, 0), at(2026, 12, 1, 0, 20, 0), "1.20", "101.20") +
                     record(at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 18, 10, 0), "0.36", "101.56") +
                     record(at(2026, 12, 24, 8, 0, 0), at(2026, 12, 24, 10, 0, 5), "14.04", "115.60") +
                     record(at(2027, 1, 2, 9, 0, 0), at(2027, 1, 2, 9, 1, 0), "0.12", "115.72"));
}

TEST(Export, CsvHasOneRowPerConnectionInIsoLocalTimeAndPointMoney) {
    const History h = sample();
    EXPECT_EQ(csvText(h.rowsOf(Period::ofMonth(2026, 12))),
              "start,end,seconds,cost,total\r\n"
              "2026-12-09T17:59:51,2026-12-09T18:10:00,609,0.36,101.56\r\n"
              "2026-12-24T08:00:00,2026-12-24T10:00:05,7205,14.04,115.60\r\n");
    EXPECT_EQ(csvText({}), "start,end,seconds,cost,total\r\n");
}

TEST(Export, ReportListsTheMonthsOfThePeriodAndTheirSum) {
    const History h = sample();
    EXPECT_EQ(monthlyReport(h, Period::all(), "€"), "Monat     Verbindungen   Onlinezeit       Kosten\n"
                                                    "2026-11              1      0:30:00         1.20 €\n"
                                                    "2026-12              2      2:10:14        14.40 €\n"
                                                    "2027-01              1      0:01:00         0.12 €\n"
                                                    "Summe                4      2:41:14        15.72 €\n");
    EXPECT_EQ(monthlyReport(h, Period::ofYear(2026), "$"), "Monat     Verbindungen   Onlinezeit       Kosten\n"
                                                           "2026-11              1      0:30:00         1.20 $\n"
                                                           "2026-12              2      2:10:14        14.40 $\n"
                                                           "Summe                3      2:40:14        15.60 $\n");
    EXPECT_EQ(monthlyReport(h, Period::ofMonth(2025, 5), "€"), "Monat     Verbindungen   Onlinezeit       Kosten\n"
                                                               "Summe                0      0:00:00         0.00 €\n");
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
