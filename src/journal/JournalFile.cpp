#include "journal/JournalFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>

#include "store/AtomicFile.h"
#include "store/DataPaths.h"

namespace velmora {
namespace {

constexpr std::array<char, 8> kMagic{'V', 'E', 'L', 'M', 'J', 'N', 'L', '1'};
constexpr std::size_t kMagicStem = 7; // "VELMJNL": the last byte is the layout's number
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
    bool newerLayout = false;
    std::uint64_t sequence = 0;
    std::string state;
};

Slot parseSlot(const char* slot) {
    if (std::memcmp(slot, kMagic.data(), kMagicStem) == 0 && slot[kMagicStem] > kMagic[kMagicStem] &&
        slot[kMagicStem] <= '9')
        return {false, true, 0, {}};
    if (std::memcmp(slot, kMagic.data(), kMagic.size()) != 0) return {};
    const std::uint64_t length = getLittleEndian(slot + kLengthAt, 4);
    if (length > JournalFile::kMaxStateBytes) return {};
    const std::string_view state(slot + JournalFile::kHeaderBytes, length);
    const QByteArray digest = digestOf(slot, state);
    if (std::memcmp(slot + kDigestAt, digest.constData(), static_cast<std::size_t>(digest.size())) != 0) return {};
    return {true, false, getLittleEndian(slot + kSequenceAt, 8), std::string(state)};
}

// One slot's bytes: header and state.
std::vector<char> slotBytes(std::uint64_t sequence, std::string_view state) {
    std::vector<char> slot(JournalFile::kHeaderBytes + state.size(), '\0');
    std::memcpy(slot.data(), kMagic.data(), kMagic.size());
    putLittleEndian(slot.data() + kSequenceAt, sequence, 8);
    putLittleEndian(slot.data() + kLengthAt, state.size(), 4);
    const QByteArray digest = digestOf(slot.data(), state);
    std::memcpy(slot.data() + kDigestAt, digest.constData(), static_cast<std::size_t>(digest.size()));
    if (!state.empty()) std::memcpy(slot.data() + JournalFile::kHeaderBytes, state.data(), state.size());
    return slot;
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

// Reads up to `size` bytes from the start; the count, or -1 with errno set.
ssize_t readAllAt(int fd, char* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, data + got, size - got, static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

int syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return error;
}

WriteResult failedWith(int error) { return WriteResult::failed(atomic_file::reasonFor(error)); }

// Why a file cannot be read, in the user's words (reasonFor speaks of writing).
std::string readReason(int error) {
    switch (error) {
    case ELOOP: return "sie ist ein symbolischer Verweis, keine Datei";
    case ENXIO: return "sie ist keine gewöhnliche Datei";
    default: return atomic_file::reasonForRead(error);
    }
}

std::string kindReason(mode_t mode) {
    if (S_ISFIFO(mode)) return "sie ist eine benannte Pipe, keine Datei";
    if (S_ISDIR(mode)) return "an Stelle der Datei steht ein Ordner";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "sie ist ein Gerät, keine Datei";
    return "sie ist keine gewöhnliche Datei";
}

JournalReading unreadable(std::string reason) {
    JournalReading reading;
    reading.found = JournalReading::Found::Unreadable;
    reading.reason = std::move(reason);
    return reading;
}

JournalReading readOpened(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return unreadable(readReason(errno));
    if (!S_ISREG(info.st_mode)) return unreadable(kindReason(info.st_mode));
    std::vector<char> bytes(kFileBytes, '\0');
    const ssize_t got = readAllAt(fd, bytes.data(), bytes.size());
    if (got < 0) return unreadable(readReason(errno));
    JournalReading reading;
    bool newer = false;
    for (int slot = 0; slot < 2; ++slot) {
        if (static_cast<std::size_t>(got) < (slot + 1) * JournalFile::kHeaderBytes) break;
        Slot parsed = parseSlot(bytes.data() + slot * JournalFile::kSlotBytes);
        newer = newer || parsed.newerLayout;
        if (!parsed.intact || parsed.sequence <= reading.sequence) continue;
        reading.found = JournalReading::Found::State;
        reading.sequence = parsed.sequence;
        reading.slot = slot;
        reading.state = std::move(parsed.state);
    }
    if (newer) { // its own newest state may be in the other slot: this one is not the newest
        reading = {};
        reading.found = JournalReading::Found::Newer;
        reading.reason = "sie stammt von einer neueren Version von Velmora";
    } else if (reading.found != JournalReading::Found::State) {
        reading.found = JournalReading::Found::Damaged;
        reading.reason = got == 0 ? "die Datei ist leer" : "kein Teil der Datei ist unversehrt";
    }
    return reading;
}

std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y%m%d-%H%M%S", &local);
    return text.data();
}

} // namespace

JournalReading readJournalAt(const std::string& path) {
    // Not blocking: a pipe put in its place must not stop the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? JournalReading{} : unreadable(readReason(errno));
    JournalReading reading = readOpened(fd);
    ::close(fd);
    return reading;
}

JournalFile::JournalFile(std::string path) : path_(std::move(path)) {}

JournalFile::~JournalFile() { release(); }

bool JournalFile::claim() {
    if (lock_) return true;
    if ((claimError_ = makePrivateFolder(folderOf(path_))) != 0) return false;
    lock_.emplace(path_, std::chrono::milliseconds(0));
    claimError_ = lock_->openError();
    if (!lock_->held()) lock_.reset();
    return lock_.has_value();
}

void JournalFile::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    scanned_.reset();
    lock_.reset(); // closing the lock file releases the lock
}

JournalReading JournalFile::inspect() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    scanned_ = readJournalAt(path_);
    newestSequence_ = scanned_->found == JournalReading::Found::State ? scanned_->sequence : 0;
    newestSlot_ = scanned_->found == JournalReading::Found::State ? scanned_->slot : 1;
    return *scanned_;
}

std::string JournalFile::read() { return inspect().state; }

// Both slots in a temporary file beside the journal, the state in the first,
// renamed into place: the file is never seen half-made, and needs its space
// only now. Also replaces a journal that was read but cannot be written.
WriteResult JournalFile::create(std::string_view state) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    std::vector<char> image(kFileBytes, '\0');
    const std::vector<char> first = slotBytes(1, state); // the only state in the new file
    std::memcpy(image.data(), first.data(), first.size());
    std::string temp = folderOf(path_) + "/." + fileNameOf(path_) + ".velmora-tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failedWith(errno);
    int error = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    if (error == 0) error = writeAllAt(fd, image.data(), image.size(), 0);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path_.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return failedWith(error);
    }
    newestSequence_ = 1;
    newestSlot_ = 0;
    scanned_ = JournalReading{JournalReading::Found::State, std::string(state), {}, newestSequence_, 0};
    if (const int synced = syncFolderOf(path_)) return failedWith(synced);
    return WriteResult::done();
}

// The file at its full size before a slot is written, so that no later write
// needs space. Bytes already there are kept: a slot may hold the newest state.
WriteResult JournalFile::growToFullSize() {
    if (::fchmod(fd_, 0600) != 0 && errno != EPERM) return failedWith(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return failedWith(errno);
    if (!S_ISREG(info.st_mode)) return WriteResult::failed("die Datei ist keine gewöhnliche Datei");
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
    return WriteResult::done();
}

WriteResult JournalFile::write(std::string_view state) {
    if (!lock_) return WriteResult::failed("die Datei gehört einem anderen laufenden Velmora");
    if (state.size() > kMaxStateBytes) return WriteResult::failed("zu viele zurückgehaltene Einträge");
    if (!scanned_) inspect();
    using Found = JournalReading::Found;
    // A count run out (a hand-edited file) would wrap to 0, which reads as no
    // state: a new file counts from 1 again.
    if (scanned_->found == Found::Nothing || newestSequence_ == std::numeric_limits<std::uint64_t>::max())
        return create(state);
    if (scanned_->found != Found::State)
        return WriteResult::failed(scanned_->reason + "; sie wird nicht überschrieben");
    if (fd_ < 0) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0) {
            const int error = errno;
            // Read, but not ours to write (made read-only, left by another
            // user), or gone meanwhile: what it held has been read, so a new
            // file takes its place.
            if (error == EACCES || error == EPERM || error == ENOENT) return create(state);
            return failedWith(error);
        }
        if (WriteResult grown = growToFullSize(); !grown) {
            ::close(fd_);
            fd_ = -1; // opened afresh next time
            return grown;
        }
    }
    const std::vector<char> slot = slotBytes(newestSequence_ + 1, state);
    const int target = 1 - newestSlot_;
    if (const int error = writeAllAt(fd_, slot.data(), slot.size(), static_cast<off_t>(target * kSlotBytes))) {
        return failedWith(error);
    }
    if (::fdatasync(fd_) != 0) return failedWith(errno);
    ++newestSequence_;
    newestSlot_ = target;
    return WriteResult::done();
}

WriteResult JournalFile::setAside(std::string_view label, std::string* asideName) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    const std::string stem = path_ + "." + std::string(label) + "-" + localStamp();
    for (int n = 1; n < 100; ++n) {
        const std::string name = n == 1 ? stem : stem + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST) continue;
            return failedWith(errno);
        }
        if (asideName) *asideName = name;
        scanned_ = JournalReading{};
        newestSequence_ = 0;
        newestSlot_ = 1;
        if (const int error = syncFolderOf(path_)) return failedWith(error);
        return WriteResult::done();
    }
    return failedWith(EEXIST);
}

WriteResult JournalFile::remove() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    scanned_.reset();
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return failedWith(errno);
    if (const int error = syncFolderOf(path_)) return failedWith(error);
    return WriteResult::done();
}

std::vector<std::string> journalsSetAside(const std::string& path, const std::vector<std::string>& labels) {
    std::vector<std::string> found;
    const std::string folder = folderOf(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.ends_with(".lock")) continue;
        for (const std::string& label : labels) {
            if (name.starts_with(fileNameOf(path) + "." + label + "-")) found.push_back(folder + "/" + entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace velmora
