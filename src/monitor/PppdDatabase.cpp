#include "monitor/PppdDatabase.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <tdb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace velmora {
namespace {

// The library's name as Debian's libtdb1 installs it.
constexpr const char* kTdbLibrary = "libtdb.so.1";

// Bounds what a damaged or hostile database can make us keep.
constexpr std::size_t kMaxEnvironmentBytes = std::size_t{16} * 1024;

// pppd's database library is loaded when a pppd is first looked up, not with
// the program: most starts (at login, offline) find no pppd, and linking it
// would read the library in at every one of them.
struct TdbLibrary {
    decltype(&::tdb_open) open = nullptr;
    decltype(&::tdb_fetch) fetch = nullptr;
    decltype(&::tdb_close) close = nullptr;
};

template <typename Function>
Function symbol(void* library, const char* name) {
    return reinterpret_cast<Function>(::dlsym(library, name)); // NOLINT: dlsym hands out functions as void*
}

std::optional<TdbLibrary> loadTdb() {
    void* library = ::dlopen(kTdbLibrary, RTLD_LAZY | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "velmora: pppds Datenbank bleibt ungelesen: %s\n", ::dlerror());
        return std::nullopt;
    }
    TdbLibrary tdb{symbol<decltype(tdb.open)>(library, "tdb_open"), symbol<decltype(tdb.fetch)>(library, "tdb_fetch"),
                   symbol<decltype(tdb.close)>(library, "tdb_close")};
    if (!tdb.open || !tdb.fetch || !tdb.close) return std::nullopt;
    return tdb; // stays loaded for the program's life
}

const TdbLibrary* tdbLibrary() {
    static const std::optional<TdbLibrary> tdb = loadTdb();
    return tdb ? &*tdb : nullptr;
}

struct TdbCloser {
    void operator()(tdb_context* db) const { tdbLibrary()->close(db); }
};

std::optional<std::string> fetch(tdb_context* db, std::string_view key, std::size_t maxBytes) {
    TDB_DATA wanted{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())), key.size()};
    TDB_DATA value = tdbLibrary()->fetch(db, wanted);
    if (!value.dptr) return std::nullopt;
    std::optional<std::string> text;
    if (value.dsize <= maxBytes) text.emplace(reinterpret_cast<const char*>(value.dptr), value.dsize);
    std::free(value.dptr);
    return text;
}

} // namespace

// pppd files its entry under a key made from the pid it started with, which
// changes when it detaches; the key "PPPD_PID=<pid>" leads from its pid now
// to that entry. Opened read-only, the database takes no locks, so a reader
// never holds up pppd; an entry caught half-written reads as garbage and the
// next change reads it again.
std::optional<std::string> pppdScriptEnvironment(const std::string& databasePath, int pid) {
    const TdbLibrary* tdb = tdbLibrary();
    if (!tdb) return std::nullopt; // as from a pppd built without its database
    std::unique_ptr<tdb_context, TdbCloser> db(tdb->open(databasePath.c_str(), 0, TDB_DEFAULT, O_RDONLY, 0));
    if (!db) return std::nullopt;
    const auto entryKey = fetch(db.get(), "PPPD_PID=" + std::to_string(pid), 64);
    if (!entryKey || entryKey->rfind("pppd", 0) != 0) return std::nullopt;
    return fetch(db.get(), *entryKey, kMaxEnvironmentBytes);
}

std::optional<std::string> environmentValue(std::string_view environment, std::string_view name) {
    std::size_t start = 0;
    while (start < environment.size()) {
        const auto end = std::min(environment.find(';', start), environment.size());
        const auto pair = environment.substr(start, end - start);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
        start = end + 1;
    }
    return std::nullopt;
}

bool environmentSets(std::string_view environment, std::string_view name) {
    return environmentValue(environment, name).has_value();
}

} // namespace velmora
