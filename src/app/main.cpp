// The program: without options the main window on Qt, watching this machine's
// dial-up links; with options a command that prints and ends (app/CommandLine.h).
#include <malloc.h>

#include <csignal>
#include <iostream>

#include <QApplication>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/Display.h"
#include "app/HistoryWindowViewer.h"
#include "app/MonitorApp.h"
#include "instance/SingleInstance.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/LinuxSystemFacts.h"
#include "platform/Version.h"
#include "qthost/QtHost.h"
#include "qthost/SignalBridge.h"
#include "store/DataPaths.h"
#include "store/ProfileFile.h"

namespace {

constexpr int kTrimAfterStartMs = 2000;

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

std::string logPath() { return velmora::dataDirectory() + "/" + velmora::kLogFileName; }

// --help, --version, --report, --csv and mistakes: no display, no window.
int runCommand(int argc, char* argv[], const velmora::Invocation& invocation) {
    QCoreApplication application(argc, argv);
    const velmora::LinuxSystemFacts facts;
    const velmora::CommandInputs inputs{logPath(), facts.currencySymbol().value_or("$")};
    return velmora::runCommand(invocation, inputs, std::cout, std::cerr);
}

// The main window, from start to end.
int runMonitor(int argc, char* argv[]) {
    if (const auto missing = velmora::missingDisplay(argc, argv)) {
        std::cerr << *missing << "\n";
        return velmora::kExitFailed;
    }
    std::optional<velmora::DisplayOpening> opening(std::in_place);
    QApplication application(argc, argv);
    opening.reset();
    velmora::setApplicationIdentity(velmora::kProductName, velmora::kAppId);
    // The window lives on hidden in the notification area.
    QApplication::setQuitOnLastWindowClosed(false);
    velmora::installGermanTranslation(application);

    const std::string directory = velmora::dataDirectory();
    // One meter per data folder: a second start brings the running window forward and ends.
    velmora::SingleInstance instance(directory);
    const velmora::SingleInstance::Claim claim = instance.claim();
    if (claim == velmora::SingleInstance::Claim::SecondStart) return velmora::kExitOk;
    const bool metering = claim == velmora::SingleInstance::Claim::Meter;
    if (metering && !instance.unreachableReason().empty())
        std::cerr << "velmora: ein zweiter Start erreicht dieses Velmora nicht: " << instance.unreachableReason()
                  << "\n";
    // What writers killed earlier left behind; only the meter may judge that.
    if (metering) velmora::profile_file::removeOrphanTemps(directory);
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    velmora::SettingsProfile profile(directory + "/" + velmora::profileFileName(executable));
    velmora::ConnectionLog log(logPath());
    const velmora::AutostartEntry autostart(velmora::AutostartEntry::defaultPath(), executable);

    velmora::QtHost host;
    velmora::SystemClock clock;
    velmora::LinuxSystemFacts facts;
    auto source = velmora::LinuxConnectionSource::forThisMachine();

    velmora::HistoryWindowViewer history({velmora::historyProgramPath(QCoreApplication::applicationDirPath()),
                                          {"--protokoll", QString::fromStdString(logPath()), "--waehrung",
                                           QString::fromStdString(facts.currencySymbol().value_or("$"))}});

    // Without the lock and without an answer the window shows but does not meter.
    velmora::MonitorApp app(
        {host, clock, *source, facts, profile, log, &history, &autostart, metering ? "" : instance.undecidedReason()});
    instance.onComeForward([&app] { app.bringMainWindowForward(); });
    // `kill`, the session's end, Ctrl+C and a closed terminal end the program
    // as Escape does: a running connection is logged, the settings are saved.
    const auto endAsEscape = [&host, &app] {
        if (velmora::MonitorDialog* main = app.mainWindow()) velmora::endMainRun(host, main->window(), *main);
    };
    velmora::SignalBridge signalsFromOutside({SIGTERM, SIGINT, SIGHUP}, [&endAsEscape](int) { endAsEscape(); });
    velmora::QuitRequestBridge quitRequests(endAsEscape);
    // Start-up leaves freed memory inside the heap (font configuration,
    // the first reads); the meter idles for hours, so it goes back to the system.
    QTimer::singleShot(kTrimAfterStartMs, [] { malloc_trim(0); });
    app.runMainDialog();
    return velmora::kExitOk;
}

} // namespace

int main(int argc, char* argv[]) {
    const velmora::Invocation invocation = velmora::parseCommandLine(argumentsOf(argc, argv));
    if (invocation.command != velmora::Command::Monitor) return runCommand(argc, argv, invocation);
    return runMonitor(argc, argv);
}
