#include "journal/JournalFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>

#include "store/AtomicFile.h"
#include "store/DataPaths.h"

namespace velmora {
namespace {

constexpr std::array<char, 8> kMagic{'V', 'E', 'L', 'M', 'J', 'N', 'L', '1'};
constexpr std::size_t kFileBytes = 2 * JournalFile::kSlotBytes;
// Header: magic, sequence (8 bytes), state length (4), 12 reserved, SHA-256 (32).
constexpr std::size_t kSequenceAt = 8;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kDigestAt = 32;

void putLittleEndian(char* at, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t getLittleEndian(const char* at, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
    return value;
}

// Covers the sequence, the length and the state, so a slot torn anywhere fails.
QByteArray digestOf(const char* header, std::string_view state) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(header + kSequenceAt, kDigestAt - kSequenceAt));
    hash.addData(QByteArrayView(state.data(), static_cast<qsizetype>(state.size())));
    return hash.result();
}

struct Slot {
    bool intact = false;
    std::uint64_t sequence = 0;
    std::string state;
};

Slot parseSlot(const char* slot) {
    if (std::memcmp(slot, kMagic.data(), kMagic.size()) != 0) return {};
    const std::uint64_t length = getLittleEndian(slot + kLengthAt, 4);
    if (length > JournalFile::kMaxStateBytes) return {};
    const std::string_view state(slot + JournalFile::kHeaderBytes, length);
    const QByteArray digest = digestOf(slot, state);
    if (std::memcmp(slot + kDigestAt, digest.constData(), static_cast<std::size_t>(digest.size())) != 0) return {};
    return {true, getLittleEndian(slot + kSequenceAt, 8), std::string(state)};
}

// 0 when all bytes are written, else the error.
int writeAllAt(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    return 0;
}

int syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

WriteResult failedWith(int error) { return WriteResult::failed(atomic_file::reasonFor(error)); }

} // namespace

JournalFile::JournalFile(std::string path) : path_(std::move(path)) {}

JournalFile::~JournalFile() { release(); }

bool JournalFile::claim() {
    if (lock_) return true;
    if (makePrivateFolder(folderOf(path_)) != 0) return false;
    lock_.emplace(path_, std::chrono::milliseconds(0));
    if (!lock_->held()) lock_.reset();
    return lock_.has_value();
}

void JournalFile::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    scanned_ = false;
    lock_.reset(); // closing the lock file releases the lock
}

bool JournalFile::openFile(bool create) {
    if (fd_ >= 0) return true;
    const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
    fd_ = ::open(path_.c_str(), flags, 0600);
    return fd_ >= 0;
}

std::string JournalFile::read() {
    newestSequence_ = 0;
    newestSlot_ = 1;
    scanned_ = true;
    if (!openFile(false)) return {};
    std::vector<char> bytes(kFileBytes, '\0');
    ssize_t got = 0;
    do got = ::pread(fd_, bytes.data(), bytes.size(), 0);
    while (got < 0 && errno == EINTR);
    if (got < 0) return {};
    // A file cut short reads as the zeros the next write fills it up with: a
    // slot whose state lies whole before the cut still counts, so the next
    // write cannot go behind it with a lower sequence.
    std::string newest;
    for (int slot = 0; slot < 2; ++slot) {
        Slot parsed = parseSlot(bytes.data() + slot * kSlotBytes);
        if (!parsed.intact || parsed.sequence <= newestSequence_) continue;
        newestSequence_ = parsed.sequence;
        newestSlot_ = slot;
        newest = std::move(parsed.state);
    }
    return newest;
}

// The file at its full size before a slot is written, so that no later write
// needs space. Bytes already there are kept: a slot may hold the newest state.
WriteResult JournalFile::prepareFile() {
    if (!scanned_) read();
    if (!openFile(true)) return failedWith(errno);
    if (::fchmod(fd_, 0600) != 0 && errno != EPERM) return failedWith(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return failedWith(errno);
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == kFileBytes) return WriteResult::done();
    if (size > kFileBytes) {
        if (::ftruncate(fd_, static_cast<off_t>(kFileBytes)) != 0) return failedWith(errno);
    } else {
        const std::vector<char> zeros(kFileBytes - size, '\0');
        if (const int error = writeAllAt(fd_, zeros.data(), zeros.size(), static_cast<off_t>(size))) {
            return failedWith(error);
        }
    }
    if (::fsync(fd_) != 0) return failedWith(errno);
    if (const int error = syncFolderOf(path_)) return failedWith(error);
    return WriteResult::done();
}

WriteResult JournalFile::write(std::string_view state) {
    if (!lock_) return WriteResult::failed("die Datei gehört einem anderen laufenden Velmora");
    if (state.size() > kMaxStateBytes) return WriteResult::failed("zu viele zurückgehaltene Einträge");
    if (WriteResult prepared = prepareFile(); !prepared) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1; // opened afresh next time: the file may have been created meanwhile
        return prepared;
    }
    std::vector<char> slot(kHeaderBytes + state.size(), '\0');
    std::memcpy(slot.data(), kMagic.data(), kMagic.size());
    putLittleEndian(slot.data() + kSequenceAt, newestSequence_ + 1, 8);
    putLittleEndian(slot.data() + kLengthAt, state.size(), 4);
    const QByteArray digest = digestOf(slot.data(), state);
    std::memcpy(slot.data() + kDigestAt, digest.constData(), static_cast<std::size_t>(digest.size()));
    if (!state.empty()) std::memcpy(slot.data() + kHeaderBytes, state.data(), state.size());
    const int target = 1 - newestSlot_;
    if (const int error = writeAllAt(fd_, slot.data(), slot.size(), static_cast<off_t>(target * kSlotBytes))) {
        return failedWith(error);
    }
    if (::fdatasync(fd_) != 0) return failedWith(errno);
    ++newestSequence_;
    newestSlot_ = target;
    return WriteResult::done();
}

WriteResult JournalFile::remove() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    scanned_ = false;
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return failedWith(errno);
    if (const int error = syncFolderOf(path_)) return failedWith(error);
    return WriteResult::done();
}

} // namespace velmora
