// The history window as a program of its own, started by the meter's tray
// menu (app/HistoryWindowViewer.h tells why):
//
//   velmora-verlauf --protokoll <log> --waehrung <symbol> [--einstellungen <INI>]
//
// With the settings it shows the current billing period against the budget.
//
// Its standard input comes from the meter: a line "zeigen" brings the window
// forward, the end of the input closes it. Started any other way (input not
// a pipe), it runs until its window is closed.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <iostream>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include "app/Display.h"
#include "app/HistoryWindowViewer.h"
#include "budget/BudgetReport.h"
#include "budget/PeriodSpending.h"
#include "historywindow/HistoryWindow.h"
#include "platform/Version.h"
#include "qthost/Icons.h"
#include "qthost/QtHost.h"
#include "ui/ControlIds.h"

namespace {

// Reads the meter's lines from standard input.
class MeterPipe {
public:
    explicit MeterPipe(QWidget& window) : window_(window), notifier_(STDIN_FILENO, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readInput(); });
    }

    static bool isPipe() {
        struct stat info {};
        return ::fstat(STDIN_FILENO, &info) == 0 && S_ISFIFO(info.st_mode);
    }

private:
    void readInput() {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (got <= 0) { // the meter ended
            notifier_.setEnabled(false);
            window_.close();
            return;
        }
        pending_.append(chunk, static_cast<qsizetype>(got));
        for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
            if (pending_.left(end + 1) == velmora::kShowWindowLine) bringForward();
            pending_.remove(0, end + 1);
        }
    }

    void bringForward() {
        window_.showNormal();
        window_.raise();
        window_.activateWindow();
    }

    QWidget& window_;
    QSocketNotifier notifier_;
    QByteArray pending_;
};

// The billing period's lines, the budget read afresh with each reading of the log.
auto budgetLines(const std::string& profilePath, const std::string& logPath, const std::string& currency) {
    return [=](const velmora::History& history) -> std::vector<std::string> {
        if (profilePath.empty()) return {};
        const velmora::BudgetPlan plan = velmora::readBudgetPlan(velmora::SettingsProfile(profilePath));
        if (!plan.chosen()) return {};
        const velmora::LocalTime now = velmora::localTimeOf(static_cast<std::int64_t>(std::time(nullptr)));
        return velmora::historyWindowLines(plan, velmora::figuresFromRows(plan, history.rows(), logPath, now),
                                           currency);
    };
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto missing = velmora::missingDisplay(argc, argv)) {
        std::cerr << *missing << "\n";
        return 1;
    }
    std::optional<velmora::DisplayOpening> opening(std::in_place);
    QApplication application(argc, argv);
    opening.reset();
    velmora::setApplicationIdentity(velmora::kProductName, velmora::kAppId);
    velmora::installGermanTranslation(application);

    const QCommandLineOption log{"protokoll", "Das Verbindungsprotokoll.", "DATEI"};
    const QCommandLineOption currency{"waehrung", "Das Währungszeichen.", "ZEICHEN"};
    const QCommandLineOption settings{"einstellungen", "Die Einstellungen (Budget, Stichtag).", "DATEI"};
    QCommandLineParser parser;
    parser.addOptions({log, currency, settings});
    if (!parser.parse(QApplication::arguments()) || !parser.isSet(log)) {
        std::cerr << "velmora-verlauf: Aufruf: velmora-verlauf --protokoll DATEI [--waehrung ZEICHEN] "
                     "[--einstellungen DATEI]\n";
        return 2;
    }

    const std::string logPath = parser.value(log).toStdString();
    const std::string symbol = parser.value(currency).toStdString();
    velmora::HistoryWindowSetup setup{logPath, symbol, 0, velmora::exportFileDialog(), {}};
    setup.settingsPath = parser.value(settings).toStdString();
    setup.budgetLines = budgetLines(setup.settingsPath, logPath, symbol);
    velmora::HistoryWindow window(std::move(setup));
    window.setWindowIcon(velmora::iconForResource(velmora::ids::ProgramIcon));
    std::optional<MeterPipe> meter;
    if (MeterPipe::isPipe()) meter.emplace(window);
    window.show();
    return application.exec();
}
