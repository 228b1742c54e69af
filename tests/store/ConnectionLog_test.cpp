#include "store/ConnectionLog.h"

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

TEST_F(ConnectionLogTest, RecordsFollowEachOtherAndASameNamedOneIsOverwritten) {
    const LogRecord first{at(1996, 12, 8, 9, 5, 7), at(1996, 12, 8, 10, 15, 0), "3.60", "125.40"};
    const LogRecord second{at(1996, 12, 8, 11, 0, 0), at(1996, 12, 8, 11, 1, 0), "0.12", "125.52"};
    ASSERT_TRUE(log_.write(first));
    ASSERT_TRUE(log_.write(second));
    LogRecord again = first;
    again.connectionCost = "0.24";
    again.grandTotal = "125.76";
    ASSERT_TRUE(log_.write(again));

    EXPECT_EQ(test::readFileBytes(log_.path()), "[Von 8.12.1996 09:05:07 bis 8.12.1996 10:15:00]\n"
                                                "Verbindungskosten=0.24\nGesamtkosten bis dato=125.76\n"
                                                "[Von 8.12.1996 11:00:00 bis 8.12.1996 11:01:00]\n"
                                                "Verbindungskosten=0.12\nGesamtkosten bis dato=125.52\n");
}

TEST_F(ConnectionLogTest, RemoveDeletesTheLogAndTheNextRecordStartsAfresh) {
    EXPECT_FALSE(log_.remove());
    const LogRecord record{at(2026, 3, 5, 7, 8, 9), at(2026, 3, 5, 7, 10, 11), "0.48", "0.48"};
    ASSERT_TRUE(log_.write(record));
    EXPECT_TRUE(log_.remove());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(log_.path())));
    ASSERT_TRUE(log_.write(record));
    EXPECT_EQ(test::readFileBytes(log_.path()), "[Von 5.3.2026 07:08:09 bis 5.3.2026 07:10:11]\n"
                                                "Verbindungskosten=0.48\nGesamtkosten bis dato=0.48\n");
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
