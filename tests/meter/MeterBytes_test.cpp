// What a connection carried: the link's counters at the connection's first
// poll and at every poll after, into the record, the journal's checkpoints and
// a record recovered after a crash.
#include "meter/MeterRig.h"

namespace velmora::testing {
namespace {

std::string bytesOfRecord(const std::string& received, const std::string& sent) {
    return "Empfangen=" + received + "\nGesendet=" + sent + "\n";
}

TEST(MeterBytes, ARecordCarriesWhatTheLinkCarriedSinceItsFirstPollAndKeepsTheLastKnownFigure) {
    MeterRig r;
    r.source.dialling("T-Online");
    r.source.carried(7'000, 3'000); // negotiation, not the connection's
    r.start();
    r.seconds(2);
    EXPECT_FALSE(r.state().carried) << "no connection, nothing carried";
    r.source.links.front().connected = true;
    r.source.carried(10'000, 4'000);
    r.seconds(1); // 10:30:02, the start figure
    EXPECT_EQ(r.state().carried, (ByteCounters{0, 0}));
    r.source.carried(5'010'000, 254'000);
    r.seconds(1);
    EXPECT_EQ(r.state().carried, (ByteCounters{5'000'000, 250'000}));

    r.source.failCounters = true; // a poll that cannot read them keeps the last known
    r.source.carried(9'010'000, 304'000);
    r.seconds(3);
    EXPECT_EQ(r.state().carried, (ByteCounters{5'000'000, 250'000}));
    r.source.failCounters = false;
    r.seconds(1);
    EXPECT_EQ(r.state().carried, (ByteCounters{9'000'000, 300'000}));

    // The link vanishes: the source still knows its last figure.
    r.source.down();
    r.seconds(1); // 10:30:08
    EXPECT_FALSE(r.state().carried);
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:02 bis 9.12.2026 10:30:08]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\n" +
                               bytesOfRecord("9000000", "300000"));

    // The same link comes up again: its own new start figure, and a query
    // that fails at the end leaves the last poll's figure.
    r.source.up("T-Online");
    r.source.carried(100, 100);
    r.seconds(1);
    r.source.carried(2'100, 1'100);
    r.seconds(1);
    r.source.failCounters = true;
    r.source.down();
    r.seconds(1);
    EXPECT_NE(r.logText().find("Gesamtkosten bis dato=0.24\n" + bytesOfRecord("2000", "1000")), std::string::npos)
        << r.logText();
}

// The old link, still listed behind the new one, is asked by its handle for
// its figure at the swap; the new one counts from its own.
TEST(MeterBytes, ALinkTakingFirstPlaceEndsTheOldRecordWithItsOwnLastFigureAndStartsFromItsOwn) {
    MeterRig r;
    r.source.links = {ScriptedLink{"Erste", true, "modem", "/dev/ttyS0", "10.0.0.1", 0, ByteCounters{1'000, 1'000}},
                      ScriptedLink{"Zweite", true, "isdn", "/dev/ttyI0", "10.0.0.2", 0, ByteCounters{50'000, 60'000}}};
    r.start();
    r.seconds(1 + 5);
    std::swap(r.source.links[0], r.source.links[1]);
    r.source.links[1].counters = ByteCounters{4'000, 2'000}; // the old link, read at the swap
    r.source.links[0].counters = ByteCounters{50'500, 60'700};
    r.seconds(1);
    EXPECT_EQ(r.state().link.entryName, "Zweite");
    EXPECT_EQ(r.state().carried, (ByteCounters{0, 0}));
    r.source.links[0].counters = ByteCounters{51'500, 61'700};
    r.seconds(1);
    r.end();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:30:06]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\n" +
                               bytesOfRecord("3000", "1000") +
                               "[Von 9.12.2026 10:30:06 bis 9.12.2026 10:30:07]\n"
                               "Verbindungskosten=0.12\nGesamtkosten bis dato=0.24\n" +
                               bytesOfRecord("1000", "1000"));
}

TEST(MeterBytes, CountersGoingBackGiveNoFigureBelowTheLastAndAnUnknownStartGivesNone) {
    MeterRig r;
    r.source.up("Rückwärts");
    r.source.carried(1'000, 1'000);
    r.start();
    r.seconds(1);
    r.source.carried(3'000, 500); // sent below the start figure
    r.seconds(1);
    EXPECT_EQ(r.state().carried, (ByteCounters{2'000, 0}));
    r.source.carried(2'500, 1'800);
    r.seconds(1);
    EXPECT_EQ(r.state().carried, (ByteCounters{2'000, 800})) << "received keeps its highest figure";
    r.source.down();
    r.seconds(1);
    EXPECT_NE(r.logText().find(bytesOfRecord("2000", "800")), std::string::npos) << r.logText();

    // No figure at the connection's first poll: a later one would count only
    // a part of it, so the record has none.
    r.source.up("Ohne Anfang");
    r.source.carried(1'000, 1'000);
    r.source.failCounters = true;
    r.seconds(1);
    r.source.failCounters = false;
    r.seconds(5);
    EXPECT_FALSE(r.state().carried);
    r.end();
    const std::string log = r.logText();
    EXPECT_EQ(log.substr(log.rfind('[')), "[Von 9.12.2026 10:30:04 bis 9.12.2026 10:30:09]\n"
                                          "Verbindungskosten=0.12\nGesamtkosten bis dato=0.24\n");
}

TEST(MeterBytes, ACrashedConnectionIsLoggedWithTheBytesOfItsLastCheckpoint) {
    MeterRig r;
    r.source.up("T-Online");
    r.source.carried(1'000, 500);
    r.start();
    r.seconds(1 + 30);
    r.source.carried(51'000, 2'500);
    r.seconds(30); // the minute's checkpoint at 10:31:00
    r.source.carried(99'000, 9'500);
    r.seconds(6); // polls see it; the next checkpoint is the unit at 10:31:30
    EXPECT_EQ(r.state().carried, (ByteCounters{98'000, 9'000}));
    r.crash();
    r.source.down();
    r.start();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:00]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\n" +
                               bytesOfRecord("50000", "2000"));
}

} // namespace
} // namespace velmora::testing
