// A settings file that is there but cannot be read: the grand total is not
// known, so nothing is written from it; the connections are metered and held
// back, and once the file reads they are booked on top of the stored total.
#include <sys/stat.h>

#include "meter/MeterRig.h"
#include "support/OtherUser.h"

namespace velmora::testing {
namespace {

const std::string kStored = "[Standard]\nKosten=125.40\nTarifzone=1\nWarnung=2\n[Cost-Editor]\nGebuehr=0.23\n";

// Once a start with an unreadable file showed 0.00 and kept it as a pending
// write, which later overwrote the real total.
TEST(UnreadSettings, TheTotalStaysUnknownUntilTheFileReadsAndIsThenBookedWithEveryRecordHeldBack) {
    MeterRig r; // Wednesday 10:29:59
    ASSERT_TRUE(giveTo(r.dir.path().toStdString(), kOtherUid));
    std::ofstream(r.profile.path()) << kStored;
    ASSERT_EQ(::chown(r.profile.path().c_str(), kOtherUid, kOtherUid), 0);
    ASSERT_EQ(::chmod(r.profile.path().c_str(), 0), 0);
    const ChildOutcome run = runAsOtherUser([&](std::string& report) {
        r.source.up("T-Online");
        r.start();
        EXPECT_FALSE(r.state().totalKnown);
        EXPECT_EQ(r.meter().texts().total, kUnknownTotal) << "not a known 0.00";
        EXPECT_EQ(r.state().tariffZone, City) << "the defaults meanwhile";
        r.seconds(1 + 90); // 0.24 at City's 90 s
        r.source.down();
        r.seconds(1);
        EXPECT_EQ(r.meter().texts().total, kUnknownTotal);
        r.source.up("T-Online");
        r.seconds(1 + 30); // 0.12, then killed
        r.crash();
        r.source.down();
        r.start(); // still unreadable: the killed connection is held back too
        EXPECT_EQ(r.meter().texts().total, kUnknownTotal);
        EXPECT_EQ(r.state().total, Money::fromCents(36)) << "what was charged since";
        r.seconds(5);
        EXPECT_EQ(r.logText(), "") << "no running total is known for the records yet";
        EXPECT_EQ(::chmod(r.profile.path().c_str(), 0600), 0);
        r.seconds(1); // the next poll reads it
        EXPECT_TRUE(r.state().totalKnown);
        EXPECT_EQ(r.meter().texts().total, "125.76");
        EXPECT_EQ(r.state().tariffZone, Region50) << "the stored choices are back";
        EXPECT_EQ(r.state().warningIndex, 2);
        r.end();
        report = r.told;
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    if (run.status == kCannotRunHere) GTEST_SKIP() << run.output;
    EXPECT_EQ(run.status, 0) << run.output;
    // Told at each start, by the real cause, and once when it read.
    const std::string unread = "Gesamtkosten nicht lesbar|" + r.profile.path() +
                               ": die Datei kann nicht gelesen werden: keine Leseberechtigung. ";
    EXPECT_EQ(run.output.find(unread), 0u) << run.output;
    EXPECT_NE(run.output.find(unread, 1), std::string::npos) << run.output;
    const std::string read = "Gesamtkosten gelesen|" + r.profile.path() +
                             ": die Datei ist wieder lesbar; zu den gespeicherten Gesamtkosten (125.40) kommen die "
                             "seither gemessenen 0.36.";
    EXPECT_NE(run.output.find(read), std::string::npos) << run.output;
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:31]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=125.64\n"
                           "[Von 9.12.2026 10:31:32 bis 9.12.2026 10:31:32]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=125.76\n");
    EXPECT_EQ(r.profileText(), "[Standard]\nKosten=125.76\nTarifzone=1\nWarnung=2\n[Cost-Editor]\nGebuehr=0.23\n");
}

// The user deleted the log while the total was unknown: 0 is known, and the
// reset waits for nothing more than the log's deletion; the stored choices
// still come back once the file reads.
TEST(UnreadSettings, AResetWhileTheTotalIsUnknownMakesItKnown) {
    MeterRig r;
    ASSERT_TRUE(giveTo(r.dir.path().toStdString(), kOtherUid));
    std::ofstream(r.profile.path()) << kStored;
    ASSERT_EQ(::chown(r.profile.path().c_str(), kOtherUid, kOtherUid), 0);
    ASSERT_EQ(::chmod(r.profile.path().c_str(), 0), 0);
    const ChildOutcome run = runAsOtherUser([&](std::string&) {
        r.source.up("T-Online");
        r.start();
        r.seconds(1 + 90);
        r.meter().resetLog(momentOf(r.clock));
        EXPECT_EQ(r.meter().texts().total, "0.00");
        r.seconds(90); // 0.12 after the reset
        r.source.down();
        r.seconds(1);
        EXPECT_NE(r.logText().find("Verbindungskosten=0.36\nGesamtkosten bis dato=0.12\n"), std::string::npos)
            << "a known total: logged at once";
        EXPECT_EQ(::chmod(r.profile.path().c_str(), 0600), 0);
        r.seconds(1);
        EXPECT_EQ(r.state().tariffZone, Region50);
        r.end();
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    if (run.status == kCannotRunHere) GTEST_SKIP() << run.output;
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(r.profileText(), "[Standard]\nKosten=0.12\nTarifzone=1\nWarnung=2\n[Cost-Editor]\nGebuehr=0.23\n");
}

} // namespace
} // namespace velmora::testing
