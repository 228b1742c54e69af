// Stands in for pppd in the end-to-end tests. Built as "pppd", so that its
// process name is pppd's; it holds a TUN interface of the given name and of
// the kernel's PPP kind open, as pppd holds its unit, so the kernel reports
// the link's carrier once the test brings the interface up. Further
// arguments are pppd's options as its command line shows them. It runs
// until it is signalled.
//
//   pppd <interface> [options...]
//       FAKE_PPPD_DB=<file>: keeps an entry in pppd's database as pppd does
//       (PPPD_PID, IFNAME, DEVICE=/dev/ttyS0). FAKE_PPPD_KIND=none: a plain
//       TUN device, as a VPN client makes. FAKE_PPPD_ANSWER=1: it plays the
//       far end of the line, reading every packet sent through the interface
//       and answering each UDP datagram with one of twice its payload (at
//       most 1400 bytes), addresses and ports swapped, so that traffic of
//       known and different sizes goes each way.
//   pppd --db <file> <pid> NAME=value|-NAME...
//       sets or removes variables of that pppd's entry, as pppd does while
//       its link comes and goes.
#include <fcntl.h>
#include <netinet/in.h>
#include <tdb.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/TunDevice.h"

namespace {

constexpr int kSkip = 77; // no TUN device allowed here

bool store(tdb_context* db, const std::string& key, const std::string& value) {
    TDB_DATA k{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())), key.size()};
    TDB_DATA v{reinterpret_cast<unsigned char*>(const_cast<char*>(value.data())), value.size()};
    return ::tdb_store(db, k, v, TDB_REPLACE) == 0;
}

std::string fetch(tdb_context* db, const std::string& key) {
    TDB_DATA k{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())), key.size()};
    TDB_DATA v = ::tdb_fetch(db, k);
    if (!v.dptr) return {};
    std::string value(reinterpret_cast<const char*>(v.dptr), v.dsize);
    std::free(v.dptr);
    return value;
}

// "NAME=value;" pairs with name's pair replaced (value empty: removed).
std::string withVariable(const std::string& environment, const std::string& name, const std::string* value) {
    std::string result;
    std::size_t start = 0;
    while (start < environment.size()) {
        const auto end = environment.find(';', start);
        const std::string pair = environment.substr(start, end - start);
        if (pair.rfind(name + "=", 0) != 0) result += pair + ";";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (value) result += name + "=" + *value + ";";
    return result;
}

int editDatabase(const char* path, const std::string& pid, char** changes, int count) {
    tdb_context* db = ::tdb_open(path, 0, TDB_DEFAULT, O_RDWR | O_CREAT, 0644);
    if (!db) return 1;
    const std::string entry = fetch(db, "PPPD_PID=" + pid);
    std::string environment = fetch(db, entry);
    for (int i = 0; i < count; ++i) {
        const std::string change = changes[i];
        const auto equals = change.find('=');
        if (change[0] == '-') {
            environment = withVariable(environment, change.substr(1), nullptr);
        } else if (equals != std::string::npos) {
            const std::string value = change.substr(equals + 1);
            environment = withVariable(environment, change.substr(0, equals), &value);
        }
    }
    const bool stored = !entry.empty() && store(db, entry, environment);
    ::tdb_close(db);
    return stored ? 0 : 1;
}

bool enterDatabase(const char* path, const char* ifname) {
    tdb_context* db = ::tdb_open(path, 0, TDB_DEFAULT, O_RDWR | O_CREAT, 0644);
    if (!db) return false;
    const std::string pid = std::to_string(::getpid());
    const std::string entry = "pppd" + pid;
    const bool stored =
        store(db, entry, "PPPD_PID=" + pid + ";IFNAME=" + ifname + ";DEVICE=/dev/ttyS0;PPPLOGNAME=root;") &&
        store(db, "PPPD_PID=" + pid, entry);
    ::tdb_close(db);
    return stored;
}

void putBigEndian16(unsigned char* at, std::size_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

// The IPv4 header checksum: the ones' complement of the ones' complement sum of its 16-bit words.
void checksumHeader(unsigned char* header) {
    std::uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2) sum += static_cast<std::uint32_t>(header[i] << 8 | header[i + 1]);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    putBigEndian16(header + 10, ~sum & 0xffff);
}

// The answer to an IPv4 UDP datagram (no UDP checksum, which IPv4 allows);
// empty for any other packet.
std::vector<unsigned char> answerTo(const unsigned char* packet, std::size_t size) {
    if (size < 28 || packet[0] >> 4 != 4 || packet[9] != IPPROTO_UDP) return {};
    const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
    if (headerSize < 20 || size < headerSize + 8) return {};
    const std::size_t payload = std::min<std::size_t>(2 * (size - headerSize - 8), 1400);
    std::vector<unsigned char> answer(28 + payload, 'x');
    unsigned char* ip = answer.data();
    std::fill(ip, ip + 28, 0);
    ip[0] = 0x45;
    putBigEndian16(ip + 2, answer.size());
    ip[8] = 64; // time to live
    ip[9] = IPPROTO_UDP;
    std::copy(packet + 16, packet + 20, ip + 12); // from where it was sent to
    std::copy(packet + 12, packet + 16, ip + 16); // back to its sender
    checksumHeader(ip);
    const unsigned char* udp = packet + headerSize;
    std::copy(udp + 2, udp + 4, ip + 20); // ports swapped
    std::copy(udp, udp + 2, ip + 22);
    putBigEndian16(ip + 24, 8 + payload);
    return answer;
}

[[noreturn]] void answerForever(int tun) {
    std::vector<unsigned char> packet(65536);
    for (;;) {
        const ssize_t got = ::read(tun, packet.data(), packet.size());
        if (got < 0) {
            if (errno != EINTR) ::usleep(50'000); // the interface is down: nothing to read for now
            continue;
        }
        const std::vector<unsigned char> answer = answerTo(packet.data(), static_cast<std::size_t>(got));
        if (!answer.empty() && ::write(tun, answer.data(), answer.size()) < 0)
            std::perror("pppd: answer"); // the test sees the missing bytes
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--db") == 0) return editDatabase(argv[2], argv[3], argv + 4, argc - 4);
    if (argc < 2 || std::strlen(argv[1]) >= IFNAMSIZ) {
        std::fprintf(stderr, "usage: pppd <interface name> [options...] | pppd --db <file> <pid> NAME=value...\n");
        return 2;
    }
    const char* kind = std::getenv("FAKE_PPPD_KIND");
    const bool plain = kind && std::strcmp(kind, "none") == 0;
    const int tun = velmora::testing::openTun(argv[1], plain ? ARPHRD_NONE : ARPHRD_PPP);
    if (tun < 0) {
        std::perror("pppd: TUN interface");
        return kSkip;
    }
    if (const char* database = std::getenv("FAKE_PPPD_DB"); database && !enterDatabase(database, argv[1])) {
        std::fprintf(stderr, "pppd: cannot write %s\n", database);
        return 1;
    }
    if (const char* answer = std::getenv("FAKE_PPPD_ANSWER"); answer && std::strcmp(answer, "1") == 0)
        answerForever(tun);
    for (;;) ::pause();
}
