// The journal's file of arbitrary bytes, as a crash, a full disk or a hand
// edit may leave it. Its two slots are read as written (the newest intact
// state wins, a slot failing its checksum is passed over), once as the bytes
// are and once with every slot's checksum made right, so that the fuzzer
// reaches what lies behind the checksum. Then the writer: a new state reads
// back at once and from a fresh reader, the slot that held the newest state
// is left untouched, and a torn later write gives the state before it back.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>

#include "journal/JournalFile.h"
#include "journal/JournalState.h"

namespace {

using velmora::JournalFile;

constexpr std::size_t kSlot = JournalFile::kSlotBytes;
constexpr std::string_view kMagic = "VELMJNL1";

const std::string& journalPath() {
    static QTemporaryDir dir(access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                                           : QDir::tempPath() + "/velmora-fuzz-XXXXXX");
    static const std::string path = dir.path().toStdString() + "/zelvar.journal";
    return path;
}

std::uint64_t littleEndian(std::string_view bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        value |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    return value;
}

// A slot's layout: magic (8), sequence (8), state length (4), reserved (12),
// SHA-256 of bytes 8..31 and the state (32), the state.
std::string digestOf(std::string_view slot, std::size_t length) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(slot.data() + 8, 24));
    hash.addData(QByteArrayView(slot.data() + JournalFile::kHeaderBytes, static_cast<qsizetype>(length)));
    return hash.result().toStdString();
}

std::size_t lengthOf(std::string_view slot) { return littleEndian(slot.substr(16, 4)); }

bool isIntact(std::string_view slot) {
    return slot.starts_with(kMagic) && lengthOf(slot) <= JournalFile::kMaxStateBytes &&
           slot.substr(32, 32) == digestOf(slot, lengthOf(slot));
}

// "VELMJNL2" to "VELMJNL9": a later version's file, which holds nothing this
// one may read or write over, whatever the other slot holds.
bool isNewerLayout(std::string_view slot) {
    return slot.starts_with(kMagic.substr(0, 7)) && slot[7] > kMagic[7] && slot[7] <= '9';
}

struct Newest {
    int slot = -1; // none intact
    std::string state;
    std::uint64_t sequence = 0;
};

// What the file holds by its layout: of the two slots, the intact one of the
// higher sequence (the first on a tie); none in a later version's file. Writers count from 1: a slot of
// sequence 0 holds nothing. A file cut short counts as filled up with zeros,
// as the next write fills it.
Newest newestIn(std::string_view file) {
    std::string whole(file.substr(0, 2 * kSlot));
    whole.resize(2 * kSlot, '\0');
    Newest newest;
    std::uint64_t sequence = 0;
    for (int slot = 0; slot < 2; ++slot) {
        const std::string_view bytes = std::string_view(whole).substr(slot * kSlot, kSlot);
        if (isNewerLayout(bytes)) return {};
        if (!isIntact(bytes)) continue;
        const std::uint64_t own = littleEndian(bytes.substr(8, 8));
        if (own <= sequence) continue;
        sequence = own;
        newest = {slot, std::string(bytes.substr(JournalFile::kHeaderBytes, lengthOf(bytes))), own};
    }
    return newest;
}

std::string resealed(std::string file) {
    for (std::size_t at = 0; at + kSlot <= file.size(); at += kSlot) {
        const std::string_view slot(file.data() + at, kSlot);
        if (!slot.starts_with(kMagic) || lengthOf(slot) > JournalFile::kMaxStateBytes) continue;
        const std::string digest = digestOf(slot, lengthOf(slot));
        file.replace(at + 32, 32, digest);
    }
    return file;
}

void writeFile(std::string_view bytes) {
    FILE* file = std::fopen(journalPath().c_str(), "wb");
    if (!file) std::abort();
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) std::abort();
}

std::string readFile() {
    std::string bytes(3 * kSlot, '\0');
    const int fd = ::open(journalPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) std::abort();
    const ssize_t got = ::pread(fd, bytes.data(), bytes.size(), 0);
    ::close(fd);
    if (got < 0) std::abort();
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

void flipByte(std::size_t at) {
    std::string bytes = readFile();
    bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
    writeFile(bytes);
}

std::string readFresh() { return JournalFile(journalPath()).read(); }

// The file holds `file`; its newest state is read, parsed as a journal state.
void checkRead(const std::string& file) {
    writeFile(file);
    const std::string state = readFresh();
    if (state != newestIn(file).state) std::abort();
    (void)velmora::parseJournalText(state);
}

// A file without an intact state is never written over: the writer refuses
// until it has been set aside, and then starts a new file.
void setAsideIfNotReadable(JournalFile& journal, Newest& before) {
    const velmora::JournalReading reading = journal.inspect();
    if (reading.found == velmora::JournalReading::Found::State) {
        if (reading.state != before.state) std::abort();
        return;
    }
    if (before.slot >= 0 || journal.write("0")) std::abort();
    std::string aside;
    if (!journal.setAside("beschaedigt", &aside) || std::remove(aside.c_str()) != 0) std::abort();
    before = {};
}

void checkWrites(const std::string& file, std::string_view input) {
    writeFile(file);
    Newest before = newestIn(file);
    JournalFile journal(journalPath());
    if (!journal.claim()) std::abort();
    setAsideIfNotReadable(journal, before);

    const std::string first = "1" + std::string(input.substr(0, 200));
    if (!journal.write(first) || journal.read() != first || readFresh() != first) std::abort();
    const std::string now = readFile();
    if (now.size() != 2 * kSlot) std::abort();
    std::string filled = file.substr(0, 2 * kSlot);
    filled.resize(2 * kSlot, '\0');
    // A count at its limit starts a new file, put in place whole by a rename,
    // so the old one is kept until then; else the newest slot stays as it was.
    const bool renewed = before.sequence == std::numeric_limits<std::uint64_t>::max();
    if (renewed && newestIn(now).sequence != 1) std::abort();
    if (before.slot >= 0 && !renewed &&
        now.substr(before.slot * kSlot, kSlot) != filled.substr(before.slot * kSlot, kSlot))
        std::abort();

    const std::string second = "2" + std::string(input.substr(input.size() > 300 ? input.size() - 300 : 0));
    if (!journal.write(second) || readFresh() != second) std::abort();
    const Newest afterSecond = newestIn(readFile());
    // A second write that renewed the file came whole by its rename: it
    // cannot be torn, and the first state went with the old file.
    if (newestIn(now).sequence == std::numeric_limits<std::uint64_t>::max()) {
        if (afterSecond.sequence != 1) std::abort();
        return;
    }
    flipByte(afterSecond.slot * kSlot + JournalFile::kHeaderBytes); // torn in its state
    if (readFresh() != first) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    checkRead(input);
    const std::string sealed = resealed(input);
    if (sealed != input) checkRead(sealed);
    checkWrites(sealed, input);
    return 0;
}
