#pragma once
// Whether the monitor's window can be shown. Without a display Qt would abort
// (status 134) with a hint to reinstall the program; the user gets one line
// instead, and status 1.

#include <optional>
#include <string>

namespace velmora {

// Why no window can open, when it is plain from the environment alone: no
// DISPLAY, no WAYLAND_DISPLAY and no platform chosen (QT_QPA_PLATFORM or
// -platform among the arguments).
std::optional<std::string> missingDisplay(int argc, char** argv);

// Held while the QApplication is built: should Qt find no display it can use
// after all (DISPLAY names a server that is not there), the process ends at
// once with one line and status 1. Qt's messages during the build are held
// back and passed on afterwards when the build succeeds.
class DisplayOpening {
public:
    DisplayOpening();
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};

} // namespace velmora
