#include "store/ProfileCache.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/ProfileFile.h"

namespace velmora {
namespace {

// How old a change must be before its stamp alone is trusted: longer than a
// tick of the kernel's coarse clock (at most 10 ms) where file times have
// sub-second parts, longer than two seconds where they have none (file systems
// that keep whole or even seconds).
constexpr std::int64_t kFineSettleNs = 50'000'000;
constexpr std::int64_t kCoarseSettleNs = 2'100'000'000;

std::int64_t nanoseconds(const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

FileStamp stampOf(const struct stat& st) {
    return {true,
            static_cast<std::uint64_t>(st.st_dev),
            static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            st.st_mtim,
            st.st_ctim};
}

bool isSettled(const FileStamp& stamp, const timespec& readStart) {
    const bool fine = stamp.changed.tv_nsec != 0 || stamp.modified.tv_nsec != 0;
    return nanoseconds(stamp.changed) + (fine ? kFineSettleNs : kCoarseSettleNs) < nanoseconds(readStart);
}

timespec wallClock() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

} // namespace

bool FileStamp::operator==(const FileStamp& other) const {
    if (exists != other.exists) return false;
    return !exists || (device == other.device && inode == other.inode && size == other.size &&
                       sameTime(modified, other.modified) && sameTime(changed, other.changed));
}

ProfileCache::ProfileCache(std::string path, Clock now)
    : path_(std::move(path)), now_(now ? std::move(now) : Clock(wallClock)) {}

ProfileCache::Reading ProfileCache::read() {
    std::lock_guard<std::mutex> lock(mutex_);
    struct stat st {};
    FileStamp stamp;
    if (::stat(path_.c_str(), &st) == 0) stamp = stampOf(st);
    if (!index_ || !trusted_ || !(stamp == stamp_)) reload();
    return {index_, error_};
}

void ProfileCache::invalidate() {
    std::lock_guard<std::mutex> lock(mutex_);
    trusted_ = false;
}

std::uint64_t ProfileCache::parses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return parses_;
}

// Reads the file with its stamps before and after; parses it only when its
// bytes differ from the state kept.
void ProfileCache::reload() {
    const timespec readStart = now_();
    std::string bytes;
    FileStamp before;
    FileStamp after;
    int error = 0;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) error = errno;
        if (error == 0) before = stampOf(st);
        if (error == 0) error = profile_file::readToEnd(fd, bytes);
        if (error == 0 && ::fstat(fd, &st) != 0) error = errno;
        if (error == 0) after = stampOf(st);
        ::close(fd);
    } else {
        error = errno;
    }
    if (error != 0) bytes.clear(); // no keys; error_ tells a file not there from one that cannot be read
    const bool noFile = error == ENOENT || error == EISDIR; // a folder in its place holds no settings either
    error_ = noFile ? 0 : error;
    if (!index_ || index_->text() != bytes) {
        index_ = std::make_shared<const ini::Index>(std::move(bytes));
        ++parses_;
    }
    stamp_ = after;
    trusted_ = (error == 0 || error == ENOENT) && before == after && (!after.exists || isSettled(after, readStart));
}

} // namespace velmora
