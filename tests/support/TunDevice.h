#pragma once
// Opens a TUN interface for tests that need a real network interface; the
// interface lives as long as the returned descriptor stays open.

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

namespace velmora::testing {

// A descriptor holding the TUN interface ifname, or -1 where it is not allowed.
inline int openTun(const char* ifname) {
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    ifreq req{};
    std::strncpy(req.ifr_name, ifname, IFNAMSIZ - 1);
    req.ifr_flags = IFF_TUN | IFF_NO_PI;
    if (::ioctl(fd, TUNSETIFF, &req) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace velmora::testing
