// The program: without options the main window on Qt, watching this machine's
// dial-up links; with options a command that prints and ends (app/CommandLine.h).
#include <malloc.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ostream>
#include <streambuf>

#include <QApplication>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/DesktopNotifications.h"
#include "app/Display.h"
#include "app/HistoryWindowViewer.h"
#include "app/MonitorApp.h"
#include "app/SettingsWindowOpener.h"
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
// How long `--status` waits for the meter's answer; it answers within
// milliseconds, so a longer wait means a meter that hangs.
constexpr std::chrono::milliseconds kMeterAnswerTimeout{500};

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The commands' output goes through a stream of their own over stdio: the
// standard streams of <iostream> would be set up at every start, the
// window's too, for output the window never writes.
class StdioBuffer : public std::streambuf {
public:
    explicit StdioBuffer(std::FILE* file) : file_(file) {}

protected:
    int_type overflow(int_type c) override {
        return traits_type::eq_int_type(c, traits_type::eof()) ? traits_type::not_eof(c) : std::fputc(c, file_);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        return static_cast<std::streamsize>(std::fwrite(text, 1, static_cast<std::size_t>(count), file_));
    }
    int sync() override { return std::fflush(file_) == 0 ? 0 : -1; }

private:
    std::FILE* file_;
};

std::string logPath() { return velmora::dataDirectory() + "/" + velmora::kLogFileName; }

// --help, --version, --report, --csv, --status and mistakes: no display, no window.
int runCommand(int argc, char* argv[], const velmora::Invocation& invocation) {
    QCoreApplication application(argc, argv);
    const velmora::LinuxSystemFacts facts;
    const std::string profile = velmora::dataDirectory() + "/" +
                                velmora::profileFileName(QCoreApplication::applicationFilePath().toStdString());
    velmora::CommandInputs inputs{logPath(), facts.currencySymbol().value_or("$"), profile};
    // A meter that does not answer in time is taken for none: the files then.
    inputs.askMeter = [directory = velmora::dataDirectory()](std::string_view request) {
        return velmora::SingleInstance::ask(directory, request, kMeterAnswerTimeout);
    };
    StdioBuffer outBuffer(stdout), errBuffer(stderr);
    std::ostream out(&outBuffer), err(&errBuffer);
    const int status = velmora::runCommand(invocation, inputs, out, err);
    out.flush();
    err.flush();
    return status;
}

// The main window, from start to end.
int runMonitor(int argc, char* argv[]) {
    if (const auto missing = velmora::missingDisplay(argc, argv)) {
        std::fprintf(stderr, "%s\n", missing->c_str());
        return velmora::kExitFailed;
    }
    std::optional<velmora::DisplayOpening> opening(std::in_place);
    QApplication application(argc, argv);
    opening.reset();
    velmora::setApplicationIdentity(velmora::kProductName, velmora::kAppId);
    // The window lives on hidden in the notification area.
    QApplication::setQuitOnLastWindowClosed(false);
    velmora::installGermanTranslationForFirstContextMenu(application);

    const std::string directory = velmora::dataDirectory();
    // One meter per data folder: a second start brings the running window forward and ends.
    velmora::SingleInstance instance(directory);
    const velmora::SingleInstance::Claim claim = instance.claim();
    if (claim == velmora::SingleInstance::Claim::SecondStart) return velmora::kExitOk;
    const bool metering = claim == velmora::SingleInstance::Claim::Meter;
    if (metering && !instance.unreachableReason().empty())
        std::fprintf(stderr, "velmora: ein zweiter Start erreicht dieses Velmora nicht: %s\n",
                     instance.unreachableReason().c_str());
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
                                           QString::fromStdString(facts.currencySymbol().value_or("$")),
                                           "--einstellungen", QString::fromStdString(profile.path())}});

    // Without the lock and without an answer the window shows but does not meter.
    velmora::DesktopNotifications notifications(velmora::kProductName, "velmora", velmora::kAppId);
    velmora::SettingsWindowOpener settingsWindow(profile, facts.currencySymbol().value_or("$"));
    velmora::MonitorApp app({host, clock, *source, facts, profile, log, &history, &autostart,
                             metering ? "" : instance.undecidedReason(), &settingsWindow, &notifications});
    instance.onComeForward([&app] { app.bringMainWindowForward(); });
    // `velmora --status` asks the meter for its live figures.
    if (metering)
        instance.onQuery([&app](std::string_view request) {
            velmora::MonitorDialog* main = app.mainWindow();
            return request == velmora::kStatusRequest && main ? main->budgetStatusJson() : std::string();
        });
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
