#pragma once
// The one-meter check's local socket on plain AF_UNIX stream sockets: one
// request line from the asker, one answer line from the meter, then the meter
// hangs up. Qt's local sockets would do the same but bring Qt Network and its
// Kerberos and proxy libraries into every start of the meter; this is all the
// meter needs of them.
//
// Both ends check who is at the other end (SO_PEERCRED) and treat any other
// user as no one.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::local_socket {

// The longest request line and answer line accepted, without the newline.
inline constexpr std::size_t kMaxRequest = 1024;
inline constexpr std::size_t kMaxAnswer = std::size_t{64} * 1024;

// Whether the process at the other end of a connected local socket runs as
// this process's (effective) user.
bool peerIsThisUser(int fd);

// A listening socket at `path` (non-blocking, close-on-exec, mode 0600),
// replacing whatever socket is there; -1 with errno set on failure.
int listenAt(const std::string& path);

// Sends `request` and a newline to the socket at `path` and returns the line
// that comes back (without its newline). Never waits past `timeout` in all:
// no listener, another user at the other end, a hang-up, a line too long or
// no answer in time are all nullopt. A request holding a newline is refused.
std::optional<std::string> ask(const std::string& path, std::string_view request, std::chrono::milliseconds timeout);

} // namespace velmora::local_socket
