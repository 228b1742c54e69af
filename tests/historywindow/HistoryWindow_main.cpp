// The history window on the offscreen platform: what the chart shows, the
// chooser and table, the export, following the log, keys and palette.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <sstream>

#include "app/CommandLine.h"
#include "history/Export.h"
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
    HistoryWindowTest() : clock(epochSecondsAt(2026, 12, 15, 12, 0, 0) * 1000) {}

    // A log over fourteen months: November 2025 falls outside the chart.
    void writeLog() {
        std::string text;
        text += record(at(2025, 11, 20, 10, 0, 0), at(2025, 11, 20, 10, 30, 0), "9.99", "9.99");
        text += record(at(2025, 12, 31, 23, 59, 0), at(2026, 1, 1, 0, 1, 0), "0.24", "10.23");
        text += record(at(2026, 3, 29, 1, 30, 0), at(2026, 3, 29, 3, 30, 0), "7.20", "17.43");
        text += record(at(2026, 3, 30, 8, 0, 0), at(2026, 3, 30, 8, 10, 0), "0.36", "17.79");
        text += record(at(2026, 12, 9, 17, 59, 51), at(2026, 12, 9, 18, 10, 0), "0.36", "18.15");
        text += record(at(2026, 12, 10, 9, 0, 0), at(2026, 12, 10, 10, 0, 5), "3.72", "21.87");
        writeFileBytes(logPath(), text + "fremd\n");
    }
    std::string logPath() const { return pathOf("zelvar.log"); }

    std::unique_ptr<HistoryWindow> open() {
        auto window = std::make_unique<HistoryWindow>(
            HistoryWindowSetup{logPath(), "€", &clock,
                               [this](QWidget*, const QString& suggested, std::function<void(const QString&)> chosen) {
                                   suggestions << suggested;
                                   if (!exportTo.isEmpty()) chosen(exportTo);
                               }});
        window->show();
        return window;
    }
    template <typename T>
    static T* part(HistoryWindow& window, const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static std::vector<double> barValues(HistoryWindow& window) {
        auto* series = static_cast<QBarSeries*>(part<QChartView>(window, "kosten")->chart()->series().at(0));
        std::vector<double> values;
        for (int i = 0; i < series->barSets().at(0)->count(); ++i) values.push_back(series->barSets().at(0)->at(i));
        return values;
    }
    static QString cell(HistoryWindow& window, int row, int column) {
        QTableView* table = part<QTableView>(window, "verbindungen");
        return table->model()->index(row, column).data().toString();
    }

    VirtualClock clock;
    QString exportTo;
    QStringList suggestions;
};

TEST_F(HistoryWindowTest, ChartShowsTheMonthlySumsOfTheLastTwelveMonths) {
    writeLog();
    auto window = open();
    const std::vector<int> months = window->chartMonths();
    ASSERT_EQ(months.size(), 12u);
    EXPECT_EQ(months.front(), 202601);
    EXPECT_EQ(months.back(), 202612);
    const std::vector<double> values = barValues(*window);
    ASSERT_EQ(values.size(), 12u);
    const History expected = readHistory(logPath()).history;
    for (std::size_t i = 0; i < 12; ++i) {
        auto sums = expected.byMonth().find(months[i]);
        const double cents = sums == expected.byMonth().end() ? 0 : static_cast<double>(sums->second.costCents);
        EXPECT_DOUBLE_EQ(values[i], cents / 100) << months[i];
    }
    EXPECT_DOUBLE_EQ(values[2], 7.56); // March: both records
    EXPECT_DOUBLE_EQ(values[0], 0.0);  // the New Year's Eve call counts in December 2025
    auto* axis =
        static_cast<QBarCategoryAxis*>(part<QChartView>(*window, "kosten")->chart()->axes(Qt::Horizontal).at(0));
    EXPECT_EQ(axis->categories().front(), "Jan<br>2026");
    EXPECT_EQ(axis->categories().back(), "Dez<br>2026");
    EXPECT_EQ(part<QChartView>(*window, "kosten")->chart()->axes(Qt::Vertical).at(0)->titleText(), "€");
}

TEST_F(HistoryWindowTest, TheChosenMonthsConnectionsAndTotalsAreShown) {
    writeLog();
    auto window = open();
    EXPECT_EQ(window->windowTitle(), "Verlauf");
    QComboBox* chooser = part<QComboBox>(*window, "monat");
    ASSERT_EQ(chooser->count(), 5);
    EXPECT_EQ(chooser->itemText(0), "Alle Monate");
    EXPECT_EQ(chooser->itemText(1), "Dezember 2026");
    EXPECT_EQ(chooser->itemText(2), "März 2026");
    EXPECT_EQ(chooser->itemText(4), "November 2025");
    EXPECT_EQ(chooser->currentIndex(), 1) << "the newest month first";
    EXPECT_EQ(window->shownPeriod(), Period::ofMonth(2026, 12));

    QTableView* table = part<QTableView>(*window, "verbindungen");
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), "Beginn");
    EXPECT_EQ(table->model()->headerData(3, Qt::Horizontal).toString(), "Kosten");
    EXPECT_EQ(cell(*window, 0, 0), "9.12.2026 17:59:51");
    EXPECT_EQ(cell(*window, 0, 1), "9.12.2026 18:10:00");
    EXPECT_EQ(cell(*window, 0, 2), "0:10:09");
    EXPECT_EQ(cell(*window, 1, 3), "3.72 €");
    EXPECT_EQ(part<QLabel>(*window, "summe")->text(), "Summe: 2 Verbindungen, Onlinezeit 1:10:14, Kosten 4.08 €");
    EXPECT_EQ(part<QLabel>(*window, "hinweis")->text(), "1 Zeile(n) des Protokolls gehören zu keiner Verbindung.");

    chooser->setCurrentIndex(2);
    EXPECT_EQ(cell(*window, 0, 2), "1:00:00") << "the spring night's skipped hour is no time online";
    EXPECT_EQ(part<QLabel>(*window, "summe")->text(), "Summe: 2 Verbindungen, Onlinezeit 1:10:00, Kosten 7.56 €");
    chooser->setCurrentIndex(0);
    EXPECT_EQ(table->model()->rowCount(), 6);
    EXPECT_EQ(part<QLabel>(*window, "summe")->text(), "Summe: 6 Verbindungen, Onlinezeit 2:52:14, Kosten 21.87 €");
}

TEST_F(HistoryWindowTest, ExportWritesTheSameCsvAsTheCommandLine) {
    writeLog();
    auto window = open();
    exportTo = QString::fromStdString(pathOf("dezember.csv"));
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_EQ(suggestions, QStringList{"velmora-2026-12.csv"});

    std::ostringstream out, err;
    ASSERT_EQ(runCommand(parseCommandLine({"velmora", "--csv", "-", "--monat", "2026-12"}), {logPath(), "€"}, out, err),
              kExitOk);
    EXPECT_EQ(readFileBytes(pathOf("dezember.csv")), out.str());
    EXPECT_TRUE(part<QLabel>(*window, "exportstatus")->text().startsWith("Exportiert nach "));

    part<QComboBox>(*window, "monat")->setCurrentIndex(0);
    exportTo = QString::fromStdString(pathOf("alle.csv"));
    part<QPushButton>(*window, "exportieren")->click();
    out.str({});
    runCommand(parseCommandLine({"velmora", "--csv", "-"}), {logPath(), "€"}, out, err);
    EXPECT_EQ(readFileBytes(pathOf("alle.csv")), out.str());
    EXPECT_EQ(suggestions.back(), "velmora.csv");

    exportTo = QString::fromStdString(pathOf("fehlt/alle.csv"));
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_TRUE(part<QLabel>(*window, "exportstatus")->text().startsWith("Nicht exportiert"));
    exportTo.clear(); // cancelled: nothing written, nothing said
    part<QPushButton>(*window, "exportieren")->click();
    EXPECT_TRUE(part<QLabel>(*window, "exportstatus")->text().startsWith("Nicht exportiert"));
}

TEST_F(HistoryWindowTest, FollowsTheLogWhileOpenThroughItsReplacementAndDeletion) {
    auto window = open(); // no log yet
    QComboBox* chooser = part<QComboBox>(*window, "monat");
    EXPECT_EQ(chooser->count(), 1);
    EXPECT_EQ(barValues(*window), std::vector<double>(12, 0.0));

    ConnectionLog log(logPath());
    ASSERT_TRUE(log.write({at(2026, 12, 14, 9, 0, 0), at(2026, 12, 14, 9, 30, 0), "1.20", "1.20"}));
    ASSERT_TRUE(eventually([&] { return chooser->count() == 2; })) << "the first record";
    EXPECT_EQ(window->shownPeriod(), Period::ofMonth(2026, 12));
    ASSERT_TRUE(log.write({at(2026, 12, 15, 9, 0, 0), at(2026, 12, 15, 9, 30, 0), "2.40", "3.60"}));
    ASSERT_TRUE(eventually([&] { return window->history().rows().size() == 2; }));
    EXPECT_DOUBLE_EQ(barValues(*window).back(), 3.60);
    EXPECT_EQ(part<QTableView>(*window, "verbindungen")->model()->rowCount(), 2);

    chooser->setCurrentIndex(0);
    emit chooser->activated(0); // the user's own choice stays
    ASSERT_TRUE(log.write({at(2027, 1, 2, 9, 0, 0), at(2027, 1, 2, 9, 30, 0), "0.12", "3.72"}));
    ASSERT_TRUE(eventually([&] { return chooser->count() == 3; }));
    EXPECT_EQ(window->shownPeriod(), Period::all());

    ASSERT_TRUE(log.remove()); // the main window's reset
    ASSERT_TRUE(eventually([&] { return window->history().rows().empty(); }));
    EXPECT_EQ(chooser->count(), 1);
}

TEST_F(HistoryWindowTest, KeyboardAndTheDesktopsPalette) {
    writeLog();
    auto window = open();
    window->activateWindow();
    QComboBox* chooser = part<QComboBox>(*window, "monat");
    ASSERT_TRUE(eventually([&] { return QApplication::focusWidget() == chooser; }));
    QWidget* next = chooser->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, part<QTableView>(*window, "verbindungen"));

    QPalette dark = window->palette();
    dark.setColor(QPalette::Base, QColor(20, 20, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(200, 120, 0));
    window->setPalette(dark);
    QChart* chart = part<QChartView>(*window, "kosten")->chart();
    EXPECT_EQ(chart->backgroundBrush().color(), QColor(20, 20, 30));
    EXPECT_EQ(chart->titleBrush().color(), QColor(230, 230, 230));
    EXPECT_EQ(chart->axes(Qt::Vertical).at(0)->labelsBrush().color(), QColor(230, 230, 230));

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(chooser, &escape);
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
