// The history window on the offscreen platform: that it shows what its
// browser says (choosers, chart, table, sums, the most expensive), the export
// in both forms, following the log, keys and palette.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <sstream>

#include "app/CommandLine.h"
#include "history/HistoryTestSupport.h"
#include "historywindow/HistoryWindow.h"
#include "store/StoreTestSupport.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace velmora::test {
namespace {

// Waits, running the event loop, until done() holds; false after 10 s.
bool eventually(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class HistoryWindowTest : public TempDirTest {
protected:
    // 2025 and 2026, some connections with their bytes, one foreign line.
    void writeLog() {
        std::string text;
        text += record(at(2025, 11, 20, 10, 0, 0), at(2025, 11, 20, 10, 30, 0), "9.99", "9.99");
        text += record(at(2025, 12, 31, 23, 59, 0), at(2026, 1, 1, 0, 1, 0), "0.24", "10.23");
        text += record(at(2026, 3, 29, 1, 30, 0), at(2026, 3, 29, 3, 30, 0), "7.20", "17.43");
        text += record(at(2026, 3, 30, 8, 0, 0), at(2026, 3, 30, 8, 10, 0), "0.36", "17.79");
        text +=
            countedRecord(at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 18, 10, 0), "0.36", "18.15", 4'200'000, 300'000);
        text += countedRecord(at(2026, 12, 10, 9, 0, 0), at(2026, 12, 10, 10, 0, 5), "3.72", "21.87", 48'213'504,
                              1'630'208);
        writeFileBytes(logPath(), text + "fremd\n");
    }
    std::string logPath() const { return pathOf("zelvar.log"); }

    std::unique_ptr<HistoryWindow> open() {
        auto window = std::make_unique<HistoryWindow>(
            HistoryWindowSetup{logPath(), "€", 2026,
                               [this](QWidget*, const QString& suggested, const ExportChosen& chosen) {
                                   suggestions << suggested;
                                   if (!exportTo.isEmpty()) chosen(exportTo, exportStyle);
                               },
                               pathOf("heim")});
        window->show();
        return window;
    }
    template <typename T>
    static T* part(HistoryWindow& window, const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QBarSet* bars(HistoryWindow& window) {
        auto* series = static_cast<QBarSeries*>(part<QChartView>(window, "kosten")->chart()->series().at(0));
        return series->barSets().at(0);
    }
    static std::vector<double> barValues(HistoryWindow& window) {
        std::vector<double> values;
        values.reserve(static_cast<std::size_t>(bars(window)->count()));
        for (int i = 0; i < bars(window)->count(); ++i) values.push_back(bars(window)->at(i));
        return values;
    }
    static QStringList categories(HistoryWindow& window) {
        return static_cast<QBarCategoryAxis*>(part<QChartView>(window, "kosten")->chart()->axes(Qt::Horizontal).at(0))
            ->categories();
    }
    static QString cell(HistoryWindow& window, int row, int column) {
        return part<QTableView>(window, "verbindungen")->model()->index(row, column).data().toString();
    }
    static void choose(QComboBox* chooser, const QString& text) {
        const int index = chooser->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        chooser->setCurrentIndex(index);
        emit chooser->activated(index); // as the user chooses
    }
    static std::vector<int> selectedRows(HistoryWindow& window) {
        std::vector<int> rows;
        for (const QModelIndex& index : part<QTableView>(window, "verbindungen")->selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QString exportTo;
    CsvStyle exportStyle = CsvStyle::Comma;
    QStringList suggestions;
};

TEST_F(HistoryWindowTest, OpensOnTheNewestYearChartAndTableFollowTheChoosers) {
    writeLog();
    auto window = open();
    EXPECT_EQ(window->windowTitle(), "Verlauf");
    QComboBox* years = part<QComboBox>(*window, "jahr");
    QComboBox* months = part<QComboBox>(*window, "monat");
    ASSERT_EQ(years->count(), 3);
    EXPECT_EQ(years->itemText(0), "Alle Jahre");
    EXPECT_EQ(years->currentText(), "2026");
    EXPECT_EQ(months->currentText(), "Ganzes Jahr");
    EXPECT_EQ(part<QChartView>(*window, "kosten")->chart()->title(), "Kosten 2026 je Monat");
    EXPECT_EQ(categories(*window).front(), "Jan");
    EXPECT_EQ(barValues(*window)[2], 7.56);
    EXPECT_EQ(barValues(*window)[11], 4.08);
    EXPECT_EQ(part<QTableView>(*window, "verbindungen")->model()->rowCount(), 4);
    EXPECT_EQ(cell(*window, 0, 0), "10.12.2026 09:00:00") << "newest first";
    EXPECT_EQ(cell(*window, 0, 3), "3.72 €");
    EXPECT_EQ(cell(*window, 0, 4), "48.2 MB");
    EXPECT_EQ(cell(*window, 2, 4), "–") << "logged before bytes were counted";
    EXPECT_EQ(part<QLabel>(*window, "summe")->text(),
              "Summe: 4 Verbindungen, Onlinezeit 2:20:14, Kosten 11.64 €, empfangen 52.4 MB, gesendet 1.9 MB "
              "(nicht alle Verbindungen gezählt)");
    EXPECT_EQ(part<QLabel>(*window, "hinweis")->text(), "1 Zeile(n) des Protokolls gehören zu keiner Verbindung.");

    choose(months, "März");
    EXPECT_EQ(window->browser().period(), Period::ofMonth(2026, 3));
    EXPECT_EQ(categories(*window).size(), 31);
    EXPECT_EQ(barValues(*window)[28], 7.20);
    EXPECT_EQ(cell(*window, 1, 2), "1:00:00") << "the spring night's skipped hour is no time online";
    EXPECT_EQ(part<QLabel>(*window, "summe")->text(), "Summe: 2 Verbindungen, Onlinezeit 1:10:00, Kosten 7.56 €");
    choose(years, "2025");
    EXPECT_EQ(window->browser().period(), Period::ofMonth(2025, 3));
    choose(months, "Januar");
    EXPECT_FALSE(part<QPushButton>(*window, "frueher")->isEnabled()) << "the log's first month";
    part<QPushButton>(*window, "spaeter")->click();
    EXPECT_EQ(window->browser().period(), Period::ofMonth(2025, 2));
    EXPECT_EQ(months->currentText(), "Februar");
    choose(years, "Alle Jahre");
    EXPECT_FALSE(months->isEnabled());
    EXPECT_EQ(categories(*window), (QStringList{"2025", "2026"}));
    EXPECT_EQ(part<QTableView>(*window, "verbindungen")->model()->rowCount(), 6);
}

TEST_F(HistoryWindowTest, BarsLeadDownToADayWhoseConnectionsAreMarked) {
    writeLog();
    auto window = open();
    emit bars(*window)->clicked(11); // December
    EXPECT_EQ(window->browser().period(), Period::ofMonth(2026, 12));
    EXPECT_EQ(part<QComboBox>(*window, "monat")->currentText(), "Dezember");
    emit bars(*window)->clicked(8); // the 9th
    EXPECT_EQ(window->browser().pickedDay(), 9);
    EXPECT_TRUE(bars(*window)->isBarSelected(8));
    EXPECT_EQ(selectedRows(*window), std::vector<int>{1});
}

TEST_F(HistoryWindowTest, HeadersSortAndTheMostExpensiveLeadIntoTheTable) {
    writeLog();
    auto window = open();
    QTableView* table = part<QTableView>(*window, "verbindungen");
    table->sortByColumn(HistoryBrowser::Cost, Qt::AscendingOrder);
    EXPECT_EQ(cell(*window, 0, 3), "0.36 €");
    EXPECT_EQ(cell(*window, 3, 3), "7.20 €");
    table->sortByColumn(HistoryBrowser::Received, Qt::DescendingOrder);
    EXPECT_EQ(cell(*window, 0, 4), "48.2 MB");
    EXPECT_EQ(table->horizontalHeader()->sortIndicatorSection(), HistoryBrowser::Received);

    auto* connections = part<QTreeWidget>(*window, "teuerste_verbindungen");
    ASSERT_EQ(connections->topLevelItemCount(), 4);
    EXPECT_EQ(connections->topLevelItem(0)->text(0), "7.20 €");
    EXPECT_EQ(connections->topLevelItem(0)->text(1), "29.3.2026 01:30:00");
    emit connections->itemActivated(connections->topLevelItem(0), 0);
    ASSERT_EQ(selectedRows(*window).size(), 1u);
    EXPECT_EQ(cell(*window, selectedRows(*window).front(), 0), "29.3.2026 01:30:00");

    auto* days = part<QTreeWidget>(*window, "teuerste_tage");
    ASSERT_EQ(days->topLevelItemCount(), 4);
    EXPECT_EQ(days->topLevelItem(1)->text(1), "Do 10.12.2026");
    EXPECT_EQ(days->topLevelItem(1)->text(2), "1");
    emit days->itemActivated(days->topLevelItem(0), 0);
    ASSERT_EQ(selectedRows(*window).size(), 1u);
    EXPECT_EQ(cell(*window, selectedRows(*window).front(), 0), "29.3.2026 01:30:00");
}

TEST_F(HistoryWindowTest, ExportInBothFormsWritesWhatTheCommandLineWrites) {
    writeLog();
    auto window = open();
    choose(part<QComboBox>(*window, "monat"), "Dezember");
    const auto commandLine = [this](std::vector<QString> arguments) {
        std::ostringstream out, err;
        arguments.insert(arguments.begin(), {"velmora", "--csv", "-"});
        EXPECT_EQ(
            runCommand(parseCommandLine(QStringList(arguments.begin(), arguments.end())), {logPath(), "€"}, out, err),
            kExitOk);
        return out.str();
    };
    exportTo = QString::fromStdString(pathOf("dezember.csv"));
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_EQ(suggestions, QStringList{QString::fromStdString(pathOf("heim/velmora-2026-12.csv"))});
    EXPECT_EQ(readFileBytes(pathOf("dezember.csv")), commandLine({"--monat", "2026-12"}));
    EXPECT_TRUE(part<QLabel>(*window, "exportstatus")->text().startsWith("Exportiert nach "));

    choose(part<QComboBox>(*window, "jahr"), "Alle Jahre");
    exportTo = QString::fromStdString(pathOf("alle.csv"));
    exportStyle = CsvStyle::Semicolon;
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_TRUE(suggestions.back().endsWith("/velmora-2025-2026.csv"));
    EXPECT_EQ(readFileBytes(pathOf("alle.csv")), commandLine({"--semikolon"}));

    exportTo = QString::fromStdString(pathOf("fehlt/alle.csv"));
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_TRUE(part<QLabel>(*window, "exportstatus")->text().startsWith("Nicht exportiert"));
    exportTo.clear(); // cancelled: nothing written, nothing said
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_TRUE(part<QLabel>(*window, "exportstatus")->text().startsWith("Nicht exportiert"));
}

TEST_F(HistoryWindowTest, FollowsTheLogWhileOpenThroughItsReplacementAndDeletion) {
    auto window = open(); // no log yet
    QComboBox* years = part<QComboBox>(*window, "jahr");
    EXPECT_EQ(years->count(), 2); // "Alle Jahre", 2026
    EXPECT_EQ(barValues(*window), std::vector<double>(12, 0.0));

    ConnectionLog log(logPath());
    ASSERT_TRUE(log.write({at(2026, 12, 14, 9, 0, 0), at(2026, 12, 14, 9, 30, 0), "1.20", "1.20"}));
    ASSERT_TRUE(eventually([&] { return window->history().rows().size() == 1; })) << "the first record";
    EXPECT_DOUBLE_EQ(barValues(*window).back(), 1.20);
    LogRecord counted{at(2026, 12, 15, 9, 0, 0), at(2026, 12, 15, 9, 30, 0), "2.40", "3.60"};
    counted.bytesReceived = 2'000'000;
    counted.bytesSent = 1'000;
    ASSERT_TRUE(log.write(counted));
    ASSERT_TRUE(eventually([&] { return window->history().rows().size() == 2; }));
    EXPECT_DOUBLE_EQ(barValues(*window).back(), 3.60);
    EXPECT_EQ(cell(*window, 0, 4), "2.0 MB");

    choose(part<QComboBox>(*window, "monat"), "Dezember"); // the user's own choice stays
    ASSERT_TRUE(log.write({at(2027, 1, 2, 9, 0, 0), at(2027, 1, 2, 9, 30, 0), "0.12", "3.72"}));
    ASSERT_TRUE(eventually([&] { return years->count() == 3; }));
    EXPECT_EQ(window->browser().period(), Period::ofMonth(2026, 12));

    ASSERT_TRUE(log.remove()); // the main window's reset
    ASSERT_TRUE(eventually([&] { return window->history().rows().empty(); }));
    EXPECT_EQ(years->count(), 2);
}

TEST_F(HistoryWindowTest, TheBillingPeriodsLinesFollowTheLogAndNoneHideTheirPlace) {
    writeLog();
    HistoryWindowSetup setup{logPath(), "€", 2026, {}, pathOf("heim")};
    setup.budgetLines = [](const History& history) -> std::vector<std::string> {
        if (history.rows().size() > 6) return {};
        return {"Verbindungen: " + std::to_string(history.rows().size()), "Prognose"};
    };
    HistoryWindow window(setup);
    window.show();
    auto* budget = part<QLabel>(window, "budget");
    EXPECT_TRUE(budget->isVisible());
    EXPECT_EQ(budget->text(), "Verbindungen: 6\nPrognose");

    ASSERT_TRUE(ConnectionLog(logPath()).write({at(2027, 1, 2, 9, 0, 0), at(2027, 1, 2, 9, 30, 0), "0.12", "21.99"}));
    ASSERT_TRUE(eventually([&] { return window.history().rows().size() == 7; }));
    EXPECT_FALSE(budget->isVisible()) << budget->text().toStdString();

    auto plain = open();
    EXPECT_FALSE(part<QLabel>(*plain, "budget")->isVisible()) << "no budget chosen: no line";
}

TEST_F(HistoryWindowTest, ABudgetChosenWhileTheWindowIsOpenShowsAtOnce) {
    writeLog();
    const std::string settings = pathOf("velmora.INI");
    HistoryWindowSetup setup{logPath(), "€", 2026, {}, pathOf("heim")};
    setup.settingsPath = settings;
    setup.budgetLines = [&settings](const History&) -> std::vector<std::string> {
        const std::string text = readFileBytes(settings);
        if (text.empty()) return {};
        return {text};
    };
    HistoryWindow window(setup);
    window.show();
    auto* budget = part<QLabel>(window, "budget");
    EXPECT_FALSE(budget->isVisible());
    writeFileBytes(settings, "Monat=50");
    ASSERT_TRUE(eventually([&] { return budget->isVisible() && budget->text() == "Monat=50"; }))
        << budget->text().toStdString();
}

TEST_F(HistoryWindowTest, KeyboardAndTheDesktopsPalette) {
    writeLog();
    auto window = open();
    window->activateWindow();
    QComboBox* years = part<QComboBox>(*window, "jahr");
    ASSERT_TRUE(eventually([&] { return QApplication::focusWidget() == years; }));
    std::vector<QString> order;
    for (QWidget* next = years->nextInFocusChain(); next != years; next = next->nextInFocusChain())
        if (next->focusPolicy() & Qt::TabFocus && !next->objectName().isEmpty() && next->isVisible())
            order.push_back(next->objectName());
    EXPECT_EQ(order, (std::vector<QString>{"monat", "frueher", "spaeter", "verbindungen", "teuerste_verbindungen",
                                           "teuerste_tage", "exportieren"}));
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().contains('&')) continue;
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }

    QPalette dark = window->palette();
    dark.setColor(QPalette::Base, QColor(20, 20, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(200, 120, 0));
    window->setPalette(dark);
    QChart* chart = part<QChartView>(*window, "kosten")->chart();
    EXPECT_EQ(chart->backgroundBrush().color(), QColor(20, 20, 30));
    EXPECT_EQ(chart->titleBrush().color(), QColor(230, 230, 230));
    EXPECT_EQ(chart->axes(Qt::Vertical).at(0)->labelsBrush().color(), QColor(230, 230, 230));
    EXPECT_EQ(bars(*window)->selectedColor(), QColor(200, 120, 0));

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(years, &escape);
    EXPECT_TRUE(eventually([&] { return !window->isVisible(); })) << "Escape closes the window";
}

} // namespace
} // namespace velmora::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
