#include "store/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/DataPaths.h"

namespace velmora::atomic_file {
namespace {

constexpr std::string_view kTempMarker = ".velmora-tmp-";
constexpr std::size_t kTempSuffixLength = 6; // what mkostemp puts for "XXXXXX"
constexpr mode_t kNewFileMode = 0600;

thread_local const WriteFaults* activeFaults = nullptr;

// True, with errno set, when a test has this step fail.
bool injectedFailure(WriteStep step) {
    if (!activeFaults || !activeFaults->beforeStep) return false;
    const int error = activeFaults->beforeStep(step);
    if (error == 0) return false;
    errno = error;
    return true;
}

struct StepError {
    WriteStep step;
    int error;
};

bool isTempSuffixChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The temporary beside the target; removed again unless it was renamed over it.
class TempFile {
public:
    explicit TempFile(const std::string& target)
        : path_(folderOf(target) + "/." + fileNameOf(target) + std::string(kTempMarker) +
                std::string(kTempSuffixLength, 'X')) {
        if (!injectedFailure(WriteStep::Create)) fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        created_ = fd_ >= 0;
        createError_ = created_ ? 0 : errno;
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        // A temporary that cannot be removed is an orphan for the next clean-up.
        if (created_ && !renamed_) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool created() const { return created_; }
    int createError() const { return createError_; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    int releaseFd() { return std::exchange(fd_, -1); }
    void renamed() { renamed_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    int createError_ = 0;
    bool renamed_ = false;
};

// Short writes go on where they stopped; an interrupted write is repeated.
bool writeAll(int fd, std::string_view bytes) {
    const WriteFaults* faults = activeFaults;
    const bool interrupts = faults && faults->interruptEveryWrite;
    const std::size_t limit = faults && faults->maxBytesPerWrite ? faults->maxBytesPerWrite : bytes.size();
    bool interruptNext = interrupts;
    while (!bytes.empty()) {
        if (injectedFailure(WriteStep::Write)) return false;
        ssize_t written = -1;
        if (interruptNext) {
            errno = EINTR;
        } else {
            written = ::write(fd, bytes.data(), std::min(bytes.size(), limit));
        }
        interruptNext = interrupts && !interruptNext;
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) { // no progress and no error: give up rather than spin
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Closing after a successful fsync: EINTR means Linux has released the
// descriptor already, and the data is on disk, so it is no failure.
int closeError(int fd) {
    int error = ::close(fd) == 0 ? 0 : errno;
    if (error == EINTR) error = 0;
    if (injectedFailure(WriteStep::Close)) error = errno;
    return error;
}

// Some file systems cannot sync a folder (EINVAL); they have nothing to sync.
int folderSyncError(const std::string& folder) {
    if (injectedFailure(WriteStep::FolderSync)) return errno;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return (error == EINVAL || error == ENOTSUP) ? 0 : error;
}

// The new file's mode: the old file's, or private for a new one. A file the
// user has made read-only is not replaced behind their back.
std::optional<StepError> modeFor(const std::string& target, mode_t& mode) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return StepError{WriteStep::Create, errno};
        mode = kNewFileMode;
        return std::nullopt;
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return StepError{WriteStep::Create, errno};
    mode = st.st_mode & 07777;
    return std::nullopt;
}

std::optional<StepError> writeAndRename(const std::string& target, std::string_view bytes) {
    mode_t mode = kNewFileMode;
    if (auto error = modeFor(target, mode)) return error;
    TempFile temp(target);
    if (!temp.created()) return StepError{WriteStep::Create, temp.createError()};
    if (mode != kNewFileMode && ::fchmod(temp.fd(), mode) != 0) return StepError{WriteStep::Create, errno};
    if (!writeAll(temp.fd(), bytes)) return StepError{WriteStep::Write, errno};
    if (injectedFailure(WriteStep::FileSync) || ::fsync(temp.fd()) != 0) return StepError{WriteStep::FileSync, errno};
    if (const int error = closeError(temp.releaseFd())) return StepError{WriteStep::Close, error};
    if (injectedFailure(WriteStep::Rename) || ::rename(temp.path().c_str(), target.c_str()) != 0)
        return StepError{WriteStep::Rename, errno};
    temp.renamed();
    if (const int error = folderSyncError(folderOf(target))) return StepError{WriteStep::FolderSync, error};
    return std::nullopt;
}

std::string describe(const StepError& failure) {
    switch (failure.step) {
    case WriteStep::Rename: return "die Datei kann nicht ersetzt werden: " + reasonFor(failure.error);
    case WriteStep::FolderSync:
        // The new content is in place but may not survive a power cut; writing
        // it once more does no harm.
        return "die Änderung ist nicht sicher auf dem Datenträger angekommen: " + reasonFor(failure.error);
    default: return reasonFor(failure.error);
    }
}

} // namespace

WriteResult replace(const std::string& path, std::string_view bytes) {
    if (std::optional<StepError> failure = writeAndRename(resolvedPath(path), bytes))
        return WriteResult::failed(describe(*failure));
    return WriteResult::done();
}

std::string resolvedPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::optional<std::string> targetOfTemporary(std::string_view fileName) {
    if (fileName.size() < 2 + kTempMarker.size() + kTempSuffixLength || fileName.front() != '.') return std::nullopt;
    const std::string_view suffix = fileName.substr(fileName.size() - kTempSuffixLength);
    if (!std::all_of(suffix.begin(), suffix.end(), isTempSuffixChar)) return std::nullopt;
    const std::size_t markerAt = fileName.size() - kTempSuffixLength - kTempMarker.size();
    if (fileName.substr(markerAt, kTempMarker.size()) != kTempMarker) return std::nullopt;
    return std::string(fileName.substr(1, markerAt - 1));
}

std::string reasonFor(int error) {
    switch (error) {
    case ENOSPC: return "kein Speicherplatz mehr auf dem Datenträger";
    case EDQUOT: return "das Speicherkontingent auf dem Datenträger ist erschöpft";
    case EROFS: return "der Datenträger ist schreibgeschützt";
    case EACCES:
    case EPERM: return "keine Schreibberechtigung";
    case EIO: return "Ein-/Ausgabefehler des Datenträgers";
    case EFBIG: return "die Datei ist zu groß";
    case ENOENT: return "der Ordner existiert nicht";
    case ENOTDIR: return "ein Teil des Pfades ist kein Ordner";
    case EISDIR: return "an Stelle der Datei steht ein Ordner";
    case ENAMETOOLONG: return "der Dateiname ist zu lang";
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien";
    case ENOMEM: return "nicht genug Arbeitsspeicher";
    default: break;
    }
    const char* name = ::strerrorname_np(error);
    return std::string("Systemfehler ") + (name ? name : std::to_string(error));
}

std::string reasonForRead(int error) {
    return error == EACCES || error == EPERM ? "keine Leseberechtigung" : reasonFor(error);
}

WriteFaults WriteFaults::failing(WriteStep step, int error) {
    WriteFaults faults;
    faults.beforeStep = [step, error](WriteStep now) { return now == step ? error : 0; };
    return faults;
}

ScopedWriteFaults::ScopedWriteFaults(const WriteFaults& faults) : faults_(faults), previous_(activeFaults) {
    activeFaults = &faults_;
}

ScopedWriteFaults::~ScopedWriteFaults() { activeFaults = previous_; }

} // namespace velmora::atomic_file
