// A year of use, exact to the cent. The full year with realistic use is the
// figure program year_of_use (bench/year-of-use); this run covers the same
// calendar with fewer and shorter connections so that it stays quick.
#include "YearOfUse.h"

#include <QDir>

namespace velmora::testing {
namespace {

TEST(YearOfUse, EveryRecordAddsItsCostToThePreviousTotalToTheCent) {
    // The run rewrites its files thousands of times; a RAM disk keeps that quick.
    if (QDir(QStringLiteral("/dev/shm")).exists()) qputenv("TMPDIR", "/dev/shm");
    YearOptions options;
    options.sessionsPerDay = 0.25;
    options.longestSeconds = 600;
    options.startingTotal = "9876.54"; // years of use before: the sums are large
    const YearFigures year = YearOfUse(options).run();
    EXPECT_GT(year.connections, 300);
    EXPECT_EQ(year.records, year.connections);
    EXPECT_EQ(year.centErrors, 0);
    EXPECT_EQ(year.storedTotal, year.lastRecordTotal);
    EXPECT_GT(centsOf(year.storedTotal), 9876'54 + 500'00);
}

} // namespace
} // namespace velmora::testing
