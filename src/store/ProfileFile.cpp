#include "store/ProfileFile.h"

#include <cerrno>
#include <chrono>
#include <set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/AtomicFile.h"
#include "store/DataPaths.h"
#include "store/FileLock.h"

namespace velmora::profile_file {
namespace {

// A writer gives up rather than write unlocked after this long.
constexpr std::chrono::milliseconds kLockWait{5000};

// 0, or the errno; a missing file reads as empty.
int readInto(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? 0 : errno;
    const int error = readToEnd(fd, bytes);
    ::close(fd);
    return error;
}

std::vector<std::string> namesIn(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

// Only a plain file of our own: never a link, a folder or another user's file.
bool removeIfOurs(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
           ::unlink(path.c_str()) == 0;
}

// The caller holds the file's lock: no live writer has a temporary of it.
int removeTempsOf(const std::string& file) {
    const std::string folder = folderOf(file);
    const std::string name = fileNameOf(file);
    int removed = 0;
    for (const std::string& entry : namesIn(folder)) {
        if (atomic_file::targetOfTemporary(entry) == name) removed += removeIfOurs(folder + "/" + entry);
    }
    return removed;
}

WriteResult lockFailure(const SidecarLock& lock) {
    if (lock.openError() != 0) return WriteResult::failed(atomic_file::reasonFor(lock.openError()));
    return WriteResult::failed("die Datei ist von einem anderen Programm gesperrt");
}

// Makes the folder, takes the lock, clears this file's orphans, then runs `body`.
WriteResult withFileLocked(const std::string& path, const std::function<WriteResult(const std::string&)>& body) {
    const std::string file = atomic_file::resolvedPath(path);
    if (const int error = makePrivateFolder(folderOf(file)))
        return WriteResult::failed("der Ordner kann nicht angelegt werden: " + atomic_file::reasonFor(error));
    SidecarLock lock(file, kLockWait);
    if (!lock.held()) return lockFailure(lock);
    removeTempsOf(file);
    return body(file);
}

} // namespace

int readToEnd(int fd, std::string& bytes) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        bytes.reserve(bytes.size() + static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> readAll(const std::string& path) {
    std::string bytes;
    if (readInto(path, bytes) != 0) return std::nullopt;
    return bytes;
}

WriteResult rewrite(const std::string& path, const std::function<std::string(std::string_view)>& edit) {
    return withFileLocked(path, [&edit](const std::string& file) {
        std::string current;
        if (const int error = readInto(file, current))
            return WriteResult::failed("die Datei kann nicht gelesen werden: " + atomic_file::reasonForRead(error));
        return atomic_file::replace(file, edit(current));
    });
}

WriteResult replaceWhole(const std::string& path, std::string_view bytes) {
    return withFileLocked(path, [bytes](const std::string& file) { return atomic_file::replace(file, bytes); });
}

WriteResult remove(const std::string& path) {
    const auto failed = [](int error) {
        return WriteResult::failed("die Datei kann nicht gelöscht werden: " + atomic_file::reasonFor(error));
    };
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? WriteResult::done() : failed(errno);
    SidecarLock lock(atomic_file::resolvedPath(path), kLockWait);
    if (!lock.held()) return lockFailure(lock);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return failed(errno);
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return failed(errno);
    const int error = ::fsync(folder) == 0 || errno == EINVAL ? 0 : errno;
    ::close(folder);
    if (error != 0)
        return WriteResult::failed("das Löschen ist nicht sicher auf dem Datenträger angekommen: " +
                                   atomic_file::reasonFor(error));
    return WriteResult::done();
}

int removeOrphanTemps(const std::string& directory) {
    std::set<std::string> files;
    for (const std::string& entry : namesIn(directory)) {
        if (std::optional<std::string> target = atomic_file::targetOfTemporary(entry)) files.insert(*target);
    }
    int removed = 0;
    for (const std::string& name : files) {
        const std::string file = directory + "/" + name;
        // Every writer makes the lock file before its temporary and holds the
        // lock while the temporary exists: without a lock file the name is not ours.
        SidecarLock lock(file, std::chrono::milliseconds(0), SidecarLock::Create::Never);
        if (lock.held()) removed += removeTempsOf(file);
    }
    return removed;
}

} // namespace velmora::profile_file
