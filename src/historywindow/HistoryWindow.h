#pragma once
// The window of what the line cost ("Verlauf"): any year or month of the log
// (all years by year, a year by month, a month by day) as a bar chart, the
// period's connections in a table that sorts by any column, with the period's
// sums and its most expensive connections and days, and the export of those
// connections as CSV. It reads the log when it opens and again whenever the
// log changes while it is open. What it shows is kept by a HistoryBrowser;
// the widgets only show it. Its colours are the desktop's (the palette).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "history/Export.h"
#include "historywindow/HistoryBrowser.h"

class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTreeWidget;
class QValueAxis;

namespace velmora {

class ConnectionTable;

// Asks where the export goes and in which form, and calls `chosen` with the
// path and the form, or never when the user cancels. Injected, so that tests
// need no file dialog.
using ExportChosen = std::function<void(const QString& file, CsvStyle style)>;
using ExportFileChooser = std::function<void(QWidget* parent, const QString& suggestedPath, ExportChosen chosen)>;

// The desktop's save dialog, window-modal to parent, without a nested event
// loop; its two file types are the two CSV forms.
ExportFileChooser exportFileDialog();

struct HistoryWindowSetup {
    std::string logPath;
    std::string currency; // the system locale's symbol
    int currentYear = 0;  // shown while the log is empty, and the years reach to it; 0: this year
    ExportFileChooser chooseExportFile;
    std::string homeFolder; // where the export is suggested; empty: the user's home
    // The current billing period against the budget and its forecast, a line
    // each, from the log as just read; none: no budget chosen, nothing shown.
    std::function<std::vector<std::string>(const History& history)> budgetLines = {};
    // The settings file: when it changes (a budget chosen meanwhile), the
    // lines are made again; so they are every minute, for a new period.
    std::string settingsPath = {};
};

class HistoryWindow : public QWidget {
public:
    explicit HistoryWindow(HistoryWindowSetup setup, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the log again; the window does so by itself when the log changes.
    void reload();

    const HistoryBrowser& browser() const { return *browser_; }
    const History& history() const { return browser_->history(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildChart();
    QLayout* buildChoosers();
    QWidget* buildTable();
    QLayout* buildPriciest();
    void connectParts();
    void showBrowser();
    void showChoosers();
    void showChart();
    void showPriciest();
    void showBudget();
    void markPickedDay();
    void barClicked(int index);
    void markConnectionInTable(std::size_t logIndex);
    void markDayInTable(int dayKey);
    void applyPalette();
    void exportShown();

    HistoryWindowSetup setup_;
    std::unique_ptr<HistoryBrowser> browser_;
    std::string readProblem_;

    // The chart and its parts (owned by the chart view and the chart).
    struct ChartParts {
        QChartView* view = nullptr;
        QChart* chart = nullptr;
        QBarSet* bars = nullptr;
        QBarCategoryAxis* categories = nullptr;
        QValueAxis* cost = nullptr;
    } chart_;
    // Owned by the window.
    QComboBox* years_ = nullptr;
    QComboBox* months_ = nullptr;
    QPushButton* earlier_ = nullptr;
    QPushButton* later_ = nullptr;
    ConnectionTable* model_ = nullptr;
    QTableView* table_ = nullptr;
    QTreeWidget* priciestConnections_ = nullptr;
    QTreeWidget* priciestDays_ = nullptr;
    QLabel* totals_ = nullptr;
    QLabel* budget_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* exportStatus_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* close_ = nullptr;
};

// "Summe: 2 Verbindungen, Onlinezeit 1:10:14, Kosten 4.08 €", with the data
// where connections counted it.
QString totalsText(const Totals& totals, const std::string& currency);

} // namespace velmora
