#pragma once
// One file's parsed state, kept while the file is unchanged: a read costs one
// stat() instead of reading and parsing the file again, which a profile of
// many megabytes would make slow enough to stall the meter.
//
// Unchanged means the same device, inode, size, modification and change time
// to the nanosecond. The change time is the one stamp nobody can set back, but
// the kernel takes file times from a coarse clock, so two writes in quick
// succession can carry the same stamp: a state read while its change time was
// that recent is not trusted; it is checked against the file's bytes at the
// next read, until it is old enough that any later write must differ.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "store/IniText.h"

namespace velmora {

struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const FileStamp& other) const;
};

class ProfileCache {
public:
    using Clock = std::function<timespec()>; // the wall clock file times are taken from
    explicit ProfileCache(std::string path, Clock now = {});

    // The file's current state, and why it could not be read: 0 when it was
    // read or is not there (a folder in its place holds no settings either);
    // else the errno, and a state without keys.
    struct Reading {
        std::shared_ptr<const ini::Index> index;
        int error = 0;
    };
    Reading read();
    std::shared_ptr<const ini::Index> current() { return read().index; }
    // Forgets the state: the next read goes to the file.
    void invalidate();
    // How often the file has been parsed, for tests and benchmarks.
    std::uint64_t parses() const;

private:
    void reload();

    const std::string path_;
    const Clock now_;
    mutable std::mutex mutex_;
    std::shared_ptr<const ini::Index> index_;
    FileStamp stamp_;
    int error_ = 0;
    bool trusted_ = false; // stamp_ alone tells whether the file changed
    std::uint64_t parses_ = 0;
};

} // namespace velmora
