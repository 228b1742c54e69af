// Preloaded into the real program by clock_jump_e2e.sh: the wall clock
// (CLOCK_REALTIME) moved by the seconds the file named in
// VELMORA_E2E_CLOCK_OFFSET holds, read at every call, as if someone set the
// system clock; the boot clock stays as it is. The system clock itself is
// never touched, and no namespace can give a process a wall clock of its own.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long offsetSeconds() {
    const char* path = std::getenv("VELMORA_E2E_CLOCK_OFFSET");
    std::FILE* file = path ? std::fopen(path, "r") : nullptr;
    long seconds = 0;
    if (file) {
        if (std::fscanf(file, "%ld", &seconds) != 1) seconds = 0;
        std::fclose(file);
    }
    return seconds;
}

} // namespace

extern "C" int clock_gettime(clockid_t clock, timespec* now) {
    using Real = int (*)(clockid_t, timespec*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "clock_gettime"));
    const int result = real(clock, now);
    if (result == 0 && clock == CLOCK_REALTIME) now->tv_sec += offsetSeconds();
    return result;
}
