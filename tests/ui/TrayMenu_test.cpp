// The notification-area icon's menu: bring the window back, open the history
// and the settings, start at login, end the program.
#include <QDir>
#include <QFile>

#include "EngineFixture.h"

namespace velmora::testing {
namespace {

using namespace velmora::ids;

// The entries in the order the menu shows them.
enum { Show = 0, History = 1, Settings = 2, Autostart = 3, Quit = 4 };

std::vector<std::string> texts(const std::vector<TrayMenuItem>& items) {
    std::vector<std::string> result;
    for (const TrayMenuItem& item : items) result.push_back(item.text);
    return result;
}

TEST(TrayMenu, OffersFiveEntriesAndItsCheckMarkIsTheEntryOnDisk) {
    Engine e;
    e.run({[&] {
        std::vector<TrayMenuItem> menu = e.host.openTrayMenu(TrayIconId);
        ASSERT_EQ(texts(menu), (std::vector<std::string>{"Anzeigen", "Verlauf...", "Einstellungen...",
                                                         "Beim Anmelden starten", "Beenden"}));
        EXPECT_TRUE(menu[Autostart].checkable);
        EXPECT_FALSE(menu[Autostart].checked);
        EXPECT_TRUE(menu[Quit].enabled);

        e.host.chooseTrayMenuItem(TrayIconId, menu[Autostart].id);
        EXPECT_TRUE(e.autostart.exists());
        EXPECT_EQ(readFile(e.autostart.path()), e.autostart.text());
        EXPECT_TRUE(e.host.openTrayMenu(TrayIconId)[Autostart].checked);

        ASSERT_TRUE(QFile::remove(QString::fromStdString(e.autostart.path()))); // removed by hand
        EXPECT_FALSE(e.host.openTrayMenu(TrayIconId)[Autostart].checked);
        e.host.chooseTrayMenuItem(TrayIconId, menu[Autostart].id);
        EXPECT_TRUE(e.autostart.exists());
        e.host.chooseTrayMenuItem(TrayIconId, menu[Autostart].id);
        EXPECT_FALSE(e.autostart.exists());
        EXPECT_FALSE(e.host.openTrayMenu(TrayIconId)[Autostart].checked);
        EXPECT_EQ(e.host.beepCount(), 0);
        e.host.pressEscape(e.main());
    }});
}

TEST(TrayMenu, AnAutostartEntryThatCannotBeWrittenBeepsAndStaysUnchecked) {
    Engine e;
    // A file where the autostart folder's parent should be.
    QFile blocker(e.dir.filePath("config"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    e.run({[&] {
        const int autostart = e.host.openTrayMenu(TrayIconId)[Autostart].id;
        e.host.chooseTrayMenuItem(TrayIconId, autostart);
        EXPECT_EQ(e.host.beepCount(), 1);
        EXPECT_FALSE(e.autostart.exists());
        EXPECT_FALSE(e.host.openTrayMenu(TrayIconId)[Autostart].checked);
        e.host.pressEscape(e.main());
    }});
}

TEST(TrayMenu, AnzeigenBringsTheWindowBackAsTheLeftClickDoesAndVerlaufOpensTheHistory) {
    Engine e;
    e.run({[&] {
        const std::vector<TrayMenuItem> menu = e.host.openTrayMenu(TrayIconId);
        e.host.pressEnter(e.main()); // not connected: hidden into the tray
        ASSERT_TRUE(e.dialog().hiddenInTray());
        const int centred = e.host.centredCount(e.main());
        e.host.systemShow(e.main());
        EXPECT_FALSE(e.host.isVisible(e.main())) << "the guard still holds";

        e.host.chooseTrayMenuItem(TrayIconId, menu[Show].id);
        EXPECT_FALSE(e.dialog().hiddenInTray());
        EXPECT_EQ(e.host.showMode(e.main()), ShowMode::Normal);
        EXPECT_EQ(e.host.centredCount(e.main()), centred + 1);
        EXPECT_EQ(e.host.foregroundWindow(), e.main());

        e.host.chooseTrayMenuItem(TrayIconId, menu[History].id);
        EXPECT_EQ(e.history.opened, 1);
        e.host.pressEnter(e.main());
        e.host.chooseTrayMenuItem(TrayIconId, menu[History].id);
        EXPECT_EQ(e.history.opened, 2);
        EXPECT_TRUE(e.dialog().hiddenInTray()) << "the history opens apart from the main window";
        e.host.trayMouse(TrayIconId, MouseRightDown); // the right button itself still does nothing else
        EXPECT_TRUE(e.dialog().hiddenInTray());
        e.host.pressEscape(e.main());
    }});
}

TEST(TrayMenu, EinstellungenOpensTheSettingsWindowWhoseSavingTheMeterTakesAtOnce) {
    Engine e;
    e.source.up("T-Online");
    e.run({[&] {
        e.seconds(2); // the first unit: 0.12
        e.host.chooseTrayMenuItem(TrayIconId, e.host.openTrayMenu(TrayIconId)[Settings].id);
        EXPECT_EQ(e.settings.opened, 1);
        ASSERT_TRUE(e.profile.writeStrings("Budget", {{"Monat", "0.10"}})); // as the window writes it
        e.seconds(1);
        EXPECT_TRUE(e.notifier.shown.empty()) << "a hand edit would take a few seconds";
        e.settings.saved();
        e.seconds(1);
        ASSERT_EQ(e.notifier.shown.size(), 1u);
        EXPECT_EQ(e.notifier.shown[0].rfind("Monatsbudget überschritten\n", 0), 0u);
        e.host.pressEscape(e.main());
    }});
}

TEST(TrayMenu, BeendenEndsAsEscapeDoesLoggingTheRunningConnection) {
    Engine e;
    e.source.up("T-Online");
    e.run({[&] {
        e.seconds(1 + 90);
        e.host.chooseTrayMenuItem(TrayIconId, e.host.openTrayMenu(TrayIconId)[Quit].id);
    }});
    EXPECT_FALSE(e.host.scriptRanOut());
    EXPECT_FALSE(e.host.trayIconPresent(TrayIconId));
    EXPECT_NE(e.logText().find("Verbindungskosten=0.24"), std::string::npos) << e.logText();
    EXPECT_NE(e.profileText().find("Kosten=0.24"), std::string::npos) << e.profileText();
}

TEST(TrayMenu, BeendenWaitsWhileADialogOfTheWindowIsOpen) {
    Engine e;
    int quit = 0;
    e.run({[&] {
               quit = e.host.openTrayMenu(TrayIconId)[Quit].id;
               e.host.click(e.main(), CmdCostEditor);
           },
           [&] {
               EXPECT_FALSE(e.host.openTrayMenu(TrayIconId)[Quit].enabled);
               e.host.chooseTrayMenuItem(TrayIconId, quit);
               e.host.pressEscape(e.host.topWindow()); // the Cost-Editor
           },
           [&] {
               EXPECT_TRUE(e.host.openTrayMenu(TrayIconId)[Quit].enabled) << "the editor has gone";
               EXPECT_TRUE(e.host.windowExists(e.main()));
               e.host.answerMessageBoxes(IdNo);
               e.host.whileMessageBoxOpen([&] {
                   EXPECT_FALSE(e.host.openTrayMenu(TrayIconId)[Quit].enabled);
                   e.host.chooseTrayMenuItem(TrayIconId, quit);
               });
               e.host.click(e.main(), CmdReset);
               EXPECT_TRUE(e.host.windowExists(e.main()));
               e.host.chooseTrayMenuItem(TrayIconId, quit);
           }});
    EXPECT_FALSE(e.host.scriptRanOut());
}

TEST(TrayMenu, OffersOnlyWhatTheProgramHas) {
    Engine e;
    MonitorEnvironment bare{e.host, e.clock, e.source, e.facts, e.profile, e.log};
    MonitorApp app(bare);
    e.host.script({[&] {
        EXPECT_EQ(texts(e.host.openTrayMenu(TrayIconId)), (std::vector<std::string>{"Anzeigen", "Beenden"}));
        e.host.pressEscape(app.mainWindow()->window());
    }});
    app.runMainDialog();
}

} // namespace
} // namespace velmora::testing
