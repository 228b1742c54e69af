// The command line read and the commands that need no window run, in process.
#include <gtest/gtest.h>

#include <QDir>
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
    for (const char* option :
         {"--help", "--version", "--report", "--csv DATEI", "--monat JJJJ-MM", "--jahr JJJJ", "--json", "--semikolon"})
        EXPECT_NE(out.str().find(option), std::string::npos) << option;
    EXPECT_TRUE(out.str().starts_with("Aufruf: velmora [Optionen]\n"));
    out.str({});
    EXPECT_EQ(runCommand(parse({"--version"}), {}, out, err), kExitOk);
    EXPECT_EQ(out.str(), std::string("Velmora ") + kVersion + "\n");
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace velmora::test
