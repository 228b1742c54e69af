// How long the program takes from exec to its window on screen and to its first
// poll tick, seen from outside as X events: the first top-level window mapped,
// and the first window whose title becomes "Keine Verbindung". Watching events
// instead of polling the title keeps the measurement from competing with the
// program for the processor. The program is ended with SIGTERM afterwards.
// With --mapped-only it watches for the mapped window alone (any program),
// and with --rss-after-ms it also reads the program's resident memory
// (VmRSS, kB) that long after the window was mapped, before ending it, and
// with --keep-smaps FILE a copy of its /proc/<pid>/smaps at that moment.
//
//   start_latency [--timeout-ms N] [--mapped-only] [--rss-after-ms N] [--keep-smaps FILE] <program> [args...]
//   prints: mapped_ms=<ms> first_poll_ms=<ms> [rss_kb=<kB>]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kIdleTitle = "Keine Verbindung";

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string windowTitle(Display* display, Window window) {
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, name, 0, 256, False, utf8, &type, &format, &items, &remaining, &data) ==
            Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<const char*>(data), items);
        XFree(data);
    }
    return title;
}

pid_t launch(char* argv[]) {
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        std::perror(argv[0]);
        _exit(127);
    }
    return pid;
}

// Waits for the next X event or the deadline; false when the deadline passed.
bool nextEvent(Display* display, XEvent& event, double deadlineMs) {
    while (XPending(display) == 0) {
        const double left = deadlineMs - monotonicMs();
        if (left <= 0) return false;
        const int fd = ConnectionNumber(display);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval wait{static_cast<time_t>(left / 1000), static_cast<suseconds_t>(static_cast<long>(left) % 1000 * 1000)};
        select(fd + 1, &readable, nullptr, nullptr, &wait);
    }
    XNextEvent(display, &event);
    return true;
}

struct Timings {
    std::optional<double> mappedMs;
    std::optional<double> firstPollMs;
};

Timings watch(Display* display, double startMs, double deadlineMs, bool mappedOnly) {
    Timings timings;
    XEvent event;
    while (!timings.firstPollMs && !(mappedOnly && timings.mappedMs) && nextEvent(display, event, deadlineMs)) {
        const double at = monotonicMs() - startMs;
        if (event.type == CreateNotify) {
            XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask);
        } else if (event.type == MapNotify && !timings.mappedMs) {
            timings.mappedMs = at;
        } else if (event.type == PropertyNotify && windowTitle(display, event.xproperty.window) == kIdleTitle) {
            timings.firstPollMs = at;
        }
    }
    return timings;
}

// VmRSS of the process in kB, 0 when it cannot be read.
long residentKb(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    std::FILE* status = std::fopen(path.c_str(), "r");
    if (status == nullptr) return 0;
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
    std::fclose(status);
    return kb;
}

// Copies the process's smaps to `to`; false when either file fails.
bool copySmaps(pid_t pid, const char* to) {
    const std::string path = "/proc/" + std::to_string(pid) + "/smaps";
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (in == nullptr) return false;
    std::FILE* out = std::fopen(to, "w");
    bool ok = out != nullptr;
    char buffer[8192];
    for (std::size_t n = 0; ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        ok = std::fwrite(buffer, 1, n, out) == n;
    std::fclose(in);
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    int first = 1;
    double timeoutMs = 10000;
    bool mappedOnly = false;
    long rssAfterMs = -1;
    const char* smapsCopy = nullptr;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        if (std::strcmp(argv[first], "--mapped-only") == 0) {
            mappedOnly = true;
        } else if (std::strcmp(argv[first], "--timeout-ms") == 0 && first + 1 < argc) {
            timeoutMs = std::atof(argv[++first]);
        } else if (std::strcmp(argv[first], "--rss-after-ms") == 0 && first + 1 < argc) {
            rssAfterMs = std::atol(argv[++first]);
        } else if (std::strcmp(argv[first], "--keep-smaps") == 0 && first + 1 < argc) {
            smapsCopy = argv[++first];
        } else {
            break;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr,
                     "usage: %s [--timeout-ms N] [--mapped-only] [--rss-after-ms N] [--keep-smaps FILE] <program> "
                     "[args...]\n",
                     argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 2;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const double startMs = monotonicMs();
    const pid_t pid = launch(argv + first);
    const Timings timings = watch(display, startMs, startMs + timeoutMs, mappedOnly);
    if (rssAfterMs >= 0) usleep(static_cast<useconds_t>(rssAfterMs) * 1000);
    const long rssKb = rssAfterMs >= 0 ? residentKb(pid) : 0;
    const bool smapsKept = smapsCopy == nullptr || copySmaps(pid, smapsCopy);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(display);

    if (!timings.mappedMs || (!mappedOnly && !timings.firstPollMs)) {
        std::fprintf(stderr, "%s: no window %s within %.0f ms\n", argv[0],
                     mappedOnly ? "mapped" : "titled \"Keine Verbindung\"", timeoutMs);
        return 1;
    }
    if (!smapsKept) {
        std::fprintf(stderr, "%s: cannot keep the smaps in %s\n", argv[0], smapsCopy);
        return 1;
    }
    std::printf("mapped_ms=%.1f first_poll_ms=%.1f", *timings.mappedMs, timings.firstPollMs.value_or(0.0));
    if (rssAfterMs >= 0) std::printf(" rss_kb=%ld", rssKb);
    std::printf("\n");
    return 0;
}
