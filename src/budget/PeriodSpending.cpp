#include "budget/PeriodSpending.h"

#include <algorithm>

#include "journal/JournalFile.h"
#include "journal/RecordKeeper.h"

namespace velmora {
namespace {

LogDateTime logTimeOf(const LocalTime& t) { return {t.year, t.month, t.day, t.hour, t.minute, t.second}; }

CalendarDate dateOf(const LogDateTime& t) { return {t.year, t.month, t.day}; }

std::optional<Money> costOf(const LogRecord& record) {
    const std::optional<ParsedMoney> parsed = parseMoneyText(record.connectionCost);
    return parsed ? std::optional<Money>(parsed->amount) : std::nullopt;
}

bool sameConnection(const ConnectionRow& row, const LogRecord& record, Money cost) {
    return row.start == logTimeOf(record.start) && row.end == logTimeOf(record.end) && row.costCents == cost.cents();
}

// Records held back are not in the log, but a crash between the write and the
// journal's next state can leave one in both: it counts once.
Money heldBackSpending(const std::vector<ConnectionRow>& periodRows, const BillingPeriod& period,
                       const std::vector<LogRecord>& heldBack) {
    Money sum;
    for (const LogRecord& record : heldBack) {
        const std::optional<Money> cost = costOf(record);
        if (!cost || !period.contains(CalendarDate::of(record.start))) continue;
        const bool logged = std::any_of(periodRows.begin(), periodRows.end(),
                                        [&](const ConnectionRow& row) { return sameConnection(row, record, *cost); });
        if (!logged) sum += *cost;
    }
    return sum;
}

} // namespace

SpendingRead loggedSpending(const std::string& logPath, const BillingPeriod& period,
                            const std::vector<LogRecord>& heldBack) {
    SpendingRead read;
    std::vector<ConnectionRow> periodRows;
    LogReader reader([&](const ConnectionRow& row) {
        if (period.contains(dateOf(row.start))) periodRows.push_back(row);
    });
    read.ok = readLogFile(logPath, reader, &read.reason);
    read.logged = loggedSpending(periodRows, period, heldBack);
    return read;
}

Money loggedSpending(const std::vector<ConnectionRow>& rows, const BillingPeriod& period,
                     const std::vector<LogRecord>& heldBack) {
    Money sum;
    std::vector<ConnectionRow> periodRows;
    for (const ConnectionRow& row : rows) {
        if (!period.contains(dateOf(row.start))) continue;
        sum += Money::fromCents(row.costCents);
        if (!heldBack.empty()) periodRows.push_back(row);
    }
    return sum + heldBackSpending(periodRows, period, heldBack);
}

JournalSpending journalSpending(const std::string& journalPath, const BillingPeriod& period) {
    const JournalReading reading = readJournalAt(journalPath);
    if (reading.found != JournalReading::Found::State) return {};
    const std::optional<JournalState> state = parseJournalText(reading.state);
    if (!state) return {};
    JournalSpending spending{state->pendingRecords, Money()};
    if (state->open && period.contains(CalendarDate::of(state->open->start))) spending.open = state->open->cost;
    return spending;
}

FilesFigures figuresFromFiles(const BudgetPlan& plan, const std::string& logPath, const LocalTime& now) {
    const BillingPeriod period = *billingPeriodOf(CalendarDate::of(now), plan.billingDay);
    const JournalSpending journal = journalSpending(journalPathBeside(logPath), period);
    const SpendingRead read = loggedSpending(logPath, period, journal.heldBack);
    return {figuresOf(plan, period, read.logged + journal.open, RunningConnection{}, now), read.ok, read.reason};
}

BudgetFigures figuresFromRows(const BudgetPlan& plan, const std::vector<ConnectionRow>& rows,
                              const std::string& logPath, const LocalTime& now) {
    const BillingPeriod period = *billingPeriodOf(CalendarDate::of(now), plan.billingDay);
    const JournalSpending journal = journalSpending(journalPathBeside(logPath), period);
    return figuresOf(plan, period, loggedSpending(rows, period, journal.heldBack) + journal.open, RunningConnection{},
                     now);
}

} // namespace velmora
