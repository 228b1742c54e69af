#include "store/ConnectionLog.h"

#include <QDir>
#include <QFile>

#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

LocalTime at(int year, int month, int day, int hour, int minute, int second) {
    return {.year = year, .month = month, .day = day, .hour = hour, .minute = minute, .second = second};
}

TEST(LogSectionName, DayAndMonthWithoutLeadingZeroTimeWithTwoDigits) {
    EXPECT_EQ(logSectionName(at(2026, 3, 5, 7, 8, 9), at(2026, 3, 5, 7, 10, 11)),
              "Von 5.3.2026 07:08:09 bis 5.3.2026 07:10:11");
    EXPECT_EQ(logSectionName(at(1996, 12, 31, 23, 59, 30), at(1997, 1, 1, 0, 0, 40)),
              "Von 31.12.1996 23:59:30 bis 1.1.1997 00:00:40");
}

class ConnectionLogTest : public test::TempDirTest {
protected:
    ConnectionLog log_{pathOf("zelvar.log")};
};

// Two connections of the same start and end (the hour the clocks go back, a
// clock set back) once shared one record, the later one's amounts.
TEST_F(ConnectionLogTest, ARecordNeverReplacesAnotherOfTheSameName) {
    const LogRecord first{at(2026, 10, 25, 2, 5, 7), at(2026, 10, 25, 2, 15, 0), "3.60", "125.40"};
    const LogRecord second{at(2026, 10, 25, 2, 20, 0), at(2026, 10, 25, 2, 21, 0), "0.12", "125.52"};
    ASSERT_TRUE(log_.write(first));
    ASSERT_TRUE(log_.write(second));
    LogRecord again = first; // the same wall-clock seconds, an hour later
    again.connectionCost = "0.24";
    again.grandTotal = "125.76";
    ASSERT_TRUE(log_.write(again));
    LogRecord third = again;
    third.grandTotal = "126.00";
    ASSERT_TRUE(log_.write(third));
    const std::string expected = "[Von 25.10.2026 02:05:07 bis 25.10.2026 02:15:00]\n"
                                 "Verbindungskosten=3.60\nGesamtkosten bis dato=125.40\n"
                                 "[Von 25.10.2026 02:20:00 bis 25.10.2026 02:21:00]\n"
                                 "Verbindungskosten=0.12\nGesamtkosten bis dato=125.52\n"
                                 "[Von 25.10.2026 02:05:07  bis 25.10.2026 02:15:00]\n"
                                 "Verbindungskosten=0.24\nGesamtkosten bis dato=125.76\n"
                                 "[Von 25.10.2026 02:05:07   bis 25.10.2026 02:15:00]\n"
                                 "Verbindungskosten=0.24\nGesamtkosten bis dato=126.00\n";
    EXPECT_EQ(test::readFileBytes(log_.path()), expected);
    // A recovery repeating a write that landed adds nothing.
    for (const LogRecord& record : {first, again, third}) ASSERT_TRUE(log_.write(record));
    EXPECT_EQ(test::readFileBytes(log_.path()), expected);
}

TEST_F(ConnectionLogTest, RemoveDeletesTheLogAndSaysWhyWhenItCannot) {
    EXPECT_TRUE(log_.remove().ok); // nothing to delete is as good as deleted
    const LogRecord record{at(2026, 3, 5, 7, 8, 9), at(2026, 3, 5, 7, 10, 11), "0.48", "0.48"};
    ASSERT_TRUE(log_.write(record));
    EXPECT_TRUE(log_.remove().ok);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(log_.path())));
    ASSERT_TRUE(log_.write(record));
    EXPECT_EQ(test::readFileBytes(log_.path()), "[Von 5.3.2026 07:08:09 bis 5.3.2026 07:10:11]\n"
                                                "Verbindungskosten=0.48\nGesamtkosten bis dato=0.48\n");

    ASSERT_TRUE(QFile::remove(QString::fromStdString(log_.path())));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(log_.path() + "/inhalt"))); // a folder in its place
    const WriteResult refused = log_.remove();
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.reason.rfind("die Datei kann nicht gelöscht werden: ", 0), 0u) << refused.reason;
}

TEST_F(ConnectionLogTest, ByteCountsFollowTheAmountsOnlyWhereKnown) {
    LogRecord counted{at(2026, 3, 5, 7, 8, 9), at(2026, 3, 5, 7, 10, 11), "0.48", "0.48"};
    counted.bytesReceived = 18446744073709551615u; // the largest a 64-bit counter holds
    counted.bytesSent = 0;
    LogRecord receivedOnly{at(2026, 3, 6, 7, 0, 0), at(2026, 3, 6, 7, 1, 0), "0.12", "0.60"};
    receivedOnly.bytesReceived = 4096;
    const LogRecord unknown{at(2026, 3, 7, 7, 0, 0), at(2026, 3, 7, 7, 1, 0), "0.12", "0.72"};
    for (const LogRecord& record : {counted, receivedOnly, unknown}) ASSERT_TRUE(log_.write(record));
    EXPECT_EQ(test::readFileBytes(log_.path()), "[Von 5.3.2026 07:08:09 bis 5.3.2026 07:10:11]\n"
                                                "Verbindungskosten=0.48\nGesamtkosten bis dato=0.48\n"
                                                "Empfangen=18446744073709551615\nGesendet=0\n"
                                                "[Von 6.3.2026 07:00:00 bis 6.3.2026 07:01:00]\n"
                                                "Verbindungskosten=0.12\nGesamtkosten bis dato=0.60\n"
                                                "Empfangen=4096\n"
                                                "[Von 7.3.2026 07:00:00 bis 7.3.2026 07:01:00]\n"
                                                "Verbindungskosten=0.12\nGesamtkosten bis dato=0.72\n");
}

} // namespace
} // namespace velmora
