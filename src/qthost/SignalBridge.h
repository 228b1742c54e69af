#pragma once
// Ending the program from outside. `kill`, the end of the desktop session
// (SIGTERM), Ctrl+C (SIGINT) and a closed terminal (SIGHUP) would otherwise end
// the process on the spot: a running connection unlogged, the settings unsaved.
// The bridge turns such a signal into a call on the UI thread (a byte through a
// socket pair, the one thing a signal handler may safely do), and
// endMainRun ends the main window there as Escape would. The session manager's
// end of an X11 session arrives as a quit request instead: QuitRequestBridge.

#include <csignal>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include <QObject>

#include "platform/WindowHost.h"

class QSocketNotifier;

namespace velmora {

class QtHost;

class SignalBridge {
public:
    using Receiver = std::function<void(int signal)>;

    // Catches the given signals and calls receiver for each one on the thread
    // that creates the bridge, from its event loop. A signal the process was
    // told to ignore (nohup, a background job) stays ignored. One bridge at a
    // time per process; a second one stays inactive.
    SignalBridge(std::initializer_list<int> toCatch, Receiver receiver);
    // Puts the previous handlers back.
    ~SignalBridge();
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

    bool active() const { return notifier_ != nullptr; }
    // The signals this bridge catches (those not ignored before).
    std::vector<int> caughtSignals() const;

private:
    bool openChannel();
    void catchSignal(int signal);
    void deliverPending();

    int readFd_ = -1;
    int writeFd_ = -1;
    std::vector<std::pair<int, struct sigaction>> previous_;
    std::unique_ptr<QSocketNotifier> notifier_;
    Receiver receiver_;
};

// Takes the application's quit requests (QEvent::Quit, which the session
// manager sends when the session ends) and calls receiver instead. Left to
// Qt, the request would close only the visible windows and leave the event
// loop of the moment, and a window hidden in the notification area would
// live on until the display went away under it.
class QuitRequestBridge : public QObject {
public:
    explicit QuitRequestBridge(std::function<void()> receiver);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> receiver_;
};

// Ends the run of mainWindow as Escape in it would (its handler's cancel
// command, so that it logs, saves and cleans up in onDestroy). Whatever is
// open above it goes first, as the user would close it: a question box is
// answered No, a dialog gets its close box. Those runs return only after this
// call, so the rest follows from the event loop once they have.
void endMainRun(QtHost& host, WindowId mainWindow, DialogHandler& mainHandler);

} // namespace velmora
