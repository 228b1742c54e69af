#include "instance/LineServer.h"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>

#include "instance/LocalSocket.h"

namespace velmora {
namespace {
// One asker of the user's may hold this many connections at a time at most.
constexpr std::size_t kMaxConnections = 16;
// Out of descriptors: accepting waits this long rather than spin on a
// listener that stays readable.
constexpr int kAcceptPauseMs = 1000;
} // namespace

struct LineServer::Connection {
    int fd = -1;
    std::string received;
    std::string unsent;
    QObject* owner = nullptr; // of the notifiers and the timer; deleted later, as they may be signalling
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
};

LineServer::LineServer(int listeningFd, Answer answer, std::chrono::milliseconds patience)
    : listener_(listeningFd)
    , answer_(std::move(answer))
    , patience_(patience)
    , accepting_(new QSocketNotifier(listeningFd, QSocketNotifier::Read, &root_)) {
    QObject::connect(accepting_, &QSocketNotifier::activated, &root_, [this] { acceptWaiting(); });
}

LineServer::~LineServer() {
    accepting_->setEnabled(false);
    ::close(listener_);
    for (auto& [id, connection] : connections_) {
        connection->readable->setEnabled(false);
        connection->writable->setEnabled(false);
        ::close(connection->fd);
    }
}

LineServer::Connection* LineServer::find(std::uint64_t id) {
    auto it = connections_.find(id);
    return it == connections_.end() ? nullptr : it->second.get();
}

void LineServer::acceptWaiting() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) pauseAccepting();
            return;
        }
        if (!local_socket::peerIsThisUser(fd) || connections_.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        open(fd);
    }
}

void LineServer::pauseAccepting() {
    accepting_->setEnabled(false);
    QTimer::singleShot(kAcceptPauseMs, &root_, [this] { accepting_->setEnabled(true); });
}

void LineServer::open(int fd) {
    const std::uint64_t id = nextId_++;
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->owner = new QObject(&root_);
    connection->readable = new QSocketNotifier(fd, QSocketNotifier::Read, connection->owner);
    connection->writable = new QSocketNotifier(fd, QSocketNotifier::Write, connection->owner);
    connection->writable->setEnabled(false);
    QObject::connect(connection->readable, &QSocketNotifier::activated, connection->owner,
                     [this, id] { readFrom(id); });
    QObject::connect(connection->writable, &QSocketNotifier::activated, connection->owner, [this, id] { writeTo(id); });
    QTimer::singleShot(patience_, connection->owner, [this, id] { close(id); });
    connections_.emplace(id, std::move(connection));
}

void LineServer::readFrom(std::uint64_t id) {
    Connection* c = find(id);
    if (!c) return;
    char chunk[512];
    for (;;) {
        const ssize_t got = ::recv(c->fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            c->received.append(chunk, static_cast<std::size_t>(got));
            const std::size_t newline = c->received.find('\n');
            if (newline != std::string::npos && newline <= local_socket::kMaxRequest) {
                respond(id, c->received.substr(0, newline));
                return;
            }
            if (c->received.size() > local_socket::kMaxRequest) break; // not one of ours
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else {
            break; // hung up before a whole line
        }
    }
    close(id);
}

void LineServer::respond(std::uint64_t id, const std::string& request) {
    find(id)->readable->setEnabled(false);
    const std::optional<std::string> answer = answer_(request);
    Connection* c = find(id); // the answer may have run the event loop, which may have closed it
    if (!c) return;
    if (!answer || answer->find('\n') != std::string::npos || answer->size() > local_socket::kMaxAnswer) {
        close(id);
        return;
    }
    c->unsent = *answer + '\n';
    writeTo(id);
}

void LineServer::writeTo(std::uint64_t id) {
    Connection* c = find(id);
    if (!c) return;
    while (!c->unsent.empty()) {
        const ssize_t sent = ::send(c->fd, c->unsent.data(), c->unsent.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            c->unsent.erase(0, static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            c->writable->setEnabled(true);
            return;
        } else {
            break; // the asker has gone
        }
    }
    close(id);
}

void LineServer::close(std::uint64_t id) {
    auto it = connections_.find(id);
    if (it == connections_.end()) return;
    Connection& c = *it->second;
    c.readable->setEnabled(false);
    c.writable->setEnabled(false);
    ::close(c.fd);
    c.owner->deleteLater();
    connections_.erase(it);
}

} // namespace velmora
