#pragma once
// What a billing period has cost, from the files: the connections logged that
// began in it, the records the meter still holds back (not in the log yet),
// and a connection the journal holds open. The meter sums this once per period
// and then adds what it charges; `--status` without a meter and the history
// window read it as it stands.

#include <optional>
#include <string>
#include <vector>

#include "budget/BudgetFigures.h"
#include "history/LogReader.h"
#include "journal/JournalState.h"
#include "money/Money.h"

namespace velmora {

struct SpendingRead {
    Money logged;   // the period's connections that have ended
    bool ok = true; // false: the log exists but cannot be read (`reason`, German)
    std::string reason;
};

// The log's connections that began in `period`, and those of `heldBack`
// (records not yet written) that the log does not hold already.
SpendingRead loggedSpending(const std::string& logPath, const BillingPeriod& period,
                            const std::vector<LogRecord>& heldBack = {});
// The same for rows read already.
Money loggedSpending(const std::vector<ConnectionRow>& rows, const BillingPeriod& period,
                     const std::vector<LogRecord>& heldBack = {});

// What the journal beside the log holds of `period`: the records held back and
// the connection left open (at its last checkpoint). Nothing when there is no
// journal, or it cannot be read.
struct JournalSpending {
    std::vector<LogRecord> heldBack;
    Money open;
};
JournalSpending journalSpending(const std::string& journalPath, const BillingPeriod& period);

// The figures of the period holding `now` as the files have them, with no
// meter running: nothing is connected, a connection the journal holds open
// counts with what it had cost at its last checkpoint.
struct FilesFigures {
    BudgetFigures figures;
    bool ok = true;
    std::string reason; // German, when the log cannot be read
};
FilesFigures figuresFromFiles(const BudgetPlan& plan, const std::string& logPath, const LocalTime& now);
// The same for the log's rows read already.
BudgetFigures figuresFromRows(const BudgetPlan& plan, const std::vector<ConnectionRow>& rows,
                              const std::string& logPath, const LocalTime& now);

} // namespace velmora
