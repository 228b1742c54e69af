// Signals from outside end the program on real widgets (offscreen) as Escape
// does: the whole program with a scripted link on virtual time, signalled by
// itself through kill(2) while its main window runs.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/MonitorApp.h"
#include "monitor/ScriptedSource.h"
#include "qthost/QtHost.h"
#include "qthost/SignalBridge.h"
#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"
#include "ui/ControlIds.h"

namespace velmora::signaltest {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> logSections(const std::string& text) {
    static const std::regex section(R"(^\[([^\]\r\n]*)\])", std::regex::multiline);
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), section); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

void sendOwnProcess(int signal) { ASSERT_EQ(::kill(::getpid(), signal), 0); }

// Runs the event loop until done() or two seconds have passed.
bool processEventsUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The program as main() builds it, on a virtual clock and a scripted link,
// its files in a temporary directory.
class Program {
public:
    Program()
        : clock(epochSecondsAt(2026, 12, 9, 10, 30, 0) * 1000, 7'000'000)
        , profile(dir.filePath("velmora.INI").toStdString())
        , log(dir.filePath("zelvar.log").toStdString())
        , app({host, clock, source, facts, profile, log})
        , bridge({SIGTERM, SIGINT, SIGHUP}, [this](int) { endAsEscape(); })
        , quitRequests([this] { endAsEscape(); }) {
        host.setTrayAvailability([] { return true; });
        profile.writeString("Standard", "Kosten", "10.00");
    }

    // Runs the program with `during` as its first event; true when something
    // other than the watchdog (which, after five seconds, closes every question
    // box and run) ended it.
    bool run(std::function<void()> during) {
        QTimer::singleShot(0, [&during] { during(); });
        bool watchdogFired = false;
        QTimer watchdog;
        watchdog.setInterval(5000);
        QObject::connect(&watchdog, &QTimer::timeout, [this, &watchdogFired, &watchdog] {
            watchdogFired = true;
            watchdog.setInterval(50);
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(widget)) box->reject();
            host.endDialog(host.innermostRun(), IdCancel);
        });
        watchdog.start();
        app.runMainDialog();
        return !watchdogFired;
    }

    // What the program's entry wires to both bridges.
    void endAsEscape() {
        if (MonitorDialog* main = app.mainWindow()) endMainRun(host, main->window(), *main);
    }
    MonitorDialog& main() { return *app.mainWindow(); }
    std::string field(int id) { return host.text(main().window(), id, 255); }
    void poll() { main().onTimer(ids::PollTimer); }
    // A connection comes up and runs for a minute and a half.
    void connectFor90Seconds() {
        source.up("T-Online", "isdn", "10.64.0.2");
        poll();
        clock.advance(90'000);
        poll();
    }
    std::string kosten() const { return profile.readString("Standard", "Kosten", "missing"); }
    std::string logText() const { return readFile(log.path()); }

    QTemporaryDir dir;
    VirtualClock clock;
    QtHost host;
    ScriptedSource source;
    FixedSystemFacts facts;
    SettingsProfile profile;
    ConnectionLog log;
    MonitorApp app;
    SignalBridge bridge;
    QuitRequestBridge quitRequests;
};

// ---- the bridge itself ----------------------------------------------------------------------

TEST(SignalBridgeTest, EachSignalReachesTheReceiverOnTheUiThread) {
    std::vector<int> received;
    bool onUiThread = true;
    SignalBridge bridge({SIGINT, SIGHUP}, [&](int signal) {
        received.push_back(signal);
        onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
    });
    ASSERT_TRUE(bridge.active());
    sendOwnProcess(SIGHUP);
    sendOwnProcess(SIGINT);
    EXPECT_TRUE(received.empty()) << "the handler itself must not call into the program";
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGINT}));
    EXPECT_TRUE(onUiThread);
}

// nohup and background jobs rely on this: the program must not start reacting
// to a signal its starter told it to ignore, nor leave its handler behind.
TEST(SignalBridgeTest, KeepsIgnoredSignalsIgnoredAndRestoresThePreviousHandlers) {
    ASSERT_NE(::signal(SIGHUP, SIG_IGN), SIG_ERR);
    {
        SignalBridge bridge({SIGTERM, SIGHUP}, [](int) {});
        EXPECT_EQ(bridge.caughtSignals(), std::vector<int>{SIGTERM});
        struct sigaction current {};
        ::sigaction(SIGHUP, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_IGN);
        ::sigaction(SIGTERM, nullptr, &current);
        EXPECT_NE(current.sa_handler, SIG_DFL);

        SignalBridge second({SIGTERM}, [](int) {});
        EXPECT_FALSE(second.active()) << "two bridges would fight over one handler";
        EXPECT_TRUE(bridge.active());
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
}

// ---- the whole program ---------------------------------------------------------------------

class EndingSignal : public ::testing::TestWithParam<int> {};

TEST_P(EndingSignal, LogsTheRunningConnectionSavesTheTotalAndRemovesTheIcon) {
    Program program;
    std::string shownCost, shownTotal;
    const bool endedBySignal = program.run([&] {
        program.connectFor90Seconds();
        ASSERT_TRUE(program.main().meterState().connected);
        ASSERT_NE(program.host.trayIcon(ids::TrayIconId), nullptr);
        shownCost = program.field(ids::ConnectionCost);
        shownTotal = program.field(ids::GrandTotal);
        sendOwnProcess(GetParam());
    });
    ASSERT_TRUE(endedBySignal);
    EXPECT_EQ(logSections(program.logText()),
              std::vector<std::string>{"Von 9.12.2026 10:30:00 bis 9.12.2026 10:31:30"});
    EXPECT_NE(program.logText().find("Verbindungskosten=" + shownCost + "\n"), std::string::npos);
    EXPECT_NE(program.logText().find("Gesamtkosten bis dato=" + shownTotal + "\n"), std::string::npos);
    EXPECT_GE(std::stod(shownCost), 0.12);
    EXPECT_EQ(program.kosten(), shownTotal);
    EXPECT_NE(shownTotal, "10.00");
    EXPECT_EQ(program.host.trayIcon(ids::TrayIconId), nullptr);
}

// The session manager's end of an X11 session is a quit request. Qt alone
// would close only visible windows: one hidden in the notification area
// would keep the program running.
TEST(QuitRequestTest, EndsTheProgramHiddenInTheNotificationAreaAsEscapeDoes) {
    // Installed first, so asked last: a request that reaches it would have
    // reached Qt, whose exit leaves every later event loop at once, and the
    // test would spin instead of failing.
    struct LastResort : QObject {
        bool reached = false;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() != QEvent::Quit) return false;
            reached = true;
            return true;
        }
    } lastResort;
    qApp->installEventFilter(&lastResort);
    Program program;
    ASSERT_TRUE(program.run([&] {
        program.poll();
        program.main().onCommand(IdOk); // not connected: hides into the notification area
        ASSERT_FALSE(program.host.isVisible(program.main().window()));
        program.host.setCurSel(program.main().window(), ids::WarningList, 2);
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
    }));
    EXPECT_FALSE(lastResort.reached);
    EXPECT_EQ(program.profile.readInt("Standard", "Warnung", -1), 2);
    EXPECT_EQ(program.host.trayIcon(ids::TrayIconId), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST(SignalEndTest, WithoutAConnectionNothingIsLoggedButTheSettingsAreSaved) {
    Program program;
    ASSERT_TRUE(program.run([&] {
        program.poll();
        program.host.setCurSel(program.main().window(), ids::WarningList, 3);
        sendOwnProcess(SIGTERM);
    }));
    EXPECT_EQ(program.logText(), "");
    EXPECT_EQ(program.kosten(), "10.00");
    EXPECT_EQ(program.profile.readInt("Standard", "Warnung", -1), 3) << "the choice of the moment is saved";
}

// A dialog open above the main window closes first, as its close box would;
// the main window then ends as usual.
class DialogAbove : public ::testing::TestWithParam<int> {};

TEST_P(DialogAbove, ClosesAndTheMainWindowStillEnds) {
    Program program;
    bool signalled = false;
    program.host.onRunsChanged([&] {
        if (program.host.runDepth() == 2 && !signalled) {
            signalled = true;
            sendOwnProcess(SIGTERM);
        }
    });
    ASSERT_TRUE(program.run([&] {
        program.connectFor90Seconds();
        program.main().onCommand(GetParam()); // returns once the dialog is closed
    }));
    EXPECT_TRUE(signalled);
    EXPECT_EQ(logSections(program.logText()).size(), 1u);
    EXPECT_NE(program.kosten(), "10.00");
    EXPECT_EQ(program.profile.readString("Cost-Editor", "AnzahlWochentag", "none"), "none")
        << "a dialog closed by a signal saves nothing";
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogAbove, ::testing::Values(ids::CmdCostEditor, ids::CmdAbout),
                         [](const auto& info) { return info.param == ids::CmdAbout ? "About" : "CostEditor"; });

TEST(SignalEndTest, AnOpenResetQuestionIsAnsweredNoSoTheLogSurvives) {
    Program program;
    program.log.write({localTimeOf(epochSecondsAt(2026, 12, 8, 9, 0, 0)),
                       localTimeOf(epochSecondsAt(2026, 12, 8, 9, 5, 0)), "0.48", "10.00"});
    int questions = 0;
    program.host.onMessageBoxShown([&](QMessageBox&, WindowId) {
        ++questions;
        sendOwnProcess(SIGTERM);
    });
    ASSERT_TRUE(program.run([&] {
        program.connectFor90Seconds();
        program.main().onCommand(ids::CmdReset);
    }));
    EXPECT_EQ(questions, 1);
    const auto sections = logSections(program.logText());
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0], "Von 8.12.2026 09:00:00 bis 8.12.2026 09:05:00");
    EXPECT_NE(program.kosten(), "0.00");
    EXPECT_NE(program.kosten(), "10.00");
}

} // namespace
} // namespace velmora::signaltest

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
