// Whole roads of a connection through the main window on virtual time.
#include "EngineFixture.h"

#include "store/UserTariff.h"

namespace velmora::testing {
namespace {

using namespace velmora::ids;

TEST(MonitorEngine, OpensMetersAndLogsAConnection) {
    Engine e; // Wednesday 10:29:59, City
    e.source.up("T-Online", "modem", "192.168.7.2");
    e.run({[&] {
        e.seconds(1); // 10:30:00, first poll
        EXPECT_EQ(e.field(ConnectionName), "T-Online");
        EXPECT_EQ(e.field(DeviceType), "Analoge Verbindung (Modem)");
        EXPECT_EQ(e.field(DeviceName), "/dev/ttyS0");
        EXPECT_EQ(e.field(IpAddress), "192.168.7.2");
        EXPECT_FALSE(e.host.isEnabled(e.main(), TariffList));
        EXPECT_TRUE(e.host.isEnabled(e.main(), WarningList));
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        EXPECT_EQ(e.field(GrandTotal), "0.12");
        EXPECT_EQ(e.field(UnitLength), "90.00 Sekunden Bereich");
        EXPECT_EQ(e.field(TimeOnline), "00:00:00");
        EXPECT_EQ(e.caption(), "0.12 €  /  00:00:00 h");
        e.seconds(89);
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        EXPECT_EQ(e.field(TimeOnline), "00:01:29");
        e.seconds(1); // the unit timer: 90 s after opening
        EXPECT_EQ(e.field(ConnectionCost), "0.24");
        EXPECT_EQ(e.field(GrandTotal), "0.24");
        e.source.down();
        e.seconds(1);
        EXPECT_EQ(e.caption(), "Keine Verbindung");
        EXPECT_EQ(e.field(ConnectionCost), "Keine Verbindung");
        EXPECT_EQ(e.field(IpAddress), "0.0.0.0");
        EXPECT_EQ(e.field(GrandTotal), "0.24");
        EXPECT_TRUE(e.host.isEnabled(e.main(), TariffList));
        e.seconds(300); // idle polls write nothing more
        e.host.pressEscape(e.main());
    }});
    EXPECT_EQ(e.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:31]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n");
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.24");
}

TEST(MonitorEngine, BandChangeChargesAUnitAndRestartsTheUnitClock) {
    Engine e(localEpochMs(2026, 12, 9, 17, 59, 57)); // Wednesday, City
    e.source.up("City");
    e.run({[&] {
        e.seconds(2); // 17:59:59: opened in band 9-18
        EXPECT_EQ(e.field(UnitLength), "90.00 Sekunden Bereich");
        e.seconds(1); // 18:00:00 lies in no band: nothing changes
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        EXPECT_EQ(e.field(UnitLength), "90.00 Sekunden Bereich");
        e.seconds(1); // 18:00:01: band 18-21
        EXPECT_EQ(e.field(ConnectionCost), "0.24");
        EXPECT_EQ(e.field(UnitLength), "150.00 Sekunden Bereich");
        e.seconds(88); // the old 90 s unit would have ended here
        EXPECT_EQ(e.field(ConnectionCost), "0.24");
        e.seconds(150 - 88 - 1);
        EXPECT_EQ(e.field(ConnectionCost), "0.24");
        e.seconds(1); // one full new unit after the change
        EXPECT_EQ(e.field(ConnectionCost), "0.36");
        e.host.pressEscape(e.main());
    }});
}

TEST(MonitorEngine, SameUnitLengthAcrossMidnightIntoTheWeekendChargesNothing) {
    Engine e(localEpochMs(2026, 12, 11, 23, 59, 57)); // Friday
    e.profile.writeInt("Standard", "Tarifzone", Region50);
    e.source.up("Region");
    e.run({[&] {
        e.seconds(1); // 23:59:58, band 21-24 at 60 s
        EXPECT_EQ(e.field(UnitLength), "60.00 Sekunden Bereich");
        e.seconds(3); // Saturday 00:00:01, weekend band 0-5 at 60 s
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        e.seconds(56); // 00:00:57
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        e.seconds(1); // 60 s after arming: the unit timer ran undisturbed
        EXPECT_EQ(e.field(ConnectionCost), "0.24");
        e.host.pressEscape(e.main());
    }});
    EXPECT_NE(e.logText().find("[Von 11.12.2026 23:59:58 bis 12.12.2026 00:00:58]"), std::string::npos);
}

TEST(MonitorEngine, DaylightSavingNightsCountRealSeconds) {
    // Spring: 02:00 CET becomes 03:00 CEST; the hour that does not exist is not online time.
    Engine spring(localEpochMs(2026, 3, 29, 1, 59, 29));
    spring.source.up("Nacht");
    spring.run({[&] {
        spring.seconds(61);
        EXPECT_EQ(spring.field(TimeOnline), "00:01:00");
        EXPECT_EQ(spring.field(UnitLength), "240.00 Sekunden Bereich"); // Sunday, band 0-5
        EXPECT_EQ(spring.field(ConnectionCost), "0.12");
        spring.host.pressEscape(spring.main());
    }});
    EXPECT_NE(spring.logText().find("[Von 29.3.2026 01:59:30 bis 29.3.2026 03:00:30]"), std::string::npos);

    // Autumn: 03:00 CEST falls back to 02:00 CET; the repeated hour is counted once each.
    Engine autumn(localEpochMs(2026, 10, 25, 1, 59, 29) + 3600'000); // 02:59:29 CEST
    autumn.source.up("Nacht");
    autumn.run({[&] {
        autumn.seconds(3600 + 61); // across the repeated hour
        EXPECT_EQ(autumn.field(TimeOnline), "01:01:00");
        EXPECT_EQ(autumn.field(UnitLength), "240.00 Sekunden Bereich");
        autumn.host.pressEscape(autumn.main());
    }});
}

TEST(MonitorEngine, WarningSoundsFromItsThresholdOnEveryPoll) {
    Engine e;
    e.profile.writeInt("Standard", "Warnung", 1); // after 5 minutes
    e.source.up("Lang");
    e.run({[&] {
        e.seconds(1 + 299);
        EXPECT_EQ(e.host.beepCount(), 0);
        e.seconds(1); // 300 s online
        EXPECT_EQ(e.host.beepCount(), 1);
        e.seconds(2);
        EXPECT_EQ(e.host.beepCount(), 3);
        e.selectWarning(2); // after 10 minutes: silent again until then
        e.seconds(10);
        EXPECT_EQ(e.host.beepCount(), 3);
        e.selectWarning(0);
        e.seconds(3600);
        EXPECT_EQ(e.host.beepCount(), 3);
        e.host.pressEscape(e.main());
    }});
}

TEST(MonitorEngine, ProbeStatesFromDiallingToHangingUp) {
    Engine e;
    e.run({[&] {
        e.seconds(1);
        EXPECT_EQ(e.caption(), "Keine Verbindung");
        e.source.dialling("Provider");
        e.seconds(3);
        EXPECT_EQ(e.field(ConnectionName), "Keine Verbindung");
        EXPECT_FALSE(e.dialog().meterState().connected);
        e.source.up("Provider", "isdn", "");
        e.seconds(1);
        EXPECT_EQ(e.field(DeviceType), "Digital Verbindung (ISDN)");
        EXPECT_EQ(e.field(IpAddress), "0.0.0.0"); // no address assigned
        e.source.links[0].deviceType = "Modem";   // case matters
        e.seconds(1);
        EXPECT_EQ(e.field(DeviceType), "Unbekannte Verbindungsart");
        e.source.links[0].connected = false; // hanging up, still listed
        e.seconds(1);
        EXPECT_FALSE(e.dialog().meterState().connected);
        EXPECT_EQ(e.dialog().meterState().unitLengthMs, 0);
        EXPECT_EQ(e.dialog().meterState().cost, Money());
        e.seconds(5);
        e.source.up("Second");
        e.seconds(2);
        e.source.failStatus = true; // a failed status query counts as not connected
        e.seconds(1);
        EXPECT_FALSE(e.dialog().meterState().connected);
        e.source.failStatus = false;
        e.source.down();
        e.seconds(2);
        e.host.pressEscape(e.main());
    }});
    const std::string log = e.logText();
    EXPECT_EQ(std::count(log.begin(), log.end(), '['), 2); // one record per established connection
    EXPECT_NE(log.find("bis 9.12.2026 10:30:06]"), std::string::npos);
}

TEST(MonitorEngine, ConnectionBetweenTwoPollsIsNeverSeen) {
    Engine e;
    e.run({[&] {
        e.host.advance(1200);
        e.source.up("Kurz");
        e.host.advance(500);
        e.source.down();
        e.seconds(3);
        e.host.pressEscape(e.main());
    }});
    EXPECT_EQ(e.logText(), "");
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.00");
}

TEST(MonitorEngine, ResetAnsweredNoChangesNothingAndYesZeroesTheTotalAtOnce) {
    Engine e;
    e.profile.writeString("Standard", "Kosten", "10.00");
    e.source.up("Reset");
    e.run({[&] {
        e.seconds(1 + 270); // 4 units: 0.48
        EXPECT_EQ(e.field(ConnectionCost), "0.48");
        e.host.answerMessageBoxes(IdNo);
        e.host.click(e.main(), CmdReset);
        EXPECT_EQ(e.host.lastMessageBoxText(),
                  "Wollen Sie wirklich alle Aufzeichnungen (zelvar.log) und damit alle Gebühren löschen ?");
        EXPECT_EQ(e.host.lastMessageBoxCaption(), "Löschen...");
        EXPECT_EQ(e.field(GrandTotal), "10.48");

        e.host.answerMessageBoxes(IdYes);
        e.host.whileMessageBoxOpen([&] { e.seconds(90); }); // the meter runs on behind the question
        e.host.click(e.main(), CmdReset);
        EXPECT_EQ(e.field(GrandTotal), "0.00");
        EXPECT_EQ(e.field(ConnectionCost), "0.60");
        // A crash now must not bring the deleted total back.
        EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.00");
        e.seconds(90);
        EXPECT_EQ(e.field(GrandTotal), "0.12");
        e.source.down();
        e.seconds(1);
        e.host.pressEscape(e.main());
    }});
    EXPECT_NE(e.logText().find("Verbindungskosten=0.72\nGesamtkosten bis dato=0.12\n"), std::string::npos);
}

TEST(MonitorEngine, ResetWithoutALogStillZeroesTheTotal) {
    Engine e;
    e.profile.writeString("Standard", "Kosten", "3.50");
    e.run({[&] {
        e.host.answerMessageBoxes(IdYes);
        e.host.click(e.main(), CmdReset);
        EXPECT_EQ(e.field(GrandTotal), "0.00");
        e.host.pressEscape(e.main());
    }});
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.00");
}

TEST(MonitorEngine, EndingDuringAConnectionLogsItOnceAndTwoRunsChargeTheFirstUnitTwice) {
    Engine e;
    e.source.up("Dauer");
    e.run({[&] {
        e.seconds(1 + 100); // 2 units
        e.host.pressEscape(e.main());
    }});
    EXPECT_FALSE(e.host.trayIconPresent(TrayIconId));
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.24");
    e.seconds(5); // the program is not running; the link stays up

    MonitorApp second(e.env); // a new start of the program
    e.host.script({[&] {
        e.seconds(1);
        EXPECT_EQ(e.host.text(second.mainWindow()->window(), ConnectionCost, 20), "0.12");
        EXPECT_EQ(e.host.text(second.mainWindow()->window(), GrandTotal, 20), "0.36");
        e.host.pressEscape(second.mainWindow()->window());
    }});
    second.runMainDialog();
    EXPECT_EQ(e.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:40]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n"
                           "[Von 9.12.2026 10:31:46 bis 9.12.2026 10:31:46]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.36\n");
}

TEST(MonitorEngine, AStaleUnitTimerDoesNotChargeALaterConnection) {
    Engine e;
    e.source.up("Erste");
    e.run({[&] {
        e.seconds(1 + 10); // City at 90 s armed
        e.source.down();
        e.seconds(1);
        e.selectTariff(UserDefined); // no bands stored: no unit length ever in force
        e.source.up("Zweite");
        e.seconds(1);
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        e.seconds(400); // the old 90 s timer keeps running but must not charge
        EXPECT_EQ(e.field(ConnectionCost), "0.12");
        EXPECT_EQ(e.field(UnitLength), "Keine Verbindung");
        EXPECT_EQ(e.caption(), "0.12 €  /  00:06:40 h");
        e.host.pressEscape(e.main());
    }});
}

TEST(MonitorEngine, TimeOnlineSurvivesTheOld32BitTickWrap) {
    Engine e;
    e.clock = VirtualClock(e.clock.epochMs(), 0xFFFFFFFFull - 3500); // 49.7 days of uptime
    e.source.up("Lange Laufzeit");
    e.run({[&] {
        e.seconds(1 + 10);
        EXPECT_EQ(e.field(TimeOnline), "00:00:10");
        e.host.pressEscape(e.main());
    }});
}

TEST(MonitorEngine, UserTariffFeeAndBandsApplyWhileConnected) {
    Engine e;
    UserTariff tariff;
    tariff.unitFee = "0.23";
    tariff.weekdayBands = {{8, 18, "21.5"}};
    saveUserTariff(e.profile, tariff);
    e.profile.writeInt("Standard", "Tarifzone", UserDefined);
    e.source.up("Eigen");
    e.run({[&] {
        e.seconds(1);
        EXPECT_EQ(e.field(UnitLength), "21.50 Sekunden Bereich");
        e.seconds(22); // 21.5 s later, plus the poll that shows it
        EXPECT_EQ(e.field(ConnectionCost), "0.46");
        // A tariff saved meanwhile applies at the next poll: a new unit length charges at once.
        e.profile.writeString("W-0", "Takt", "60");
        e.seconds(1);
        EXPECT_EQ(e.field(UnitLength), "60.00 Sekunden Bereich");
        EXPECT_EQ(e.field(ConnectionCost), "0.69");
        e.profile.writeString("Cost-Editor", "Gebuehr", "0,23"); // decimal comma reads as 0
        e.seconds(60);
        EXPECT_EQ(e.field(ConnectionCost), "0.69");
        e.host.pressEscape(e.main());
    }});
}

TEST(MonitorEngine, AnotherLinkTakingFirstPlaceBetweenTwoPollsIsANewConnection) {
    Engine e;
    e.source.links = {ScriptedLink{"Erste", true, "modem", "/dev/ttyS0", "10.0.0.1"},
                      ScriptedLink{"Zweite", false, "isdn", "/dev/ttyI0", ""}};
    e.run({[&] {
        e.seconds(1);  // 10:30:00: the first link opens
        e.seconds(95); // 10:31:35, two units
        EXPECT_EQ(e.field(ConnectionCost), "0.24");
        e.host.show(e.main(), ShowMode::Minimized);
        // Between two polls the first link drops and the second comes up.
        e.source.links.erase(e.source.links.begin());
        e.source.links[0].connected = true;
        e.source.links[0].address = "10.0.0.2";
        e.seconds(1); // 10:31:36
        EXPECT_EQ(e.field(ConnectionName), "Zweite");
        EXPECT_EQ(e.field(DeviceType), "Digital Verbindung (ISDN)");
        EXPECT_EQ(e.field(IpAddress), "10.0.0.2");
        EXPECT_EQ(e.field(ConnectionCost), "0.12") << "the new connection's first unit, charged at once";
        EXPECT_EQ(e.field(GrandTotal), "0.36");
        EXPECT_EQ(e.field(TimeOnline), "00:00:00");
        EXPECT_TRUE(e.host.isMinimized(e.main())) << "back from the tray as a task-bar button";
        e.source.links[0].entryName = "Zweite umbenannt"; // same link, same handle: no new connection
        e.seconds(10);
        EXPECT_EQ(e.field(TimeOnline), "00:00:10");
        e.host.pressEscape(e.main());
    }});
    EXPECT_EQ(e.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:36]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n"
                           "[Von 9.12.2026 10:31:36 bis 9.12.2026 10:31:46]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.36\n");
}

} // namespace
} // namespace velmora::testing
