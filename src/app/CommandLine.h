#pragma once
// The program's command line. Without options the program is the monitor;
// --help, --version, --report (also as JSON), --csv and --status print, need
// no display and end.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include <QStringList>

#include "history/Export.h"
#include "history/History.h"
#include "platform/Clock.h"

namespace velmora {

enum class Command { Monitor, Help, Version, Report, Csv, Status, Mistake };

struct Invocation {
    Command command = Command::Monitor;
    Period period;                       // --monat JJJJ-MM or --jahr JJJJ
    std::string csvTarget;               // --csv: a file, or "-" for standard output
    CsvStyle csvStyle = CsvStyle::Comma; // --semikolon
    bool json = false;                   // --report --json, --status --json
    std::string mistake;                 // Command::Mistake: what was wrong, one line in German
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a file could not be read or written, no display
inline constexpr int kExitMisused = 2; // the command line itself was wrong

// arguments[0] is the program. Qt's own options (-style, -session, ...) are
// left to the application object and ignored here.
Invocation parseCommandLine(const QStringList& arguments);

std::string helpText();

// What the commands without a window read.
struct CommandInputs {
    std::string logPath;
    std::string currency;              // the system locale's currency symbol
    std::string profilePath = {};      // the settings: the budget and the billing day; empty: none chosen
    std::optional<LocalTime> now = {}; // unset: the system's clock
    // Asks the running meter (a request line, its answer), or nullopt when none answers.
    std::function<std::optional<std::string>(std::string_view request)> askMeter = {};
};

// The request by which --status asks the meter for its figures; it answers
// with the one line of JSON that --status --json prints.
inline constexpr std::string_view kStatusRequest = "status";

// Runs every command but Monitor; returns the exit status. Results go to out,
// messages (one line each, German) to err.
int runCommand(const Invocation& invocation, const CommandInputs& inputs, std::ostream& out, std::ostream& err);

} // namespace velmora
