#include "instance/SingleInstance.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include "store/DataPaths.h"

namespace velmora {
namespace {

constexpr const char* kLockedName = "velmora"; // its sidecar lock is "velmora.lock"
const QByteArray kRequest = "forward\n";
const QByteArray kAnswer = "ok\n";
constexpr qint64 kMaxLine = 64;

// Named after the data folder, so that each folder has its own meter. The
// folder is made first: its canonical name (symbolic links resolved) needs it.
QString socketPathFor(const std::string& dataFolder) {
    makePrivateFolder(dataFolder);
    const QString folder = QFileInfo(QString::fromStdString(dataFolder)).absoluteFilePath();
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QByteArray digest =
        QCryptographicHash::hash((canonical.isEmpty() ? folder : canonical).toUtf8(), QCryptographicHash::Sha256);
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) runtime = QDir::tempPath();
    return runtime + QStringLiteral("/velmora-") + QString::fromLatin1(digest.toHex().left(16)) +
           QStringLiteral(".socket");
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

} // namespace

SingleInstance::SingleInstance(const std::string& dataFolder)
    : lockedFile_(dataFolder + "/" + kLockedName), socketPath_(socketPathFor(dataFolder)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claimOrBringForward(std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        lock_.emplace(lockedFile_, std::chrono::milliseconds(0));
        if (lock_->held()) {
            listen();
            return true;
        }
        const int cannotLock = lock_->openError();
        lock_.reset();
        if (cannotLock != 0) {
            std::fprintf(stderr, "velmora: %s.lock kann nicht angelegt werden; eine zweite Kopie wird nicht erkannt.\n",
                         lockedFile_.c_str());
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (askToComeForward(left)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // still starting, or just ended
    }
}

void SingleInstance::listen() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_); // what a killed meter left; only the lock's holder listens here
    // Without the socket this copy still meters; a second start then only ends.
    if (!server_->listen(socketPath_)) return;
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [this, socket] { answer(socket, comeForward_); });
        }
    });
}

bool SingleInstance::askToComeForward(std::chrono::milliseconds wait) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    const int waitMs = static_cast<int>(std::min<long long>(wait.count(), 1000));
    if (!socket.waitForConnected(waitMs)) return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(waitMs)) return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(waitMs)) return false;
    }
    return socket.readLine(kMaxLine) == kAnswer;
}

} // namespace velmora
