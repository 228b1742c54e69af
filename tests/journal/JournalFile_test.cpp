// The journal file: two slots written in turn, a torn slot passed over, the
// writer's lock, private modes, and writes that need no free space.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

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

TEST_F(JournalFileTest, ATornSlotIsPassedOverForTheStateBeforeIt) {
    JournalFile writer(path());
    ASSERT_TRUE(writer.claim());
    ASSERT_TRUE(writer.write("vorher").ok);
    ASSERT_TRUE(writer.write("nachher").ok); // slot 1
    corruptByte(path(), JournalFile::kSlotBytes + JournalFile::kHeaderBytes + 3);
    EXPECT_EQ(writer.read(), "vorher");
    corruptByte(path(), 10); // the other slot's sequence number: nothing intact left
    EXPECT_EQ(writer.read(), "");
    // A write after that still counts: the file is a journal again.
    ASSERT_TRUE(writer.write("neu").ok);
    EXPECT_EQ(writer.read(), "neu");
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
        if ((report = testing::mountTmpfs(folder, 128 * 1024)) != "") return testing::kCannotRunHere;
        JournalFile writer(path());
        if (!writer.claim() || !writer.write("vorher").ok) return 1;
        if ((report = testing::fillLeaving(folder, 0)) != "") return 2;
        if (!writer.write("auf voller Platte").ok) return 3;
        if (writer.read() != "auf voller Platte") return 4;
        JournalFile fresh(folder + "/neu.journal"); // a new journal cannot be made now
        const WriteResult failed = fresh.claim() ? fresh.write("x") : WriteResult::failed("");
        report = failed.reason;
        return !failed.ok && failed.reason == "kein Speicherplatz mehr auf dem Datenträger" ? 0 : 5;
    });
    if (outcome.status == testing::kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

} // namespace
} // namespace velmora
