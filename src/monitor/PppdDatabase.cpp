#include "monitor/PppdDatabase.h"

#include <fcntl.h>
#include <tdb.h>

#include <cstdlib>
#include <memory>

namespace velmora {
namespace {

// Bounds what a damaged or hostile database can make us keep.
constexpr std::size_t kMaxEnvironmentBytes = std::size_t{16} * 1024;

struct TdbCloser {
    void operator()(tdb_context* db) const { ::tdb_close(db); }
};

std::optional<std::string> fetch(tdb_context* db, std::string_view key, std::size_t maxBytes) {
    TDB_DATA wanted{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())), key.size()};
    TDB_DATA value = ::tdb_fetch(db, wanted);
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
    std::unique_ptr<tdb_context, TdbCloser> db(::tdb_open(databasePath.c_str(), 0, TDB_DEFAULT, O_RDONLY, 0));
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
