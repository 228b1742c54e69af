// How long the program takes from exec to its window on screen and to its first
// poll tick, seen from outside as X events: the first top-level window mapped,
// and the first window whose title becomes "Keine Verbindung". Watching events
// instead of polling the title keeps the measurement from competing with the
// program for the processor. The program is ended with SIGTERM afterwards.
//
//   start_latency [--timeout-ms N] <program> [args...]
//   prints: mapped_ms=<ms> first_poll_ms=<ms>
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

Timings watch(Display* display, double startMs, double deadlineMs) {
    Timings timings;
    XEvent event;
    while (!timings.firstPollMs && nextEvent(display, event, deadlineMs)) {
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

} // namespace

int main(int argc, char* argv[]) {
    int first = 1;
    double timeoutMs = 10000;
    if (argc > 2 && std::strcmp(argv[1], "--timeout-ms") == 0) {
        timeoutMs = std::atof(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: %s [--timeout-ms N] <program> [args...]\n", argv[0]);
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
    const Timings timings = watch(display, startMs, startMs + timeoutMs);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(display);

    if (!timings.mappedMs || !timings.firstPollMs) {
        std::fprintf(stderr, "%s: no window titled \"%s\" within %.0f ms\n", argv[0], kIdleTitle, timeoutMs);
        return 1;
    }
    std::printf("mapped_ms=%.1f first_poll_ms=%.1f\n", *timings.mappedMs, *timings.firstPollMs);
    return 0;
}
