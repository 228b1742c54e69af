#pragma once
// The meter's end of its local socket, inside the Qt event loop (QtCore's
// socket notifiers): each connection of this user sends one request line and
// gets one answer line, then the meter hangs up. Nothing here ever blocks the
// loop: an asker that sends nothing, half a line or too much, or stops
// reading, is dropped after a few seconds or at once, and other askers are
// answered meanwhile. Connections of other users are closed unread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QObject>

class QSocketNotifier;

namespace velmora {

class LineServer {
public:
    // The answer line to a request line (without its newline); nullopt: hang
    // up without one. An answer holding a newline is not sent either.
    using Answer = std::function<std::optional<std::string>(std::string_view request)>;

    // Takes over a listening, non-blocking socket (local_socket::listenAt).
    LineServer(int listeningFd, Answer answer, std::chrono::milliseconds patience = std::chrono::seconds(5));
    ~LineServer();
    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;

    std::size_t openConnections() const { return connections_.size(); }

private:
    struct Connection;

    void acceptWaiting();
    void pauseAccepting();
    void open(int fd);
    void readFrom(std::uint64_t id);
    void respond(std::uint64_t id, const std::string& request);
    void writeTo(std::uint64_t id);
    void close(std::uint64_t id);
    Connection* find(std::uint64_t id);

    int listener_;
    Answer answer_;
    std::chrono::milliseconds patience_;
    QObject root_; // parent of every connection's notifiers and timer
    QSocketNotifier* accepting_;
    std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
    std::uint64_t nextId_ = 1; // never reused, unlike descriptors
};

} // namespace velmora
