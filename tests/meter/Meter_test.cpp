// The meter on its own: roads of a connection on a virtual clock, checked on
// the meter's state, its texts and the files it leaves.
#include "meter/MeterRig.h"

namespace velmora::testing {
namespace {

Money cents(std::int64_t n) { return Money::fromCents(n); }

MeterTexts idleTexts(const std::string& total) {
    return {kNoConnection, kNoConnection, kNoConnection, kNoAddress,
            kNoConnection, kNoConnection, total,         kNoConnection};
}

TEST(Meter, OpensChargesAndLogsAConnectionWithTheTotalSavedBesideIt) {
    MeterRig r; // Wednesday 10:29:59, City
    r.source.up("T-Online", "modem", "192.168.7.2");
    const Meter& m = r.start();
    EXPECT_EQ(m.texts(), idleTexts("0.00"));
    r.seconds(1); // 10:30:00, the first poll
    EXPECT_TRUE(r.state().connected && r.state().opened);
    EXPECT_EQ(r.state().start.hour * 100 + r.state().start.minute, 1030);
    EXPECT_EQ(r.state().cost, cents(12)) << "the first unit at once";
    EXPECT_EQ(r.polls.back().unitTimerMs, 90'000) << "armed for the band, without a second charge";
    EXPECT_EQ(m.texts(), (MeterTexts{"T-Online", "Analoge Verbindung (Modem)", "/dev/ttyS0", "192.168.7.2", "00:00:00",
                                     "0.12", "0.12", "90.00 Sekunden Bereich"}));
    EXPECT_EQ(m.caption("€"), "0.12 €  /  00:00:00 h");

    r.seconds(90); // the unit timer at 10:31:30
    EXPECT_EQ(r.state().cost, cents(24));
    EXPECT_EQ(m.caption("€"), "0.24 €  /  00:01:30 h");
    r.source.down();
    r.seconds(1);
    EXPECT_TRUE(r.polls.back().linkCleared);
    EXPECT_FALSE(r.state().connected);
    EXPECT_EQ(r.state().cost, Money());
    EXPECT_EQ(r.state().unitLengthMs, 0);
    EXPECT_EQ(m.texts(), idleTexts("0.24"));
    EXPECT_EQ(m.caption("€"), "Keine Verbindung");
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:31]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n");
    EXPECT_EQ(r.profileText(), "[Standard]\nKosten=0.24\nTarifzone=0\nWarnung=0\n");
}

TEST(Meter, ABandChangeChargesAndRestartsTheUnitClockButTheSameLengthDoesNot) {
    MeterRig evening(wallMs(2026, 12, 9, 17, 59, 57)); // Wednesday, City
    evening.source.up("City");
    evening.start();
    evening.seconds(2); // 17:59:59, band 9-18
    evening.seconds(1); // 18:00:00 lies in no band
    EXPECT_FALSE(evening.polls.back().unitTimerMs);
    evening.seconds(1); // 18:00:01, band 18-21
    EXPECT_EQ(evening.polls.back().unitTimerMs, 150'000);
    EXPECT_EQ(evening.state().cost, cents(24));
    evening.seconds(149);
    EXPECT_EQ(evening.state().cost, cents(24)) << "the cut unit does not run on";
    evening.seconds(1);
    EXPECT_EQ(evening.state().cost, cents(36));

    MeterRig midnight(wallMs(2026, 12, 11, 23, 59, 57)); // Friday into Saturday
    midnight.source.up("Region");
    midnight.start().chooseTariff(Region50);
    midnight.seconds(1 + 3 + 56); // armed at 23:59:58 with 60 s; the weekend band has 60 s too
    for (std::size_t i = 1; i < midnight.polls.size(); ++i) EXPECT_FALSE(midnight.polls[i].unitTimerMs) << i;
    EXPECT_EQ(midnight.state().cost, cents(12));
    midnight.seconds(1);
    EXPECT_EQ(midnight.state().cost, cents(24));
}

TEST(Meter, AnotherLinkTakingFirstPlaceEndsTheConnectionAndOpensANewOneInTheSamePoll) {
    MeterRig r;
    r.source.links = {ScriptedLink{"Erste", true, "modem", "/dev/ttyS0", "10.0.0.1"},
                      ScriptedLink{"Zweite", false, "isdn", "/dev/ttyI0", ""}};
    r.start();
    r.seconds(1 + 95); // two units
    r.source.links.erase(r.source.links.begin());
    r.source.links[0].connected = true;
    r.seconds(1); // 10:31:36
    EXPECT_TRUE(r.polls.back().linkCleared && r.polls.back().linkShown);
    EXPECT_EQ(r.state().link.entryName, "Zweite");
    EXPECT_EQ(r.state().cost, cents(12));
    EXPECT_EQ(r.state().total, cents(36));
    EXPECT_EQ(r.meter().texts().address, "0.0.0.0") << "no address assigned";
    r.source.links[0].entryName = "Zweite umbenannt"; // the same link: no new connection
    r.seconds(10);
    EXPECT_EQ(r.meter().texts().timeOnline, "00:00:10");
    r.end();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:36]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n"
                           "[Von 9.12.2026 10:31:36 bis 9.12.2026 10:31:46]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.36\n");
}

TEST(Meter, ALinkNotYetEstablishedIsClearedWithoutARecordAndOnlyAConnectionNeedsEverySecond) {
    MeterRig r;
    r.start();
    r.seconds(1);
    EXPECT_FALSE(r.polls.back().linkCleared) << "nothing listed and nothing shown: nothing to clear";
    EXPECT_FALSE(r.meter().needsEverySecond());
    r.source.dialling("Provider");
    r.seconds(1);
    EXPECT_TRUE(r.polls.back().linkCleared);
    EXPECT_FALSE(r.state().connected);
    EXPECT_FALSE(r.meter().needsEverySecond()) << "dialling: the link source paces the poll";
    r.source.up("Provider");
    r.source.failStatus = true; // a failed status query counts as not connected
    r.seconds(3);
    EXPECT_FALSE(r.state().connected);
    r.source.failStatus = false;
    r.seconds(1);
    EXPECT_TRUE(r.meter().needsEverySecond()) << "a connection is metered";
    r.source.down();
    r.seconds(1);
    EXPECT_FALSE(r.meter().needsEverySecond());
    r.end();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:05 bis 9.12.2026 10:30:06]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\n")
        << "only the established connection leaves a record";
}

TEST(Meter, TheWarningSoundsOnEveryPollFromItsThresholdAndAChoiceOutsideTheListNeverWarns) {
    MeterRig r;
    r.source.up("Lang");
    r.start().chooseWarning(1); // after 5 minutes
    r.seconds(1 + 299);
    EXPECT_EQ(r.beeps, 0);
    r.seconds(3);
    EXPECT_EQ(r.beeps, 3);
    r.meter().chooseWarning(9);
    EXPECT_EQ(r.state().warningIndex, -1);
    r.seconds(4 * 3600);
    EXPECT_EQ(r.beeps, 3);
}

TEST(Meter, AUnitTimerLeftFromAnEarlierConnectionChargesNothing) {
    MeterRig r;
    r.source.up("Erste");
    r.start();
    r.seconds(1 + 10); // City at 90 s armed
    r.source.down();
    r.seconds(1);
    r.meter().chooseTariff(UserDefined); // no bands stored: no unit length ever in force
    r.source.up("Zweite");
    r.seconds(400);
    EXPECT_EQ(r.state().cost, cents(12));
    EXPECT_EQ(r.meter().texts().unitLength, kNoConnection);
    EXPECT_EQ(r.meter().unitElapsed(momentOf(r.clock)).unitTimerMs, std::nullopt);
    EXPECT_EQ(r.state().cost, cents(12));
}

TEST(Meter, StoredChoicesOutsideTheListsAreNoChoiceAndTheSaveRepairsTheTariff) {
    MeterRig r;
    r.profile.writeString("Standard", "Kosten", "12,5");
    r.profile.writeInt("Standard", "Tarifzone", 7);
    r.profile.writeInt("Standard", "Warnung", 12);
    r.source.up("Ohne Tarif");
    r.start();
    EXPECT_EQ(r.state().tariffZone, NoTariff);
    EXPECT_EQ(r.state().warningIndex, -1);
    EXPECT_EQ(r.state().total, cents(1200)) << "the number stops at the comma";
    r.seconds(1 + 3600);
    EXPECT_EQ(r.state().cost, cents(12)) << "no tariff: only the first unit";
    EXPECT_EQ(r.beeps, 0);
    r.end();
    EXPECT_EQ(r.state().tariffZone, City);
    EXPECT_EQ(r.profileText(), "[Standard]\nKosten=12.12\nTarifzone=0\nWarnung=-1\n");
}

TEST(Meter, AResetZeroesTheTotalAtOnceWhileTheConnectionRunsOn) {
    MeterRig r;
    r.profile.writeString("Standard", "Kosten", "10.00");
    r.source.up("Reset");
    r.start();
    r.seconds(1 + 270); // 4 units
    EXPECT_EQ(r.state().total, cents(1048));
    r.meter().resetLog(momentOf(r.clock));
    EXPECT_EQ(r.state().total, Money());
    EXPECT_EQ(r.state().cost, cents(48));
    EXPECT_EQ(r.profile.readString("Standard", "Kosten", ""), "0.00") << "a crash now keeps the reset";
    r.seconds(90);
    r.source.down();
    r.seconds(1);
    EXPECT_NE(r.logText().find("Verbindungskosten=0.60\nGesamtkosten bis dato=0.12\n"), std::string::npos);
}

// Single precision made 1000 units of 0.12 into 120.00109 and 100,000 into
// 12009.64; money is exact now.
TEST(Meter, UnitsAddUpExactToTheCent) {
    if (QDir(QStringLiteral("/dev/shm")).exists()) qputenv("TMPDIR", "/dev/shm"); // a checkpoint per unit
    MeterRig r;
    r.source.up("Viele Einheiten");
    r.start();
    r.seconds(1);
    for (int i = 1; i < 1000; ++i) r.meter().unitElapsed(momentOf(r.clock));
    EXPECT_EQ(r.state().total, cents(12000));
    EXPECT_EQ(r.meter().texts().total, "120.00");
    for (int i = 1000; i < 100'000; ++i) r.meter().unitElapsed(momentOf(r.clock));
    EXPECT_EQ(r.meter().texts().total, "12000.00");
    r.end();
    EXPECT_EQ(r.profile.readString("Standard", "Kosten", ""), "12000.00");
}

// A clock set forward or back (by hand, by a time server) during a
// connection: the record keeps the real end and starts the time online before
// it, which counts on the boot clock. Once the record began an hour before the
// clock was set forward and ended before it began when set back. A few seconds
// of a time server's slewing leave the record as the wall clock has it.
TEST(Meter, AWallClockSetDuringAConnectionMovesTheRecordsStartNotItsDuration) {
    MeterRig r;
    r.source.up("T-Online");
    r.start();
    r.seconds(1); // opened at 10:30:00
    r.clock.setEpochMs(r.clock.epochMs() + 3600'000);
    r.seconds(10);
    EXPECT_EQ(r.state().elapsedSeconds, 10u);
    EXPECT_EQ(r.meter().texts().timeOnline, "00:00:10");
    r.source.down();
    r.seconds(1); // 11:30:11
    r.source.up("T-Online");
    r.seconds(1); // opened at 11:30:12, then set back two hours
    r.clock.setEpochMs(r.clock.epochMs() - std::int64_t{2} * 3600'000);
    r.seconds(7);
    r.source.down();
    r.seconds(1); // 09:30:20
    r.source.up("T-Online");
    r.seconds(1); // opened at 09:30:21
    r.clock.setEpochMs(r.clock.epochMs() + 3000);
    r.seconds(5);
    r.end();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 11:30:00 bis 9.12.2026 11:30:11]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\n"
                           "[Von 9.12.2026 09:30:12 bis 9.12.2026 09:30:20]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.24\n"
                           "[Von 9.12.2026 09:30:21 bis 9.12.2026 09:30:29]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.36\n");
}

TEST(Meter, ARunThatEndsWithoutClosingIsLoggedAtTheNextStart) {
    MeterRig r;
    r.profile.writeString("Standard", "Kosten", "10.00");
    r.source.up("T-Online");
    r.start();
    r.seconds(1 + 620); // seven units, the last at 10:39:00; a checkpoint a minute after
    r.crash();
    r.clock.advance(5 * 60 * 1000);
    r.source.down();
    r.start();
    EXPECT_EQ(r.state().total, cents(1084));
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:40:00]\n"
                           "Verbindungskosten=0.84\nGesamtkosten bis dato=10.84\n");
}

} // namespace
} // namespace velmora::testing
