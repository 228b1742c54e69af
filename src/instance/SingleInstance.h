#pragma once
// One meter per data folder. The copy that runs holds a lock in the data
// folder for its whole run and listens on a local socket in the user's runtime
// folder; a second start finds the lock taken, asks the running copy through
// the socket to bring its window forward, and ends without metering or
// writing anything. The kernel drops the lock of a copy that was killed, and
// the next holder replaces the socket it left, so nothing a killed copy leaves
// behind blocks a new start.
//
// A local socket rather than D-Bus: it needs no session bus (a start from a
// plain terminal, a minimal window manager or a test has none), and the lock,
// not the socket, decides who meters.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "store/FileLock.h"

class QLocalServer;

namespace velmora {

class SingleInstance {
public:
    explicit SingleInstance(const std::string& dataFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the folder's one meter. Otherwise asks the
    // running copy to come forward and returns false; should that copy end
    // meanwhile, this process takes over instead. Waits at most `patience`
    // for a copy that is still starting up. A lock that cannot be made at all
    // (no data folder can be had) says nothing of another copy: this process
    // meters then, and says so on stderr.
    bool claimOrBringForward(std::chrono::milliseconds patience = std::chrono::milliseconds(3000));
    // The meter's answer to a second start; runs in the Qt event loop.
    void onComeForward(std::function<void()> handler) { comeForward_ = std::move(handler); }

    bool isMeter() const { return lock_.has_value(); }
    const QString& socketPath() const { return socketPath_; }

private:
    void listen();
    bool askToComeForward(std::chrono::milliseconds wait);

    std::string lockedFile_;          // the lock is the sidecar of it: "velmora.lock"
    std::optional<SidecarLock> lock_; // set while held
    QString socketPath_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> comeForward_;
};

} // namespace velmora
