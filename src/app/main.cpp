// The program: the main window on Qt, watching this machine's dial-up links.
#include <csignal>

#include <QApplication>

#include "app/MonitorApp.h"
#include "qthost/QtHost.h"
#include "qthost/SignalBridge.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/LinuxSystemFacts.h"
#include "store/DataPaths.h"
#include "store/ProfileFile.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The window lives on hidden in the notification area.
    QApplication::setQuitOnLastWindowClosed(false);
    velmora::installGermanTranslation(application);

    const std::string directory = velmora::dataDirectory();
    velmora::profile_file::removeOrphanTemps(directory); // what writers killed earlier left behind
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    velmora::SettingsProfile profile(directory + "/" + velmora::profileFileName(executable));
    velmora::ConnectionLog log(directory + "/" + velmora::kLogFileName);

    velmora::QtHost host;
    velmora::SystemClock clock;
    velmora::LinuxSystemFacts facts;
    auto source = velmora::LinuxConnectionSource::forThisMachine();

    velmora::MonitorApp app({host, clock, *source, facts, profile, log});
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
