#pragma once
// What the history window shows, kept apart from its widgets so that it can be
// tested without a display: the chosen period (all years, a year, a month),
// the chart of that period (a bar per year, month or day), its connections in
// the chosen order with their sums, the most expensive connections and days,
// and where its export goes. The window binds to it and shows what it says.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/History.h"

namespace velmora {

class HistoryBrowser {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The table's columns, in the order shown.
    enum Column { Start, End, Duration, Cost, Received, Sent, ColumnCount };

    struct Bar {
        std::string label; // "2026", "Dez", "24"
        std::int64_t costCents = 0;
        Period target; // what choosing the bar shows: its year or month; a day's bar keeps the month
        int day = 0;   // a day's bar: its day of the month
    };

    struct DaySums {
        int dayKey = 0; // LogDateTime::dayKey()
        Totals totals;
    };

    // homeFolder: where the export is suggested; currentYear: the year shown
    // while the log is empty.
    HistoryBrowser(std::string homeFolder, int currentYear);

    // A new reading of the log. A period the user chose stays chosen, and so
    // does the order; until the user chooses, the newest connection's year is shown.
    void setHistory(History history);
    const History& history() const { return history_; }

    // The chosen period, and choosing one. Choosing a year or month outside
    // the years() is refused.
    Period period() const { return period_; }
    bool choose(Period period);
    // A year (0: all years) with the chosen month kept where there is one;
    // a month (0: the whole year) of the chosen year.
    bool chooseYear(int year);
    bool chooseMonth(int month);
    // The year or month before (-1) or after (+1) the chosen one.
    bool canStep(int direction) const;
    bool step(int direction);
    // Every year from the log's first to its last (and the current one), newest first.
    std::vector<int> years() const;

    // The chart of the chosen period: a bar per year of all years, per month
    // of a year, per day of a month.
    const std::vector<Bar>& bars() const { return bars_; }
    std::string chartTitle() const;
    // A year's or month's bar chooses that period; a day's bar picks the day,
    // whose connections the window then marks in the table.
    void activateBar(std::size_t index);
    int pickedDay() const { return pickedDay_; }

    // The chosen period's connections in the chosen order (newest first at
    // first); sorting keeps equal rows in the order of their start.
    std::size_t rowCount() const { return shown_.size(); }
    const ConnectionRow& row(std::size_t index) const { return history_.rows()[shown_[index]]; }
    void sortBy(Column column, bool descending);
    Column sortColumn() const { return sortColumn_; }
    bool sortDescending() const { return descending_; }
    // Where a connection of the chosen period stands in the table; npos when it is not shown.
    std::size_t tableIndexOf(const ConnectionRow& row) const;
    Totals totals() const { return history_.totalsOf(period_); }

    // The most expensive of the chosen period, most expensive first (ties: newest first).
    std::vector<const ConnectionRow*> priciestConnections(std::size_t count) const;
    std::vector<DaySums> priciestDays(std::size_t count) const;

    // The export: the chosen period's connections in the log's order, to a
    // file in the home folder named after the period ("velmora-2026-12.csv").
    std::vector<ConnectionRow> exportRows() const { return history_.rowsOf(period_); }
    std::string exportFileName() const;
    std::string exportPath() const { return homeFolder_ + "/" + exportFileName(); }

private:
    void show(Period period);
    void fillBars();
    void fillRows();
    void sortRows();
    int newestYear() const;
    int firstYear() const;
    int lastYear() const;

    std::string homeFolder_;
    int currentYear_ = 0;
    History history_;
    Period period_;
    bool userChose_ = false;
    int pickedDay_ = 0;
    std::vector<Bar> bars_;
    std::vector<std::uint32_t> shown_; // indexes into history_.rows()
    Column sortColumn_ = Start;
    bool descending_ = true;
};

// The German texts the window shows.
std::string monthName(int month);                                 // "März"
std::string periodName(Period period);                            // "Alle Jahre", "2026", "März 2026"
std::string bytesText(const std::optional<std::uint64_t>& bytes); // "48.2 MB", "812 kB", "–"

} // namespace velmora
