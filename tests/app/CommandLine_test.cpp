// The command line read and the commands that need no window run, in process.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <sstream>
#include <vector>

#include "app/CommandLine.h"
#include "history/Export.h"
#include "history/HistoryTestSupport.h"
#include "platform/Version.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

Invocation parse(const std::vector<const char*>& arguments) {
    QStringList list{"velmora"};
    for (const char* argument : arguments) list << QString::fromUtf8(argument);
    return parseCommandLine(list);
}

TEST(CommandLine, OptionsAndQtsOwnArgumentsAreTold) {
    EXPECT_EQ(parse({}).command, Command::Monitor);
    EXPECT_EQ(parse({"-session", "1234abc", "-style", "Fusion", "-reverse"}).command, Command::Monitor);
    EXPECT_EQ(parse({"--help"}).command, Command::Help);
    EXPECT_EQ(parse({"-h", "--report"}).command, Command::Help);
    EXPECT_EQ(parse({"-v"}).command, Command::Version);
    EXPECT_EQ(parse({"--report"}).command, Command::Report);
    EXPECT_EQ(parse({"--report"}).period, Period::all());
    EXPECT_EQ(parse({"--report", "--monat", "2026-02"}).period, Period::ofMonth(2026, 2));
    const Invocation csv = parse({"--jahr=2027", "-csv", "-"});
    EXPECT_EQ(csv.command, Command::Csv);
    EXPECT_EQ(csv.csvTarget, "-");
    EXPECT_EQ(csv.period, Period::ofYear(2027));
    EXPECT_EQ(parse({"--csv", "/tmp/a b.csv"}).csvTarget, "/tmp/a b.csv");
    EXPECT_EQ(csv.csvStyle, CsvStyle::Comma);
    EXPECT_EQ(parse({"--csv", "-", "--semikolon"}).csvStyle, CsvStyle::Semicolon);
    EXPECT_FALSE(parse({"--report"}).json);
    EXPECT_TRUE(parse({"--json", "--report", "--jahr", "2026"}).json);
}

TEST(CommandLine, MistakesAreOneGermanLineEach) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--bericht"}, "unbekannte Option „--bericht“"},
        {{"-x"}, "unbekannte Option „-x“"},
        {{"--csv"}, "--csv braucht einen Wert"},
        {{"--report", "--monat"}, "--monat braucht einen Wert"},
        {{"liste"}, "unerwartetes Argument „liste“"},
        {{"--report", "--csv", "-"}, "--report und --csv gehen nicht zusammen"},
        {{"--report", "--monat", "2026-01", "--jahr", "2026"}, "--monat und --jahr gehen nicht zusammen"},
        {{"--jahr", "2026"}, "gelten nur zu --report oder --csv"},
        {{"--report", "--monat", "2026-13"}, "--monat erwartet JJJJ-MM"},
        {{"--report", "--monat", "12.2026"}, "--monat erwartet JJJJ-MM"},
        {{"--report", "--jahr", "26"}, "--jahr erwartet JJJJ"},
        {{"--csv", ""}, "--csv braucht eine Datei"},
        {{"--json"}, "--json gilt nur zu --report"},
        {{"--csv", "-", "--json"}, "--json gilt nur zu --report"},
        {{"--report", "--semikolon"}, "--semikolon gilt nur zu --csv"},
        {{"--status", "--report"}, "--status geht nicht mit --report oder --csv zusammen"},
        {{"--status", "--monat", "2026-12"}, "--monat und --jahr gelten nur zu --report oder --csv"},
    };
    for (const auto& [arguments, expected] : cases) {
        const Invocation invocation = parse(arguments);
        EXPECT_EQ(invocation.command, Command::Mistake) << expected;
        EXPECT_NE(invocation.mistake.find(expected), std::string::npos) << invocation.mistake;
        EXPECT_EQ(invocation.mistake.find('\n'), std::string::npos);
        std::ostringstream out, err;
        EXPECT_EQ(runCommand(invocation, {}, out, err), kExitMisused);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), invocation.mistake + "\n");
    }
}

class CommandRun : public TempDirTest {
protected:
    int run(const std::vector<const char*>& arguments) {
        out.str({});
        err.str({});
        return runCommand(parse(arguments), {pathOf("zelvar.log"), "€"}, out, err);
    }
    std::ostringstream out, err;
};

TEST_F(CommandRun, ReportAndCsvReadTheLogAndNoteWhatTheySkipped) {
    writeFileBytes(pathOf("zelvar.log"), record(at(2026, 11, 3, 10, 0, 0), at(2026, 11, 3, 10, 10, 0), "0.24", "0.24") +
                                             "Unsinn\n" +
                                             countedRecord(at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 18, 10, 0),
                                                           "0.36", "0.60", 2'000'000, 100'000));
    EXPECT_EQ(run({"--report", "--monat", "2026-12"}), kExitOk);
    EXPECT_EQ(out.str(), monthlyReport(historyOf(readFileBytes(pathOf("zelvar.log"))), Period::ofMonth(2026, 12), "€"));
    EXPECT_NE(err.str().find("1 Zeile(n)"), std::string::npos) << err.str();

    EXPECT_EQ(run({"--csv", "-", "--jahr", "2026"}), kExitOk);
    EXPECT_EQ(out.str(), "start,end,seconds,cost,total,received,sent\r\n"
                         "2026-11-03T10:00:00,2026-11-03T10:10:00,600,0.24,0.24,,\r\n"
                         "2026-12-09T17:59:51,2026-12-09T18:10:00,609,0.36,0.60,2000000,100000\r\n");
    const std::string toStdout = out.str();
    EXPECT_EQ(run({"--csv", pathOf("verlauf.csv").c_str()}), kExitOk);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(readFileBytes(pathOf("verlauf.csv")), toStdout);
    EXPECT_EQ(run({"--csv", "-", "--semikolon"}), kExitOk);
    EXPECT_EQ(out.str(), csvText(historyOf(readFileBytes(pathOf("zelvar.log"))).rows(), CsvStyle::Semicolon));
}

TEST_F(CommandRun, ReportAsJsonOrAsATableThatNotesDataNotAllCounted) {
    const std::string log = record(at(2026, 11, 3, 10, 0, 0), at(2026, 11, 3, 10, 10, 0), "0.24", "0.24") +
                            countedRecord(at(2026, 11, 9, 8, 0, 0), at(2026, 11, 9, 8, 1, 0), "0.12", "0.36", 10, 2);
    writeFileBytes(pathOf("zelvar.log"), log);
    EXPECT_EQ(run({"--report", "--json", "--monat", "2026-11"}), kExitOk);
    EXPECT_EQ(out.str(), jsonReport(historyOf(log), Period::ofMonth(2026, 11), "€"));
    EXPECT_EQ(err.str(), "") << "JSON goes to scripts, which read its completeness themselves";
    EXPECT_EQ(run({"--report"}), kExitOk);
    EXPECT_NE(out.str().find("MB*\n"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("nicht jede Verbindung hat gezählte Daten"), std::string::npos) << err.str();
    EXPECT_EQ(run({"--report", "--monat", "2026-12"}), kExitOk);
    EXPECT_EQ(err.str(), "") << "a month without connections has nothing uncounted";
}

// With a billing day of its own the report lists billing periods by their
// first day; with a budget it ends with the current period's forecast.
class BudgetCommandRun : public CommandRun {
protected:
    int runAt(const std::vector<const char*>& arguments, LocalTime now, CommandInputs inputs = {}) {
        out.str({});
        err.str({});
        inputs.logPath = pathOf("zelvar.log");
        inputs.currency = "€";
        inputs.profilePath = pathOf("velmora.INI");
        inputs.now = now;
        return runCommand(parse(arguments), inputs, out, err);
    }
    static LocalTime noon(int year, int month, int day) {
        return {.year = year, .month = month, .day = day, .hour = 12};
    }
    static LocalTime midnight(int year, int month, int day) { return {.year = year, .month = month, .day = day}; }
};

TEST_F(BudgetCommandRun, ReportGroupsByBillingPeriodAndEndsWithTheForecast) {
    // Across the year's end: 14.12. is the period of 15.11., 15.12. and 3.1. that of 15.12.
    writeFileBytes(pathOf("zelvar.log"),
                   record(at(2026, 12, 14, 23, 50, 0), at(2026, 12, 15, 0, 10, 0), "1.00", "1.00") +
                       record(at(2026, 12, 15, 10, 0, 0), at(2026, 12, 15, 10, 10, 0), "2.00", "3.00") +
                       record(at(2027, 1, 3, 10, 0, 0), at(2027, 1, 3, 10, 10, 0), "4.00", "7.00"));
    writeFileBytes(pathOf("velmora.INI"), "[Budget]\nMonat=10.00\nStichtag=15\n");
    // 6.00 spent in 20 of the period's 31 days (15.12. to 14.1.): 9.30 by its end.
    ASSERT_EQ(runAt({"--report"}, midnight(2027, 1, 4)), kExitOk);
    EXPECT_EQ(out.str(), "Zeitraum   Verbindungen   Onlinezeit       Kosten          Daten\n"
                         "2026-11-15            1      0:20:00         1.00 €            -\n"
                         "2026-12-15            2      0:20:00         6.00 €            -\n"
                         "Summe                 3      0:40:00         7.00 €            -\n"
                         "Prognose                                     9.30 €   Budget 10.00 € (2026-12-15)\n");

    // A filter takes the periods that begin in it; the forecast only where the current one is among them.
    ASSERT_EQ(runAt({"--report", "--monat", "2026-11"}, midnight(2027, 1, 4)), kExitOk);
    EXPECT_NE(out.str().find("2026-11-15            1"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("2026-12-15"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("Prognose"), std::string::npos) << out.str();

    ASSERT_EQ(runAt({"--report", "--json", "--jahr", "2026"}, midnight(2027, 1, 4)), kExitOk);
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    const QJsonArray periods = report["periods"].toArray();
    ASSERT_EQ(periods.size(), 2);
    EXPECT_EQ(periods[0].toObject()["key"].toString(), "2026-11-15");
    EXPECT_EQ(periods[1].toObject()["cost"].toDouble(), 6.0);
    EXPECT_EQ(report["sum"].toObject()["cost"].toDouble(), 7.0);
    EXPECT_EQ(report["forecast"].toObject()["cost"].toDouble(), 9.3);
    EXPECT_EQ(report["forecast"].toObject()["budget"].toDouble(), 10.0);
}

TEST_F(BudgetCommandRun, TheForecastWaitsForTheSecondDayAndNothingChosenIsTheReportAsItWas) {
    const std::string log = record(at(2026, 12, 1, 10, 0, 0), at(2026, 12, 1, 10, 10, 0), "2.00", "2.00");
    writeFileBytes(pathOf("zelvar.log"), log);
    writeFileBytes(pathOf("velmora.INI"), "[Budget]\nMonat=50\n");
    ASSERT_EQ(runAt({"--report"}, noon(2026, 12, 1)), kExitOk);
    EXPECT_NE(out.str().find("\n2026-12 "), std::string::npos) << "the 1st as billing day: calendar months";
    EXPECT_TRUE(out.str().ends_with("Prognose                                       - €   Budget 50.00 € (2026-12)\n"))
        << out.str();

    writeFileBytes(pathOf("velmora.INI"), "[Budget]\nMonat=0\nStichtag=29\n"); // read as nothing chosen
    ASSERT_EQ(runAt({"--report"}, noon(2026, 12, 1)), kExitOk);
    EXPECT_EQ(out.str(), monthlyReport(historyOf(log), Period{}, "€"));
}

TEST_F(BudgetCommandRun, StatusAsksTheMeterAndWithoutItReadsTheFiles) {
    writeFileBytes(pathOf("zelvar.log"),
                   record(at(2026, 12, 15, 10, 0, 0), at(2026, 12, 15, 10, 10, 0), "8.00", "8.00"));
    writeFileBytes(pathOf("velmora.INI"), "[Budget]\nMonat=10.00\nStichtag=15\n");
    ASSERT_EQ(runAt({"--status"}, noon(2026, 12, 16)), kExitOk);
    EXPECT_EQ(out.str(), "Nicht verbunden; Monat 8.00 € von 10.00 € (80 %); Prognose 165.33 € über dem Budget\n");
    ASSERT_EQ(runAt({"--status", "--json"}, noon(2026, 12, 16)), kExitOk);
    const QJsonObject fromFiles = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    EXPECT_EQ(fromFiles["class"].toString(), "warning");
    EXPECT_EQ(fromFiles["percentage"].toInt(), 80);

    // A meter that answers: its figures, not the files'.
    const std::string live =
        R"({"connected":true,"cost":0.36,"seconds":754,"month":8.36,"forecast":null,)"
        R"("budget":10.00,"percentage":83,"text":"Verbunden 0:12:34","tooltip":"t","class":"warning"})";
    std::vector<std::string> asked;
    CommandInputs meter;
    meter.askMeter = [&](std::string_view request) -> std::optional<std::string> {
        asked.emplace_back(request);
        return live;
    };
    ASSERT_EQ(runAt({"--status"}, noon(2026, 12, 16), meter), kExitOk);
    EXPECT_EQ(out.str(), "Verbunden 0:12:34\n");
    EXPECT_EQ(asked, std::vector<std::string>{std::string(kStatusRequest)});
    ASSERT_EQ(runAt({"--status", "--json"}, noon(2026, 12, 16), meter), kExitOk);
    EXPECT_EQ(out.str(), live + "\n") << "passed on as the meter wrote it";

    // An answer that is not the status (an older meter, a damaged line): the files.
    meter.askMeter = [](std::string_view) -> std::optional<std::string> { return "hallo"; };
    ASSERT_EQ(runAt({"--status"}, noon(2026, 12, 16), meter), kExitOk);
    EXPECT_TRUE(out.str().starts_with("Nicht verbunden; Monat 8.00 €")) << out.str();
}

TEST_F(CommandRun, FilesThatCannotBeReadOrWrittenEndWithStatusOne) {
    EXPECT_EQ(run({"--report"}), kExitOk) << "no log yet is an empty history";
    EXPECT_NE(out.str().find("Summe                0"), std::string::npos);

    EXPECT_EQ(run({"--csv", pathOf("fehlt/verlauf.csv").c_str()}), kExitFailed);
    EXPECT_NE(err.str().find("fehlt/verlauf.csv: "), std::string::npos) << err.str();

    QDir().mkpath(QString::fromStdString(pathOf("zelvar.log"))); // a folder where the log should be
    EXPECT_EQ(run({"--report"}), kExitFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("zelvar.log: "), std::string::npos) << err.str();
}

TEST(CommandLine, HelpAndVersion) {
    std::ostringstream out, err;
    EXPECT_EQ(runCommand(parse({"--help"}), {}, out, err), kExitOk);
    for (const char* option : {"--help", "--version", "--report", "--csv DATEI", "--status", "--monat JJJJ-MM",
                               "--jahr JJJJ", "--json", "--semikolon"})
        EXPECT_NE(out.str().find(option), std::string::npos) << option;
    EXPECT_TRUE(out.str().starts_with("Aufruf: velmora [Optionen]\n"));
    out.str({});
    EXPECT_EQ(runCommand(parse({"--version"}), {}, out, err), kExitOk);
    EXPECT_EQ(out.str(), std::string("Velmora ") + kVersion + "\n");
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace velmora::test
