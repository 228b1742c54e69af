#pragma once
// The program's command line. Without options the program is the monitor;
// --help, --version, --report (also as JSON) and --csv print, need no display
// and end.

#include <iosfwd>
#include <string>

#include <QStringList>

#include "history/Export.h"
#include "history/History.h"

namespace velmora {

enum class Command { Monitor, Help, Version, Report, Csv, Mistake };

struct Invocation {
    Command command = Command::Monitor;
    Period period;                       // --monat JJJJ-MM or --jahr JJJJ
    std::string csvTarget;               // --csv: a file, or "-" for standard output
    CsvStyle csvStyle = CsvStyle::Comma; // --semikolon
    bool json = false;                   // --report --json
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
    std::string currency; // the system locale's currency symbol
};

// Runs every command but Monitor; returns the exit status. Results go to out,
// messages (one line each, German) to err.
int runCommand(const Invocation& invocation, const CommandInputs& inputs, std::ostream& out, std::ostream& err);

} // namespace velmora
