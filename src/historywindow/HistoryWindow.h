#pragma once
// The window of what the line cost ("Verlauf"): a bar chart of the cost per
// month over the last twelve months, a month chooser, the chosen month's
// connections with their sums, and the export of those rows as CSV. It reads
// the log when it opens and again whenever the log changes while it is open.
// Its colours are the desktop's (the palette), none of its own.

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "history/History.h"
#include "platform/Clock.h"

class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QValueAxis;

namespace velmora {

class ConnectionTable;

// Asks where the export goes and calls `chosen` with the path, or never when
// the user cancels. Injected, so that tests need no file dialog.
using ExportFileChooser =
    std::function<void(QWidget* parent, const QString& suggestedName, std::function<void(const QString&)> chosen)>;

// The desktop's save dialog, window-modal to parent, without a nested event loop.
ExportFileChooser exportFileDialog();

struct HistoryWindowSetup {
    std::string logPath;
    std::string currency;         // the system locale's symbol
    const Clock* clock = nullptr; // the chart's twelve months end with this month
    ExportFileChooser chooseExportFile;
};

class HistoryWindow : public QWidget {
public:
    explicit HistoryWindow(HistoryWindowSetup setup, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the log again; the window does so by itself when the log changes.
    void reload();

    const History& history() const { return history_; }
    // The period the month chooser shows: a month, or everything.
    Period shownPeriod() const;
    // The months of the chart, oldest first, as LogDateTime::monthKey().
    const std::vector<int>& chartMonths() const { return chartMonths_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildChart();
    void fillChooser(int keepMonthKey);
    void fillChart();
    void markChosenMonth();
    void showPeriod();
    void applyPalette();
    void exportShown();
    void chooseMonth(int monthKey);

    HistoryWindowSetup setup_;
    History history_;
    std::string readProblem_;
    std::vector<int> chartMonths_;
    bool userChoseMonth_ = false; // else the newest month is shown, also as new ones come

    // The chart and its parts (owned by the chart view and the chart).
    struct ChartParts {
        QChartView* view = nullptr;
        QChart* chart = nullptr;
        QBarSet* bars = nullptr;
        QBarCategoryAxis* months = nullptr;
        QValueAxis* cost = nullptr;
    } chart_;
    // Owned by the window.
    QComboBox* chooser_ = nullptr;
    ConnectionTable* model_ = nullptr;
    QLabel* totals_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* exportStatus_ = nullptr;
};

} // namespace velmora
