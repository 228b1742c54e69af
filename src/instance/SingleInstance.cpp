#include "instance/SingleInstance.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "store/AtomicFile.h"
#include "store/DataPaths.h"

namespace velmora {
namespace {

constexpr const char* kLockedName = "velmora"; // its sidecar lock is "velmora.lock"
const QByteArray kRequest = "forward\n";
const QByteArray kAnswer = "ok\n";
constexpr qint64 kMaxLine = 64;

// A folder where no one but this user can put or replace a file.
bool isPrivateFolder(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

bool fitsSocketAddress(const QString& path) {
    return static_cast<std::size_t>(QFile::encodeName(path).size()) < sizeof(sockaddr_un::sun_path);
}

// In the runtime folder named after the data folder, so that each folder has
// its own meter; in the data folder itself it needs no such name. The folder
// is made first: its canonical name (symbolic links resolved) needs it.
QString socketPathFor(const std::string& dataFolder) {
    makePrivateFolder(dataFolder);
    const QString folder = QFileInfo(QString::fromStdString(dataFolder)).absoluteFilePath();
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString data = canonical.isEmpty() ? folder : canonical;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime)) {
        const QByteArray digest = QCryptographicHash::hash(data.toUtf8(), QCryptographicHash::Sha256);
        const QString path = runtime + QStringLiteral("/velmora-") + QString::fromLatin1(digest.toHex().left(16)) +
                             QStringLiteral(".socket");
        if (fitsSocketAddress(path)) return path;
    }
    const QString path = data + QStringLiteral("/velmora.socket");
    return isPrivateFolder(data) && fitsSocketAddress(path) ? path : QString();
}

// The process at the other end of a local socket runs as this user.
bool peerIsThisUser(qintptr descriptor) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 && ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

void answer(QLocalSocket* socket, const std::function<void()>& comeForward) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxLine) socket->abort(); // not one of ours
        return;
    }
    if (socket->readLine(kMaxLine) != kRequest) {
        socket->abort();
        return;
    }
    if (comeForward) comeForward();
    socket->write(kAnswer);
    socket->disconnectFromServer(); // after the answer is written
}

std::string lockReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return "keine Berechtigung (sie gehört wohl einem anderen Benutzer)";
    case ELOOP: return "sie ist ein symbolischer Verweis, keine Datei";
    default: return atomic_file::reasonFor(error);
    }
}

} // namespace

SingleInstance::SingleInstance(const std::string& dataFolder)
    : lockedFile_(dataFolder + "/" + kLockedName), socketPath_(socketPathFor(dataFolder)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    int cannotLock = 0;
    for (;;) {
        lock_.emplace(lockedFile_, std::chrono::milliseconds(0));
        if (lock_->held()) {
            listen();
            return Claim::Meter;
        }
        cannotLock = lock_->openError();
        lock_.reset();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (askToComeForward(left)) return Claim::SecondStart;
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // still starting, or just ended
    }
    // A lock held by a copy that does not answer: that copy meters all the same.
    if (cannotLock == 0) return Claim::SecondStart;
    undecidedReason_ = lockedFile_ + ".lock: " + lockReason(cannotLock) +
                       ". Ohne diese Sperre und ohne Antwort eines laufenden Velmora lässt sich nicht ausschließen, "
                       "dass schon eines misst; dieses Fenster misst deshalb nicht, damit keine Verbindung doppelt "
                       "gezählt wird. Abhilfe: die Datei entfernen oder Ihnen zurückgeben und Velmora neu starten.";
    return Claim::Undecided;
}

void SingleInstance::listen() {
    // Without a private folder for the socket this copy still meters; a
    // second start then only ends.
    if (socketPath_.isEmpty()) return;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_); // what a killed meter left; only the lock's holder listens here
    if (!server_->listen(socketPath_)) return;
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [this, socket] { answer(socket, comeForward_); });
        }
    });
}

bool SingleInstance::askToComeForward(std::chrono::milliseconds wait) {
    if (socketPath_.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    const int waitMs = static_cast<int>(std::min<long long>(wait.count(), 1000));
    if (!socket.waitForConnected(waitMs)) return false;
    if (!peerIsThisUser(socket.socketDescriptor())) return false; // not our meter, whatever it says
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(waitMs)) return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(waitMs)) return false;
    }
    return socket.readLine(kMaxLine) == kAnswer;
}

} // namespace velmora
