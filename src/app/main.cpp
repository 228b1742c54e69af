// The program: the main window on Qt, watching this machine's dial-up links.
#include <csignal>

#include <QApplication>

#include "app/MonitorApp.h"
#include "instance/SingleInstance.h"
#include "qthost/QtHost.h"
#include "qthost/SignalBridge.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/LinuxSystemFacts.h"
#include "store/DataPaths.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The window lives on hidden in the notification area.
    QApplication::setQuitOnLastWindowClosed(false);
    velmora::installGermanTranslation(application);

    const std::string directory = velmora::dataDirectory();
    // One meter per data folder: a second start brings the running window forward and ends.
    velmora::SingleInstance instance(directory);
    if (!instance.claimOrBringForward()) return 0;
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    velmora::SettingsProfile profile(directory + "/" + velmora::profileFileName(executable));
    velmora::ConnectionLog log(directory + "/" + velmora::kLogFileName);

    velmora::QtHost host;
    velmora::SystemClock clock;
    velmora::LinuxSystemFacts facts;
    auto source = velmora::LinuxConnectionSource::forThisMachine();

    velmora::MonitorApp app({host, clock, *source, facts, profile, log});
    instance.onComeForward([&app] { app.bringMainWindowForward(); });
    // `kill`, the session's end, Ctrl+C and a closed terminal end the program
    // as Escape does: a running connection is logged, the settings are saved.
    const auto endAsEscape = [&host, &app] {
        if (velmora::MonitorDialog* main = app.mainWindow()) velmora::endMainRun(host, main->window(), *main);
    };
    velmora::SignalBridge signalsFromOutside({SIGTERM, SIGINT, SIGHUP}, [&endAsEscape](int) { endAsEscape(); });
    velmora::QuitRequestBridge quitRequests(endAsEscape);
    app.runMainDialog();
    return 0;
}
