#include "monitor/InterfaceState.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "monitor/SafeText.h"

namespace velmora {
namespace {

ifreq requestFor(const std::string& ifname) {
    ifreq req {};
    std::memcpy(req.ifr_name, ifname.data(), ifname.size());
    return req;
}

std::string addressOf(int socket, const std::string& ifname) {
    ifreq req = requestFor(ifname);
    if (::ioctl(socket, SIOCGIFADDR, &req) != 0 || req.ifr_addr.sa_family != AF_INET) return {};
    sockaddr_in in {};
    std::memcpy(&in, &req.ifr_addr, sizeof in);
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &in.sin_addr, text, sizeof text)) return {};
    return text;
}

} // namespace

KernelInterfaceStateReader::KernelInterfaceStateReader()
    : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

KernelInterfaceStateReader::~KernelInterfaceStateReader() {
    if (socket_ >= 0) ::close(socket_);
}

std::optional<InterfaceState> KernelInterfaceStateReader::query(const std::string& ifname) {
    if (socket_ < 0 || !isInterfaceName(ifname)) return std::nullopt;
    ifreq req = requestFor(ifname);
    if (::ioctl(socket_, SIOCGIFFLAGS, &req) != 0) return std::nullopt;
    InterfaceState state;
    state.up = (req.ifr_flags & IFF_UP) != 0;
    state.running = (req.ifr_flags & IFF_RUNNING) != 0;
    state.ipv4 = addressOf(socket_, ifname);
    return state;
}

} // namespace velmora
