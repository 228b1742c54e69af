#pragma once
// The program's entry in the desktop's autostart folder: while it exists the
// desktop starts the program when the user logs in.

#include <string>
#include <string_view>

#include "store/WriteResult.h"

namespace velmora {

class AutostartEntry {
public:
    // path: the entry file; executable: what it starts.
    AutostartEntry(std::string path, std::string executable);

    // $XDG_CONFIG_HOME/autostart/velmora.desktop, by default
    // ~/.config/autostart/velmora.desktop (a relative XDG_CONFIG_HOME is ignored).
    static std::string defaultPath();

    bool exists() const;
    // Writes the entry crash-safely (a sibling temporary, flushed, renamed
    // over), making the folder when needed.
    WriteResult enable() const;
    // Removes the entry; done when there is none.
    WriteResult disable() const;

    const std::string& path() const { return path_; }
    // The entry's text, in UTF-8.
    std::string text() const;

private:
    std::string path_;
    std::string executable_;
};

// A program path as one argument of a desktop entry's Exec key, quoted and
// escaped as desktop entries require ("%" doubled; reserved characters quoted;
// inside quotes " ` $ \ escaped; then the string escape of "\"); empty for a
// path with control characters, which no Exec line can carry.
std::string desktopExecArgument(std::string_view path);

} // namespace velmora
