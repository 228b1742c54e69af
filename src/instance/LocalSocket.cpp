#include "instance/LocalSocket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <thread>
#include <utility>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace velmora::local_socket {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 16;
constexpr auto kBusyRetry = std::chrono::milliseconds(10);

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool addressOf(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    path.copy(address.sun_path, path.size());
    return true;
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// Until the socket is ready for `events` (or hung up); false once the deadline passed.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const int left = millisecondsLeft(deadline);
        if (left == 0) return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, left);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

// A busy or stopped meter whose queue of connections is full refuses for the
// moment (EAGAIN); it is tried again until the deadline.
bool connectTo(int fd, const sockaddr_un& address, Clock::time_point deadline) {
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
        if (errno == EISCONN) return true;
        if (errno != EAGAIN && errno != EINTR) return false; // no one listens, or not for us
        const int left = millisecondsLeft(deadline);
        if (left == 0) return false;
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(kBusyRetry, std::chrono::milliseconds(left)));
    }
}

bool sendAll(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::optional<std::string> receiveLine(int fd, Clock::time_point deadline) {
    std::string received;
    char chunk[4096];
    for (;;) {
        const std::size_t newline = received.find('\n');
        if (newline != std::string::npos) return received.substr(0, newline);
        if (received.size() > kMaxAnswer) return std::nullopt;
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            received.append(chunk, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLIN, deadline)) return std::nullopt;
        } else {
            return std::nullopt; // hung up before a whole line
        }
    }
}

} // namespace

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

int listenAt(const std::string& path) {
    sockaddr_un address;
    if (!addressOf(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // Only a socket (a killed meter's) is replaced, never a file of the user's.
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISSOCK(existing.st_mode)) {
        errno = EEXIST;
        return -1;
    }
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return -1;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return -1;
    if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd.get(), kBacklog) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        errno = error;
        return -1;
    }
    return fd.release();
}

std::optional<std::string> ask(const std::string& path, std::string_view request, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    sockaddr_un address;
    if (request.find('\n') != std::string_view::npos || request.size() > kMaxRequest || !addressOf(path, address))
        return std::nullopt;
    const Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 || !connectTo(fd.get(), address, deadline)) return std::nullopt;
    if (!peerIsThisUser(fd.get())) return std::nullopt; // not our meter, whatever it would say
    std::string line(request);
    line += '\n';
    if (!sendAll(fd.get(), line, deadline)) return std::nullopt;
    return receiveLine(fd.get(), deadline);
}

} // namespace velmora::local_socket
