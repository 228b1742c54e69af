#pragma once
// Notices when the connection log changes on disk. The main window replaces
// the log whole on every write (a new file renamed over the old one), so the
// log's folder is watched, not just the file; a folder that does not exist
// yet is looked for again every few seconds.

#include <functional>

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

namespace velmora {

class LogFollower : public QObject {
public:
    LogFollower(QString logPath, std::function<void()> changed, QObject* parent = nullptr);

    // Compares the log with what it was when last seen; calls `changed` when
    // it differs (appeared, went, grew, was replaced).
    void checkNow();

private:
    struct Stamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedMs = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stampNow() const;
    void watch();

    QString path_;
    std::function<void()> changed_;
    QFileSystemWatcher watcher_;
    QTimer settle_;    // a burst of events (temporary file, rename, lock) becomes one check
    QTimer lookAgain_; // while the folder is missing
    Stamp seen_;
};

} // namespace velmora
