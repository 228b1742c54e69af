#include "instance/SingleInstance.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include "instance/LineServer.h"
#include "instance/LocalSocket.h"
#include "store/AtomicFile.h"
#include "store/DataPaths.h"

namespace velmora {
namespace {

constexpr const char* kLockedName = "velmora"; // its sidecar lock is "velmora.lock"
constexpr std::string_view kComeForward = "forward";
constexpr std::string_view kCameForward = "ok";
constexpr auto kLongestAsk = std::chrono::milliseconds(1000);

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
// its own meter; in the data folder itself it needs no such name. The name
// follows the folder's canonical name (symbolic links resolved) where it exists.
std::string socketPathFor(const std::string& dataFolder) {
    const QString folder = QFileInfo(QString::fromStdString(dataFolder)).absoluteFilePath();
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString data = canonical.isEmpty() ? folder : canonical;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime)) {
        const QByteArray digest = QCryptographicHash::hash(data.toUtf8(), QCryptographicHash::Sha256);
        const QString path = runtime + QStringLiteral("/velmora-") + QString::fromLatin1(digest.toHex().left(16)) +
                             QStringLiteral(".socket");
        if (fitsSocketAddress(path)) return QFile::encodeName(path).toStdString();
    }
    const QString path = data + QStringLiteral("/velmora.socket");
    return isPrivateFolder(data) && fitsSocketAddress(path) ? QFile::encodeName(path).toStdString() : std::string();
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

SingleInstance::SingleInstance(const std::string& dataFolder) : lockedFile_(dataFolder + "/" + kLockedName) {
    makePrivateFolder(dataFolder); // its canonical name, which names the socket, needs it
    socketPath_ = socketPathFor(dataFolder);
}

// The socket goes while the lock is still held, so that it is never a
// successor's that goes.
SingleInstance::~SingleInstance() {
    if (!server_) return;
    server_.reset();
    ::unlink(socketPath_.c_str());
}

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
        if (!socketPath_.empty() &&
            local_socket::ask(socketPath_, kComeForward, std::min(left, kLongestAsk)) == kCameForward)
            return Claim::SecondStart;
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

// Without a private folder for the socket this copy still meters; a second
// start then only ends, and questions go unanswered.
void SingleInstance::listen() {
    if (socketPath_.empty()) {
        unreachableReason_ = "kein privater Ordner für den Socket: XDG_RUNTIME_DIR fehlt oder ist nicht privat, und "
                             "den Datenordner können auch andere beschreiben";
        return;
    }
    // What a killed meter left is replaced; only the lock's holder listens here.
    const int listener = local_socket::listenAt(socketPath_);
    if (listener < 0) {
        unreachableReason_ = socketPath_ + ": " + atomic_file::reasonFor(errno);
        return;
    }
    server_ = std::make_unique<LineServer>(listener, [this](std::string_view request) { return answer(request); });
}

std::optional<std::string> SingleInstance::answer(std::string_view request) {
    if (request == kComeForward) {
        if (comeForward_) comeForward_();
        return std::string(kCameForward);
    }
    if (query_) return query_(request);
    return std::nullopt;
}

std::optional<std::string> SingleInstance::ask(const std::string& dataFolder, std::string_view request,
                                               std::chrono::milliseconds timeout) {
    const std::string path = socketPathFor(dataFolder);
    if (path.empty()) return std::nullopt;
    return local_socket::ask(path, request, timeout);
}

} // namespace velmora
