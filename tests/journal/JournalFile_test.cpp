// The journal file: two slots written in turn, a torn slot passed over, the
// writer's lock, private modes, and writes that need no free space.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include <QCryptographicHash>
#include <QTemporaryDir>

#include "journal/JournalFile.h"
#include "support/PrivateTmpfs.h"

namespace velmora {
namespace {

class JournalFileTest : public ::testing::Test {
protected:
    std::string path() const { return dir_.filePath("zelvar.journal").toStdString(); }
    QTemporaryDir dir_;
};

unsigned modeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void corruptByte(const std::string& path, std::streamoff at) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(at);
    file.put('\x55');
}

TEST_F(JournalFileTest, TheNewestWriteIsReadBackAndWritesTakeTurnsInTheTwoSlots) {
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    EXPECT_EQ(writer.read(), ""); // no file yet
    for (const char* state : {"eins", "zwei", "drei"}) ASSERT_TRUE(writer.write(state).ok) << state;
    EXPECT_EQ(writer.read(), "drei");
    writer.release();

    JournalFile next(path());
    ASSERT_TRUE(next.claim());
    EXPECT_EQ(next.read(), "drei");
    ASSERT_TRUE(next.write("vier").ok);                 // goes to the older slot, not over "drei"
    corruptByte(path(), JournalFile::kHeaderBytes + 1); // slot 0 held "eins", then "drei"
    EXPECT_EQ(next.read(), "vier");
    ASSERT_TRUE(next.write("").ok); // an empty state is a state too
    EXPECT_EQ(next.read(), "");
}

// Slot 0 of the file given the sequence number `sequence`, its checksum made
// right: as a hand edit could leave it.
void setFirstSlotSequence(const std::string& path, std::uint64_t sequence) {
    std::string bytes = fileBytes(path);
    for (int i = 0; i < 8; ++i) bytes[8 + i] = static_cast<char>(sequence >> (8 * i));
    const auto length = static_cast<std::size_t>(static_cast<unsigned char>(bytes[16])) |
                        static_cast<std::size_t>(static_cast<unsigned char>(bytes[17])) << 8;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(bytes.data() + 8, 24));
    hash.addData(QByteArrayView(bytes.data() + JournalFile::kHeaderBytes, static_cast<qsizetype>(length)));
    bytes.replace(32, 32, hash.result().toStdString());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST_F(JournalFileTest, ASequenceNumberAtItsLimitStartsANewFileRatherThanWrapToNothing) {
    {
        JournalFile writer(path());
        ASSERT_TRUE(writer.claim());
        ASSERT_TRUE(writer.write("alt").ok);
    }
    setFirstSlotSequence(path(), std::numeric_limits<std::uint64_t>::max());
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    ASSERT_EQ(writer.read(), "alt");
    for (const char* state : {"neu", "neuer"}) {
        ASSERT_TRUE(writer.write(state).ok) << state;
        EXPECT_EQ(JournalFile(path()).read(), state);
    }
}

TEST_F(JournalFileTest, ATornSlotIsPassedOverForTheStateBeforeIt) {
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    ASSERT_TRUE(writer.write("vorher").ok);
    ASSERT_TRUE(writer.write("nachher").ok); // slot 1
    corruptByte(path(), JournalFile::kSlotBytes + JournalFile::kHeaderBytes + 3);
    EXPECT_EQ(writer.read(), "vorher");
    ASSERT_TRUE(writer.write("neu").ok); // over the torn slot, not over "vorher"
    EXPECT_EQ(writer.read(), "neu");
}

// Once nothing is intact the file is damaged, not empty: it is never written
// over, until it has been set aside under a name that says so.
TEST_F(JournalFileTest, AFileWithNoIntactSlotIsNeverWrittenOver) {
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    ASSERT_TRUE(writer.write("eins").ok);
    ASSERT_TRUE(writer.write("zwei").ok);
    corruptByte(path(), 10);
    corruptByte(path(), JournalFile::kSlotBytes + 10);
    const JournalReading reading = writer.inspect();
    EXPECT_EQ(reading.found, JournalReading::Found::Damaged);
    EXPECT_EQ(reading.reason, "kein Teil der Datei ist unversehrt");
    const std::string damaged = fileBytes(path());
    const WriteResult refused = writer.write("neu");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(fileBytes(path()), damaged);

    std::string aside;
    ASSERT_TRUE(writer.setAside("beschaedigt", &aside).ok);
    EXPECT_EQ(aside.rfind(path() + ".beschaedigt-", 0), 0u) << aside;
    EXPECT_EQ(fileBytes(aside), damaged);
    EXPECT_EQ(journalsSetAside(path(), {"beschaedigt"}), std::vector<std::string>{aside});
    ASSERT_TRUE(writer.write("neu").ok);
    EXPECT_EQ(writer.read(), "neu");
    std::string second;
    ASSERT_TRUE(writer.setAside("beschaedigt", &second).ok); // the same second: a name of its own
    EXPECT_NE(second, aside);
}

TEST_F(JournalFileTest, AFileCutShortKeepsTheWholeStateBeforeTheCutAndLaterWritesFollowIt) {
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    ASSERT_TRUE(writer.write("vorher").ok);
    ASSERT_TRUE(writer.write("nachher").ok); // slot 1, whole before the cut
    writer.release();
    ASSERT_EQ(::truncate(path().c_str(), JournalFile::kSlotBytes + JournalFile::kHeaderBytes + 100), 0);

    JournalFile next(path());
    ASSERT_TRUE(next.claim());
    EXPECT_EQ(next.read(), "nachher");
    ASSERT_TRUE(next.write("neu").ok); // fills the file up; must count as newer than "nachher"
    EXPECT_EQ(next.read(), "neu");
    next.release();
    EXPECT_EQ(JournalFile(path()).read(), "neu");
}

TEST_F(JournalFileTest, OnlyOneLiveWriterAndItsFilesArePrivate) {
    JournalFile first(path());
    JournalFile second(path());
    ASSERT_TRUE(first.claim());
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.write("fremd").ok);
    ASSERT_TRUE(first.write("meins").ok);
    EXPECT_EQ(modeOf(path()), 0600u);
    EXPECT_EQ(modeOf(path() + ".lock"), 0600u);
    first.release(); // as the kernel does for a writer that died
    ASSERT_TRUE(second.claim());
    EXPECT_EQ(second.read(), "meins");
    ASSERT_TRUE(second.remove().ok);
    EXPECT_EQ(modeOf(path()), 0u);
    EXPECT_EQ(second.read(), "");
}

TEST_F(JournalFileTest, AStateTooBigForASlotFailsSayingWhy) {
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    ASSERT_TRUE(writer.write("klein").ok);
    const WriteResult result = writer.write(std::string(JournalFile::kMaxStateBytes + 1, 'x'));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "zu viele zurückgehaltene Einträge");
    EXPECT_EQ(writer.read(), "klein");
    EXPECT_TRUE(writer.write(std::string(JournalFile::kMaxStateBytes, 'y')).ok);
}

// The journal is what holds money records while the disk is full, so a write
// into it must need no free space once the file exists.
TEST_F(JournalFileTest, WritesGoOnWhenTheDiskIsFull) {
    const std::string folder = dir_.path().toStdString();
    const testing::ChildOutcome outcome = testing::runInPrivateMountNamespace([&](std::string& report) {
        if ((report = testing::mountTmpfs(folder, std::size_t{128} * 1024)) != "") return testing::kCannotRunHere;
        JournalFile writer(path());
        if (!writer.claim() || !writer.write("vorher").ok) return 1;
        if ((report = testing::fillLeaving(folder, 0)) != "") return 2;
        if (!writer.write("auf voller Platte").ok) return 3;
        if (writer.read() != "auf voller Platte") return 4;
        // A new journal cannot be made now, and none is left half-made.
        JournalFile fresh(folder + "/neu.journal");
        const WriteResult failed = fresh.claim() ? fresh.write("x") : WriteResult::failed("");
        report = failed.reason;
        if (failed.ok || failed.reason != "kein Speicherplatz mehr auf dem Datenträger") return 5;
        if ((report = testing::fillLeaving(folder, JournalFile::kSlotBytes)) != "") return 6;
        if (fresh.write("x").ok) return 7; // room for one slot is not room for the file
        report = "";
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name != "filler" && name.find(".lock") == std::string::npos && name != "zelvar.journal") report += name;
        }
        return report.empty() ? 0 : 8;
    });
    if (outcome.status == testing::kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

} // namespace
} // namespace velmora
