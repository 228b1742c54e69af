// Stands in for pppd in the end-to-end test. Built as "pppd", so that its
// process name is pppd's; it holds a TUN interface of the given name and of
// the kernel's PPP kind open, as pppd holds its unit, so the kernel reports
// the link's carrier once the test brings the interface up. It runs until it
// is signalled.
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "support/TunDevice.h"

namespace {

constexpr int kSkip = 77; // no TUN device allowed here

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strlen(argv[1]) >= IFNAMSIZ) {
        std::fprintf(stderr, "usage: pppd <interface name>\n");
        return 2;
    }
    if (velmora::testing::openTun(argv[1]) < 0) {
        std::perror("pppd: TUN interface");
        return kSkip;
    }
    for (;;) ::pause();
}
