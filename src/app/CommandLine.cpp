#include "app/CommandLine.h"

#include <algorithm>
#include <ctime>
#include <ostream>
#include <vector>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "budget/BudgetReport.h"
#include "budget/PeriodSpending.h"
#include "budget/StatusText.h"
#include "history/Export.h"
#include "platform/Version.h"

namespace velmora {
namespace {

const QString kProgram = QStringLiteral("velmora");

struct Options {
    QCommandLineOption help{{"h", "help"}, "Zeigt diese Hilfe und endet."};
    QCommandLineOption version{{"v", "version"}, "Zeigt die Versionsnummer und endet."};
    QCommandLineOption report{"report", "Gibt die Kosten je Monat (mit Stichtag: je Zeitraum) als Tabelle aus."};
    QCommandLineOption csv{"csv", "Schreibt jede Verbindung als CSV in DATEI (\"-\": Standardausgabe).", "DATEI"};
    QCommandLineOption month{"monat", "Nur die Verbindungen dieses Monats (zu --report oder --csv).", "JJJJ-MM"};
    QCommandLineOption year{"jahr", "Nur die Verbindungen dieses Jahres (zu --report oder --csv).", "JJJJ"};
    QCommandLineOption status{"status", "Gibt den Stand in einer Zeile aus: Verbindung, Zeitraum bisher, Budget."};
    QCommandLineOption json{"json", "Gibt den Bericht oder den Stand als JSON aus (zu --report oder --status)."};
    QCommandLineOption semicolon{"semikolon", "Schreibt die CSV mit \";\" und Dezimalkomma (zu --csv)."};
    std::vector<const QCommandLineOption*> all() const {
        return {&help, &version, &report, &csv, &status, &month, &year, &json, &semicolon};
    }
};

// Qt's own options, which QGuiApplication and QApplication take out of the
// command line themselves; the desktop's session manager restarts a program
// with "-session <id>". True for those that take the next argument as value.
const std::vector<std::pair<QString, bool>>& qtOptions() {
    static const std::vector<std::pair<QString, bool>> options{{"platform", true},
                                                               {"platformpluginpath", true},
                                                               {"platformtheme", true},
                                                               {"plugin", true},
                                                               {"qwindowgeometry", true},
                                                               {"qwindowicon", true},
                                                               {"qwindowtitle", true},
                                                               {"session", true},
                                                               {"display", true},
                                                               {"geometry", true},
                                                               {"style", true},
                                                               {"stylesheet", true},
                                                               {"reverse", false},
                                                               {"widgetcount", false},
                                                               {"nograb", false},
                                                               {"dograb", false},
                                                               {"sync", false}};
    return options;
}

QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList own;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString name = argument;
        if (name.startsWith(QLatin1String("--"))) name.remove(0, 1);
        const auto qt = std::find_if(qtOptions().begin(), qtOptions().end(),
                                     [&name](const auto& option) { return name == "-" + option.first; });
        if (i == 0 || qt == qtOptions().end()) {
            own << argument;
            continue;
        }
        if (qt->second) ++i; // its value
    }
    return own;
}

Invocation commandOnly(Command command) {
    Invocation invocation;
    invocation.command = command;
    return invocation;
}

Invocation mistake(const std::string& what) {
    Invocation invocation = commandOnly(Command::Mistake);
    invocation.mistake = "velmora: " + what + " (velmora --help zeigt, was geht)";
    return invocation;
}

std::string quoted(const QString& text) { return "„" + text.toStdString() + "“"; }

// The argument as typed that named the unknown option.
QString typedOption(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments) {
        QString bare = argument.section(QLatin1Char('='), 0, 0);
        while (bare.startsWith(QLatin1Char('-'))) bare.remove(0, 1);
        if (bare == name && argument.startsWith(QLatin1Char('-'))) return argument.section(QLatin1Char('='), 0, 0);
    }
    return QStringLiteral("--") + name;
}

Invocation parseFailure(const QCommandLineParser& parser, const QStringList& arguments) {
    if (!parser.unknownOptionNames().isEmpty())
        return mistake("unbekannte Option " + quoted(typedOption(arguments, parser.unknownOptionNames().first())));
    // The only other failure: an option that needs a value came last.
    return mistake(arguments.last().toStdString() + " braucht einen Wert");
}

bool readPeriod(const QCommandLineParser& parser, const Options& o, Invocation& result) {
    if (parser.isSet(o.month)) {
        const auto match = QRegularExpression(QStringLiteral("^(\\d{4})-(\\d{2})$")).match(parser.value(o.month));
        const int month = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (month < 1 || month > 12) {
            result = mistake("--monat erwartet JJJJ-MM, etwa 2026-12");
            return false;
        }
        result.period = Period::ofMonth(match.captured(1).toInt(), month);
    }
    if (parser.isSet(o.year)) {
        const auto match = QRegularExpression(QStringLiteral("^\\d{4}$")).match(parser.value(o.year));
        if (!match.hasMatch() || match.captured(0).toInt() == 0) {
            result = mistake("--jahr erwartet JJJJ, etwa 2026");
            return false;
        }
        result.period = Period::ofYear(match.captured(0).toInt());
    }
    return true;
}

Invocation interpret(const QCommandLineParser& parser, const Options& o) {
    if (!parser.positionalArguments().isEmpty())
        return mistake("unerwartetes Argument " + quoted(parser.positionalArguments().first()));
    if (parser.isSet(o.help)) return commandOnly(Command::Help);
    if (parser.isSet(o.version)) return commandOnly(Command::Version);
    if (parser.isSet(o.report) && parser.isSet(o.csv)) return mistake("--report und --csv gehen nicht zusammen");
    if (parser.isSet(o.status) && (parser.isSet(o.report) || parser.isSet(o.csv)))
        return mistake("--status geht nicht mit --report oder --csv zusammen");
    if (parser.isSet(o.month) && parser.isSet(o.year)) return mistake("--monat und --jahr gehen nicht zusammen");
    const bool filtered = parser.isSet(o.month) || parser.isSet(o.year);
    if (filtered && !parser.isSet(o.report) && !parser.isSet(o.csv))
        return mistake("--monat und --jahr gelten nur zu --report oder --csv");
    if (parser.isSet(o.json) && !parser.isSet(o.report) && !parser.isSet(o.status))
        return mistake("--json gilt nur zu --report oder --status");
    if (parser.isSet(o.semicolon) && !parser.isSet(o.csv)) return mistake("--semikolon gilt nur zu --csv");
    Invocation result;
    if (!readPeriod(parser, o, result)) return result;
    result.json = parser.isSet(o.json);
    result.csvStyle = parser.isSet(o.semicolon) ? CsvStyle::Semicolon : CsvStyle::Comma;
    if (parser.isSet(o.report)) result.command = Command::Report;
    if (parser.isSet(o.status)) result.command = Command::Status;
    if (parser.isSet(o.csv)) {
        result.command = Command::Csv;
        result.csvTarget = parser.value(o.csv).toStdString();
        if (result.csvTarget.empty()) return mistake("--csv braucht eine Datei oder \"-\"");
    }
    return result;
}

void noteSkipped(const LogReadStats& stats, std::ostream& err) {
    if (stats.skippedLines > 0)
        err << "velmora: Hinweis: " << stats.skippedLines
            << " Zeile(n) des Protokolls gehören zu keiner Verbindung und wurden übergangen\n";
    if (stats.tornTail) err << "velmora: Hinweis: der letzte Eintrag des Protokolls ist unvollständig und fehlt\n";
}

void noteUncounted(const Totals& totals, std::ostream& err) {
    if (totals.bytesPartial())
        err << "velmora: Hinweis: * nicht jede Verbindung hat gezählte Daten (ältere Einträge ohne Empfangen und "
               "Gesendet); gezeigt ist die Summe der gezählten\n";
}

int writeCsv(const std::string& target, const std::string& text, std::ostream& out, std::ostream& err) {
    if (target == "-") {
        out << text << std::flush;
        if (out) return kExitOk;
        err << "velmora: die CSV-Daten können nicht ausgegeben werden\n";
        return kExitFailed;
    }
    const WriteResult saved = saveTextFile(target, text);
    if (saved) return kExitOk;
    err << "velmora: " << target << ": " << saved.reason << "\n";
    return kExitFailed;
}

LocalTime nowOf(const CommandInputs& inputs) {
    return inputs.now ? *inputs.now : localTimeOf(static_cast<std::int64_t>(std::time(nullptr)));
}

BudgetPlan planOf(const CommandInputs& inputs) {
    return inputs.profilePath.empty() ? BudgetPlan{} : readBudgetPlan(SettingsProfile(inputs.profilePath));
}

// The running meter's answer as --status prints it; nullopt for an answer
// that is not its JSON (an older meter, a damaged line).
std::optional<std::string> liveStatus(const std::string& answer, bool json) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(answer));
    const QJsonValue text = document.object().value(QStringLiteral("text"));
    if (!document.isObject() || !text.isString()) return std::nullopt;
    if (json) return answer; // as the meter wrote it: its keys in their order, its amounts with two decimals
    return text.toString().toStdString();
}

// The meter's own figures where it runs; else the log's and the journal's.
int printStatus(const CommandInputs& inputs, bool json, std::ostream& out, std::ostream& err) {
    if (inputs.askMeter)
        if (const std::optional<std::string> answer = inputs.askMeter(kStatusRequest))
            if (const std::optional<std::string> live = liveStatus(*answer, json)) {
                out << *live << "\n" << std::flush;
                return out ? kExitOk : kExitFailed;
            }
    const FilesFigures files = figuresFromFiles(planOf(inputs), inputs.logPath, nowOf(inputs));
    if (!files.ok) {
        err << "velmora: " << inputs.logPath << ": " << files.reason << "\n";
        return kExitFailed;
    }
    out << (json ? statusJson(files.figures, inputs.currency) : statusLine(files.figures, inputs.currency)) << "\n"
        << std::flush;
    return out ? kExitOk : kExitFailed;
}

} // namespace

Invocation parseCommandLine(const QStringList& arguments) {
    const QStringList own = withoutQtOptions(arguments);
    Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption* option : o.all()) parser.addOption(*option);
    if (!parser.parse(own.isEmpty() ? QStringList{kProgram} : own)) return parseFailure(parser, own);
    return interpret(parser, o);
}

std::string helpText() {
    std::string text = "Aufruf: velmora [Optionen]\n"
                       "Überwacht die Wählverbindung und zählt ihre Telefongebühren. Ohne Optionen\n"
                       "öffnet sich das Fenster; die Optionen geben aus, was die Leitung gekostet hat,\n"
                       "ohne Fenster.\n\nOptionen:\n";
    const Options options;
    for (const QCommandLineOption* option : options.all()) {
        QStringList names;
        for (const QString& name : option->names()) names << (name.size() == 1 ? "-" : "--") + name;
        QString left = "  " + names.join(QStringLiteral(", "));
        if (!option->valueName().isEmpty()) left += " " + option->valueName();
        text += left.leftJustified(22).toStdString() + " " + option->description().toStdString() + "\n";
    }
    return text + "\nGelesen wird das Verbindungsprotokoll zelvar.log in $XDG_DATA_HOME/velmora\n"
                  "(meist ~/.local/share/velmora), dazu aus velmora.INI das Budget und der\n"
                  "Stichtag: mit einem Stichtag zeigt --report Abrechnungszeiträume (benannt nach\n"
                  "ihrem ersten Tag), mit Budget oder Stichtag zuletzt die Prognose. --status\n"
                  "fragt das laufende Velmora, sonst Protokoll und Zwischenstand. Zeiten stehen\n"
                  "in Ortszeit, Beträge mit Punkt und zwei Nachkommastellen (mit --semikolon\n"
                  "Komma), Daten in MB (1.000.000 Byte).\n"
                  "Rückgabewert: 0 bei Erfolg, 1 wenn das Protokoll, die Ausgabedatei oder die\n"
                  "Anzeige nicht zugänglich ist, 2 bei einem falschen Aufruf.\n";
}

int runCommand(const Invocation& invocation, const CommandInputs& inputs, std::ostream& out, std::ostream& err) {
    switch (invocation.command) {
    case Command::Help: out << helpText(); return out ? kExitOk : kExitFailed;
    case Command::Version: out << "Velmora " << kVersion << "\n"; return out ? kExitOk : kExitFailed;
    case Command::Mistake: err << invocation.mistake << "\n"; return kExitMisused;
    case Command::Monitor: return kExitMisused; // not a command of its own
    case Command::Status: return printStatus(inputs, invocation.json, out, err);
    case Command::Report:
    case Command::Csv: break;
    }
    const HistoryRead read = readHistory(inputs.logPath);
    if (!read.ok) {
        err << "velmora: " << inputs.logPath << ": " << read.reason << "\n";
        return kExitFailed;
    }
    noteSkipped(read.history.stats, err);
    const History& history = read.history;
    if (invocation.command == Command::Csv)
        return writeCsv(invocation.csvTarget, csvText(history.rowsOf(invocation.period), invocation.csvStyle), out,
                        err);
    // With a budget or a billing day of its own: by billing period, and the forecast.
    const BudgetPlan plan = planOf(inputs);
    ReportOptions options;
    if (plan.chosen())
        options = reportOptionsFor(plan, figuresFromRows(plan, history.rows(), inputs.logPath, nowOf(inputs)),
                                   invocation.period);
    if (invocation.json) {
        out << jsonReport(history, invocation.period, inputs.currency, options) << std::flush;
    } else {
        noteUncounted(history.totalsOf(invocation.period), err);
        out << monthlyReport(history, invocation.period, inputs.currency, options) << std::flush;
    }
    return out ? kExitOk : kExitFailed;
}

} // namespace velmora
