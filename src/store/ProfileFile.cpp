#include "store/ProfileFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velmora::profile_file {
namespace {

// A writer gives up rather than write unlocked after this long.
constexpr std::chrono::milliseconds kLockWait{5000};
constexpr std::chrono::milliseconds kMaxPollInterval{16};

QString qtPath(const std::string& path) { return QString::fromStdString(path); }

// An advisory lock (flock) on the sidecar file "<file>.lock". The kernel drops
// it when its holder dies, so a writer killed mid-write never leaves a stale
// lock behind; the sidecar file itself stays and is never deleted, so that
// every writer always locks the same inode.
class SidecarLock {
public:
    explicit SidecarLock(const std::string& filePath) {
        const std::string lockPath = filePath + ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        held_ = fd_ >= 0 && acquire();
    }
    ~SidecarLock() {
        if (fd_ >= 0) ::close(fd_); // closing releases the lock
    }
    SidecarLock(const SidecarLock&) = delete;
    SidecarLock& operator=(const SidecarLock&) = delete;
    bool held() const { return held_; }

private:
    // Polled at short intervals: a blocking wait could not time out.
    bool acquire() {
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        std::chrono::milliseconds interval{1};
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) return false;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(interval);
            interval = std::min(interval * 2, kMaxPollInterval);
        }
        return true;
    }

    int fd_ = -1;
    bool held_ = false;
};

bool writeWhole(const QString& path, std::string_view bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit(); // flushes to disk, then renames over the old file
}

} // namespace

std::optional<QByteArray> readAll(const std::string& path) {
    QFile file(qtPath(path));
    if (!file.exists()) return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

WriteResult rewrite(const std::string& path, const std::function<std::string(std::string_view)>& edit) {
    const QString file = qtPath(path);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return WriteResult::failed("der Ordner kann nicht angelegt werden");
    SidecarLock lock(path);
    if (!lock.held()) return WriteResult::failed("die Datei ist von einem anderen Programm gesperrt");
    std::optional<QByteArray> current = readAll(path);
    if (!current) return WriteResult::failed("die Datei kann nicht gelesen werden");
    const std::string updated = edit(std::string_view(current->constData(), current->size()));
    if (!writeWhole(file, updated)) return WriteResult::failed("die Datei kann nicht geschrieben werden");
    return WriteResult::done();
}

bool remove(const std::string& path) {
    const QString file = qtPath(path);
    if (!QFileInfo::exists(file)) return false;
    SidecarLock lock(path);
    return lock.held() && QFile::remove(file);
}

} // namespace velmora::profile_file
