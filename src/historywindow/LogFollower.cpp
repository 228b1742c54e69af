#include "historywindow/LogFollower.h"

#include <sys/stat.h>

#include <QFileInfo>

namespace velmora {
namespace {
constexpr int kSettleMs = 150;
constexpr int kLookAgainMs = 2000;
} // namespace

LogFollower::LogFollower(QString logPath, std::function<void()> changed, QObject* parent)
    : QObject(parent), path_(std::move(logPath)), changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] { checkNow(); });
    lookAgain_.setInterval(kLookAgainMs);
    connect(&lookAgain_, &QTimer::timeout, this, [this] {
        watch();
        checkNow();
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { settle_.start(); });
    seen_ = stampNow();
    watch();
}

// The file is watched too where it exists, for a writer that changes it in place.
void LogFollower::watch() {
    const QString folder = QFileInfo(path_).absolutePath();
    if (!watcher_.directories().contains(folder)) watcher_.addPath(folder);
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) watcher_.addPath(path_);
    if (watcher_.directories().contains(folder))
        lookAgain_.stop();
    else
        lookAgain_.start();
}

LogFollower::Stamp LogFollower::stampNow() const {
    struct stat info {};
    if (::stat(QFile::encodeName(path_).constData(), &info) != 0) return {};
    return {true, static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000,
            static_cast<quint64>(info.st_ino)};
}

void LogFollower::checkNow() {
    watch();
    const Stamp now = stampNow();
    if (now == seen_) return;
    seen_ = now;
    changed_();
}

} // namespace velmora
