#pragma once
// One meter per data folder. The copy that runs holds a lock in the data
// folder for its whole run and listens on a local socket in a private folder
// of the user's; a second start finds the lock taken, asks the running copy
// through the socket to bring its window forward, and ends without metering
// or writing anything. The kernel drops the lock of a copy that was killed,
// and the next holder replaces the socket it left, so nothing a killed copy
// leaves behind blocks a new start.
//
// A lock that cannot be opened or taken at all (left by another user, a
// dangling link, no data folder) decides nothing: the start asks the socket
// then, and when no meter answers it cannot know whether one runs. It must not
// meter then (the same connection would be counted twice): the window shows,
// without a meter, and says why.
//
// The socket lies only in a folder no one else can write to: $XDG_RUNTIME_DIR,
// else the data folder, each used only when it belongs to the user and is not
// writable by group or others; never a shared temporary folder. Both ends also
// check who is at the other end (SO_PEERCRED) and ignore any other user.
//
// The same socket answers questions of the user's other programs (a command
// asking the running meter how things stand): one request line, one answer
// line (see instance/LocalSocket.h). The request "forward" is the second
// start's.
//
// A local socket rather than D-Bus: it needs no session bus (a start from a
// plain terminal, a minimal window manager or a test has none), and the lock,
// not the socket, decides who meters.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "store/FileLock.h"

namespace velmora {

class LineServer;

class SingleInstance {
public:
    enum class Claim {
        Meter,       // this process is the folder's one meter
        SecondStart, // another copy meters (asked to come forward): end
        Undecided,   // no lock, and no meter answered: show the window, do not meter
    };

    explicit SingleInstance(const std::string& dataFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock, or asks the running copy to come forward. Should that
    // copy end meanwhile, this process takes over instead. Waits at most
    // `patience` for a copy that is still starting up.
    Claim claim(std::chrono::milliseconds patience = std::chrono::milliseconds(3000));
    // Why the start could not decide (after Claim::Undecided), in German.
    const std::string& undecidedReason() const { return undecidedReason_; }
    // Why the meter cannot be reached by a second start or a question (after
    // Claim::Meter), in German; empty when it listens.
    const std::string& unreachableReason() const { return unreachableReason_; }

    // The meter's answer to a second start; runs in the Qt event loop.
    void onComeForward(std::function<void()> handler) { comeForward_ = std::move(handler); }
    // The meter's answer to any other request line: one line back (without a
    // newline; an answer holding one is not sent). Runs in the Qt event loop.
    // Without it such requests go unanswered.
    void onQuery(std::function<std::string(std::string_view request)> answer) { query_ = std::move(answer); }

    // Asks the meter of `dataFolder`, if one runs for this user, one request
    // line (no newline in it); its answer line, or nullopt when no meter of
    // this user answers within `timeout`. Never waits longer; needs no event
    // loop and makes no folder.
    static std::optional<std::string> ask(const std::string& dataFolder, std::string_view request,
                                          std::chrono::milliseconds timeout);

    bool isMeter() const { return lock_.has_value(); }
    // Empty when there is no private folder for it.
    const std::string& socketPath() const { return socketPath_; }

private:
    void listen();
    std::optional<std::string> answer(std::string_view request);

    std::string lockedFile_;          // the lock is the sidecar of it: "velmora.lock"
    std::optional<SidecarLock> lock_; // set while held
    std::string socketPath_;
    std::unique_ptr<LineServer> server_;
    std::function<void()> comeForward_;
    std::function<std::string(std::string_view)> query_;
    std::string undecidedReason_;
    std::string unreachableReason_;
};

} // namespace velmora
