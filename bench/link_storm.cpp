// The machine's side of bench/link-pacing, run inside its private namespaces:
//
//   link_storm flap <prefix> <count>
//       takes the interfaces <prefix>0 .. <prefix><count-1> down and up
//       again once a second each, spread evenly over the second, until killed
//       (a container host whose interfaces come and go);
//   link_storm touch <file> <times a second> <uid>
//       as that user, touches the file that often until killed;
//   link_storm latency <fake pppd> <interface> <journal> <trials>
//       per trial: a fake pppd makes the interface and its pid file, dials
//       for a while, then the link completes (up, then its addresses); the
//       time from then to the program's first charge (its journal written)
//       is printed (on standard error; the summary on standard output); then
//       the pppd ends and the program logs the call.
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool setFlags(int sock, const std::string& ifname, bool up) {
    ifreq req{};
    std::strncpy(req.ifr_name, ifname.c_str(), IFNAMSIZ - 1);
    if (::ioctl(sock, SIOCGIFFLAGS, &req) != 0) return false;
    req.ifr_flags = static_cast<short>(up ? (req.ifr_flags | IFF_UP) : (req.ifr_flags & ~IFF_UP));
    return ::ioctl(sock, SIOCSIFFLAGS, &req) == 0;
}

bool setAddress(int sock, const std::string& ifname, unsigned long request, const char* dotted) {
    ifreq req{};
    std::strncpy(req.ifr_name, ifname.c_str(), IFNAMSIZ - 1);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    ::inet_pton(AF_INET, dotted, &in.sin_addr);
    std::memcpy(&req.ifr_addr, &in, sizeof in);
    return ::ioctl(sock, request, &req) == 0;
}

int flap(const std::string& prefix, int count) {
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0 || count <= 0) return 1;
    const auto step = std::chrono::microseconds(1'000'000 / count);
    auto next = Clock::now();
    for (int i = 0;; i = (i + 1) % count) {
        const std::string ifname = prefix + std::to_string(i);
        if (!setFlags(sock, ifname, false) || !setFlags(sock, ifname, true)) {
            std::fprintf(stderr, "link_storm: cannot flap %s\n", ifname.c_str());
            return 1;
        }
        next += step;
        std::this_thread::sleep_until(next);
    }
}

int touch(const std::string& file, int perSecond, unsigned uid) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) return 1;
    const auto step = std::chrono::microseconds(1'000'000 / std::max(perSecond, 1));
    auto next = Clock::now();
    for (;;) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::futimens(fd, nullptr) != 0) {
            std::fprintf(stderr, "link_storm: cannot touch %s\n", file.c_str());
            return 1;
        }
        ::close(fd);
        next += step;
        std::this_thread::sleep_until(next);
    }
}

// Waits up to timeout for the journal to be written; the moment, or nullopt.
bool awaitWrite(int inotify, const std::string& name, std::chrono::milliseconds timeout, Clock::time_point& at) {
    const auto until = Clock::now() + timeout;
    alignas(inotify_event) char buffer[4096];
    while (Clock::now() < until) {
        pollfd fd{inotify, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (::poll(&fd, 1, static_cast<int>(std::max<long>(left, 1))) <= 0) continue;
        const auto when = Clock::now();
        const ssize_t got = ::read(inotify, buffer, sizeof buffer);
        for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, buffer + off, sizeof event);
            const std::string seen(buffer + off + sizeof event, ::strnlen(buffer + off + sizeof event, event.len));
            off += static_cast<ssize_t>(sizeof event + event.len);
            if (seen == name) {
                at = when;
                return true;
            }
        }
    }
    return false;
}

void drain(int inotify) {
    alignas(inotify_event) char buffer[4096];
    while (::read(inotify, buffer, sizeof buffer) > 0) {}
}

pid_t startPppd(const std::string& program, const std::string& ifname) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(program.c_str(), "pppd", ifname.c_str(), "call", "isp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

int latency(const std::string& pppd, const std::string& ifname, const std::string& journal, int trials) {
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const std::string dir = journal.substr(0, journal.rfind('/'));
    const std::string name = journal.substr(journal.rfind('/') + 1);
    const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (sock < 0 || inotify < 0 || ::inotify_add_watch(inotify, dir.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO) < 0) {
        std::fprintf(stderr, "link_storm: cannot watch %s\n", dir.c_str());
        return 1;
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> dialling(300, 1500);
    std::vector<double> results;
    for (int trial = 1; trial <= trials; ++trial) {
        const pid_t child = startPppd(pppd, ifname);
        // Until it is of the PPP kind: the fake pppd turns it into one while it is down.
        const auto isPpp = [&] {
            std::ifstream type("/sys/class/net/" + ifname + "/type");
            int kind = 0;
            return type >> kind && kind == 512;
        };
        for (int i = 0; i < 300 && !isPpp(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!isPpp()) return 1;
        std::ofstream("/run/" + ifname + ".pid") << child << "\n";
        std::this_thread::sleep_for(std::chrono::milliseconds(dialling(random)));
        drain(inotify);
        if (!setFlags(sock, ifname, true) || !setAddress(sock, ifname, SIOCSIFADDR, "10.64.0.2") ||
            !setAddress(sock, ifname, SIOCSIFDSTADDR, "10.64.0.1"))
            return 1;
        const auto complete = Clock::now();
        Clock::time_point charged;
        const bool seen = awaitWrite(inotify, name, std::chrono::milliseconds(5000), charged);
        const double ms = std::chrono::duration<double, std::milli>(charged - complete).count();
        if (seen) results.push_back(ms);
        std::fprintf(stderr, "trial %d: %s\n", trial,
                     seen ? (std::to_string(ms) + " ms").c_str() : "no charge within 5 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        ::kill(child, SIGTERM);
        ::waitpid(child, nullptr, 0);
        ::unlink(("/run/" + ifname + ".pid").c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // the call is logged, all quiet again
    }
    if (results.empty()) return 1;
    std::sort(results.begin(), results.end());
    const auto n = results.size();
    const double median = n % 2 ? results[n / 2] : (results[n / 2 - 1] + results[n / 2]) / 2;
    std::printf("latency_ms min=%.0f median=%.0f max=%.0f trials=%zu of %d\n", results.front(), median, results.back(),
                n, trials);
    return n == static_cast<std::size_t>(trials) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "flap") return flap(args[1], std::atoi(args[2].c_str()));
    if (args.size() == 4 && args[0] == "touch")
        return touch(args[1], std::atoi(args[2].c_str()), static_cast<unsigned>(std::atoi(args[3].c_str())));
    if (args.size() == 5 && args[0] == "latency") return latency(args[1], args[2], args[3], std::atoi(args[4].c_str()));
    std::fprintf(stderr, "usage: link_storm flap <prefix> <count> | touch <file> <per second> <uid> |"
                         " latency <fake pppd> <interface> <journal> <trials>\n");
    return 2;
}
