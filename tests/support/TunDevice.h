#pragma once
// Opens a TUN interface for tests that need a real network interface; the
// interface lives as long as the returned descriptor stays open. It is of
// the kernel's PPP kind unless told otherwise, as pppd's own are: the link
// source counts only PPP interfaces (a plain TUN device is a VPN's).

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

namespace velmora::testing {

// A descriptor holding the TUN interface ifname, or -1 where it is not allowed.
// kind: the interface's kernel type (ARPHRD_PPP, or ARPHRD_NONE for a plain TUN).
inline int openTun(const char* ifname, unsigned long kind = ARPHRD_PPP) {
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    ifreq req{};
    std::strncpy(req.ifr_name, ifname, IFNAMSIZ - 1);
    req.ifr_flags = IFF_TUN | IFF_NO_PI;
    if (::ioctl(fd, TUNSETIFF, &req) != 0 || (kind != ARPHRD_NONE && ::ioctl(fd, TUNSETLINK, kind) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace velmora::testing
