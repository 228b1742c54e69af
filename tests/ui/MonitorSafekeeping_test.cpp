// Money records through faults: a file that cannot be written, a crash in
// the middle of a connection, a reset while records are held back.
#include "EngineFixture.h"
#include "support/OtherUser.h"
#include "support/PrivateTmpfs.h"

#include <sys/stat.h>

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>

namespace velmora::testing {
namespace {

using namespace velmora::ids;

// A folder where the file should be: every write of that file fails.
void block(const std::string& path) { ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path))); }
void unblock(const std::string& path) { ASSERT_TRUE(QDir(QString::fromStdString(path)).removeRecursively()); }

void connectFor(Engine& e, unsigned seconds) {
    e.source.up("T-Online");
    e.seconds(seconds);
    e.source.down();
    e.seconds(1);
}

// Once a failed write was silent and the record lost for good.
TEST(MonitorSafekeeping, AnUnwritableLogIsToldOnceAndItsRecordsLandLaterInOrder) {
    Engine e; // City, 90 s units
    block(e.log.path());
    e.run({[&] {
        connectFor(e, 1 + 90); // 0.24
        ASSERT_EQ(e.host.trayMessages().size(), 1u);
        const TrayMessage told = e.host.trayMessages()[0];
        EXPECT_EQ(told.iconId, TrayIconId);
        EXPECT_EQ(told.title, "Verbindung nicht aufgezeichnet");
        EXPECT_EQ(told.text.rfind(e.log.path() + ": ", 0), 0u) << told.text;
        EXPECT_EQ(e.field(GrandTotal), "0.24");
        EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.24");
        connectFor(e, 1); // 0.12 more, held back behind the first
        e.seconds(30);
        EXPECT_EQ(e.host.trayMessages().size(), 1u);
        EXPECT_EQ(e.field(GrandTotal), "0.36");
        unblock(e.log.path());
        e.seconds(1);
        ASSERT_EQ(e.host.trayMessages().size(), 2u);
        EXPECT_EQ(e.host.trayMessages()[1].title, "Verbindung aufgezeichnet");
        e.host.pressEscape(e.main());
    }});
    EXPECT_EQ(e.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:31]\n"
                           "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n"
                           "[Von 9.12.2026 10:31:32 bis 9.12.2026 10:31:33]\n"
                           "Verbindungskosten=0.12\nGesamtkosten bis dato=0.36\n");
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.36");
}

TEST(MonitorSafekeeping, WithoutANotificationAreaTheUserIsToldOnStderr) {
    Engine e;
    e.host.setTrayArea(false);
    block(e.profile.path());
    ::testing::internal::CaptureStderr();
    e.run({[&] {
        connectFor(e, 1);
        e.seconds(5);
        e.host.pressEscape(e.main());
    }});
    const std::string told = ::testing::internal::GetCapturedStderr();
    // One line: the file, the store's reason, what happens now.
    const std::string head = "velmora: Gesamtkosten nicht gespeichert: " + e.profile.path() + ": ";
    const std::string tail = ". Velmora behält sie und versucht es jede Sekunde wieder.\n";
    EXPECT_EQ(told.rfind(head, 0), 0u) << told;
    ASSERT_GT(told.size(), head.size() + tail.size());
    EXPECT_EQ(told.substr(told.size() - tail.size()), tail);
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1);
    EXPECT_TRUE(e.host.trayMessages().empty());
}

// The total that could not be written at the end of a run is the one the next run shows.
TEST(MonitorSafekeeping, ATotalHeldBackAtTheEndIsTheNextRunsTotal) {
    Engine e;
    block(e.profile.path());
    e.run({[&] {
        connectFor(e, 1 + 90);
        e.host.pressEscape(e.main());
    }});
    MonitorApp next(e.env);
    e.host.script({[&] {
        EXPECT_EQ(e.host.text(next.mainWindow()->window(), GrandTotal, 20), "0.24");
        unblock(e.profile.path());
        e.seconds(1);
        EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.24");
        e.host.pressEscape(next.mainWindow()->window());
    }});
    next.runMainDialog();
}

// Once a crash lost the whole connection: its record and its share of the total.
TEST(MonitorSafekeeping, ACrashInTheMiddleOfAConnectionLosesAtMostAMinute) {
    Engine e; // Wednesday 10:29:59, City: a unit every 90 s
    e.profile.writeString("Standard", "Kosten", "10.00");
    e.source.up("T-Online");
    const pid_t child = ::fork();
    if (child == 0) {
        e.run({[&] {
            e.seconds(1 + 620);                                 // 10:40:20, seven units charged, the last at 10:39:00
            ::_exit(e.field(ConnectionCost) == "0.84" ? 0 : 1); // killed: no end, no save
        }});
        ::_exit(2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    e.clock.advance(5 * 60 * 1000);
    e.source.down();
    e.run({[&] {
        EXPECT_EQ(e.field(GrandTotal), "10.84");
        e.host.pressEscape(e.main());
    }});
    // The last checkpoint was at 10:40:00, a minute after the last unit.
    EXPECT_EQ(e.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:40:00]\n"
                           "Verbindungskosten=0.84\nGesamtkosten bis dato=10.84\n");
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "10.84");
    // Emptied in place, kept for the next run.
    const JournalReading left = readJournalAt(journalPathBeside(e.log.path()));
    ASSERT_EQ(left.found, JournalReading::Found::State);
    EXPECT_TRUE(parseJournalText(left.state)->empty());
}

// The user deleted the log: a record held back must not come back later.
TEST(MonitorSafekeeping, AResetAnsweredYesDropsRecordsHeldBack) {
    Engine e;
    block(e.log.path());
    e.run({[&] {
        connectFor(e, 1 + 90);
        e.host.answerMessageBoxes(IdYes);
        e.host.click(e.main(), CmdReset);
        EXPECT_EQ(e.field(GrandTotal), "0.00");
        unblock(e.log.path());
        e.seconds(5);
        e.host.pressEscape(e.main());
    }});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(e.log.path())));
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "0.00");
    MonitorApp next(e.env);
    e.host.script({[&] {
        e.seconds(2);
        e.host.pressEscape(next.mainWindow()->window());
    }});
    next.runMainDialog();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(e.log.path())));
}

// A start that could not make sure it is the only meter: the window shows
// the stored total but meters nothing and writes nothing, and says why.
TEST(MonitorSafekeeping, AWindowWithoutAMeterMetersAndWritesNothing) {
    Engine e;
    e.profile.writeString("Standard", "Kosten", "10.00");
    const std::string profileBefore = e.profileText();
    MonitorEnvironment env = e.env;
    env.withoutMeter = "velmora.lock: keine Berechtigung";
    MonitorApp app(env);
    e.source.up("T-Online");
    e.host.script({[&] {
        const WindowId main = app.mainWindow()->window();
        EXPECT_EQ(e.host.text(main, GrandTotal, 20), "10.00");
        EXPECT_EQ(e.host.caption(main), "Velmora misst nicht");
        EXPECT_FALSE(e.host.isEnabled(main, CmdReset));
        ASSERT_EQ(e.host.trayMessages().size(), 1u);
        EXPECT_EQ(e.host.trayMessages()[0].title, "Velmora misst nicht");
        EXPECT_EQ(e.host.trayMessages()[0].text, "velmora.lock: keine Berechtigung");
        e.seconds(200);
        EXPECT_EQ(e.host.text(main, ConnectionCost, 20), kNoConnection);
        e.host.pressEscape(main);
    }});
    app.runMainDialog();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(e.log.path())));
    EXPECT_EQ(e.profileText(), profileBefore);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(journalPathBeside(e.log.path()))));
}

// The first run ever on a disk with no room: at the end nothing can keep the
// money, so the program says what it could not save before it ends.
TEST(MonitorSafekeeping, AnEndWithNothingWritableSaysWhatWasNotSaved) {
    Engine e;
    const std::string folder = e.dir.path().toStdString();
    const ChildOutcome outcome = runInPrivateMountNamespace([&](std::string& report) {
        if ((report = mountTmpfs(folder, std::size_t{128} * 1024)) != "") return kCannotRunHere;
        if ((report = fillLeaving(folder, 0)) != "") return 1;
        ::testing::internal::CaptureStderr();
        e.run({[&] {
            connectFor(e, 1 + 90); // 0.24
            e.host.pressEscape(e.main());
        }});
        const std::string said = ::testing::internal::GetCapturedStderr();
        report = e.host.lastMessageBoxCaption() + "|" + e.host.lastMessageBoxText() + "|" + said;
        const std::string lost = "die Verbindung von 9.12.2026 10:30:00 bis 9.12.2026 10:31:31 (0.24); "
                                 "die Gesamtkosten 0.24.";
        if (e.host.lastMessageBoxCaption() != "Kosten nicht gespeichert") return 2;
        if (e.host.lastMessageBoxText().find(lost) == std::string::npos) return 3;
        return said.find("velmora: Kosten nicht gespeichert: ") != std::string::npos ? 0 : 4;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

// A settings file that is there but cannot be read: the total field shows no
// number (a 0.00 would pass for a known total), and the Cost-Editor stays
// shut (it would start from an empty tariff and, saved, replace the stored one).
TEST(MonitorSafekeeping, AnUnreadableSettingsFileShowsNoTotalAndKeepsTheCostEditorShut) {
    Engine e;
    const std::string stored = "[Standard]\nKosten=125.40\n[Cost-Editor]\nAnzahlWochentag=1\n[W-0]\nAnfang=0\nEnde=24\n"
                               "Takt=60\n";
    ASSERT_TRUE(giveTo(e.dir.path().toStdString(), kOtherUid));
    std::ofstream(e.profile.path()) << stored;
    ASSERT_EQ(::chown(e.profile.path().c_str(), kOtherUid, kOtherUid), 0);
    ASSERT_EQ(::chmod(e.profile.path().c_str(), 0), 0);
    const ChildOutcome outcome = runAsOtherUser([&](std::string& report) {
        e.run({[&] {
            EXPECT_EQ(e.field(GrandTotal), "unbekannt");
            e.host.click(e.main(), CmdCostEditor);
            report = e.host.lastMessageBoxCaption() + "|" + e.host.lastMessageBoxText();
            EXPECT_EQ(::chmod(e.profile.path().c_str(), 0600), 0);
            e.seconds(1);
            EXPECT_EQ(e.field(GrandTotal), "125.40");
            e.host.pressEscape(e.main());
        }});
        return ::testing::Test::HasFailure() ? 1 : 0;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_EQ(outcome.output, "Cost-Editor|Der eigene Tarif kann nicht gelesen werden.\n\n" + e.profile.path() +
                                  ": die Datei kann nicht gelesen werden: keine Leseberechtigung\n\nDer Cost-Editor "
                                  "öffnet sich wieder, sobald die Datei lesbar ist.");
    EXPECT_EQ(e.profileText(), "[Standard]\nKosten=125.40\nTarifzone=0\nWarnung=0\n[Cost-Editor]\nAnzahlWochentag=1\n"
                               "[W-0]\nAnfang=0\nEnde=24\nTakt=60\n");
}

// A float kept only seven digits: 1234567.89 came back as 1234567.88.
TEST(MonitorSafekeeping, ALargeStoredTotalKeepsItsCents) {
    Engine e;
    e.profile.writeString("Standard", "Kosten", "1234567.89");
    e.source.up("T-Online");
    e.run({[&] {
        EXPECT_EQ(e.field(GrandTotal), "1234567.89");
        e.seconds(1); // the connection's first unit
        EXPECT_EQ(e.field(GrandTotal), "1234568.01");
        e.host.pressEscape(e.main());
    }});
    EXPECT_EQ(e.profile.readString("Standard", "Kosten", ""), "1234568.01");
}

// What a second start of the program asks of the running one.
TEST(MonitorSafekeeping, ASecondStartBringsTheWindowForwardAsTheTrayIconDoes) {
    Engine e;
    e.run({[&] {
        e.host.pressEnter(e.main()); // no connection: hidden into the notification area
        EXPECT_EQ(e.host.showMode(e.main()), ShowMode::Hidden);
        e.app.bringMainWindowForward();
        EXPECT_EQ(e.host.showMode(e.main()), ShowMode::Normal);
        EXPECT_EQ(e.host.foregroundWindow(), e.main());
        EXPECT_FALSE(e.dialog().hiddenInTray());
        e.host.pressEscape(e.main());
    }});
    e.app.bringMainWindowForward(); // no window any more: nothing happens
}

} // namespace
} // namespace velmora::testing
