// Each step of a write made to fail through the fault seam: the old file stays
// whole, no temporary is left behind, and the failure says why.

#include "store/AtomicFile.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include "store/ConnectionLog.h"
#include "store/ProfileFile.h"
#include "store/SettingsProfile.h"
#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

using atomic_file::ScopedWriteFaults;
using atomic_file::WriteFaults;
using atomic_file::WriteStep;

class AtomicFileTest : public test::TempDirTest {
protected:
    // Names in the folder other than the files themselves and their locks.
    std::string strayFiles() const {
        std::string names;
        for (const QString& name : dir_.entryList(QDir::Files | QDir::Hidden)) {
            if (name != "velmora.INI" && name != "zelvar.log" && !name.endsWith(".lock"))
                names += name.toStdString() + " ";
        }
        return names;
    }
    mode_t modeOf(const std::string& path) const {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    QDir dir_{QString::fromStdString(pathOf(""))};
    std::string file_ = pathOf("velmora.INI");
};

struct StepCase {
    WriteStep step;
    int error;
    const char* reason;
};

TEST_F(AtomicFileTest, AFailedStepBeforeTheRenameKeepsTheOldFileWholeAndSaysWhy) {
    const std::string before = "; mine\n[Standard]\nKosten=125.40\n";
    const StepCase cases[] = {
        {WriteStep::Create, EACCES, "keine Schreibberechtigung"},
        {WriteStep::Write, ENOSPC, "kein Speicherplatz mehr auf dem Datenträger"},
        {WriteStep::FileSync, EIO, "Ein-/Ausgabefehler des Datenträgers"},
        {WriteStep::Close, EDQUOT, "das Speicherkontingent auf dem Datenträger ist erschöpft"},
        {WriteStep::Rename, EROFS, "die Datei kann nicht ersetzt werden: der Datenträger ist schreibgeschützt"},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.reason);
        test::writeFileBytes(file_, before);
        SettingsProfile profile(file_);
        ScopedWriteFaults faults(WriteFaults::failing(c.step, c.error));
        const WriteResult result = profile.writeString("Standard", "Kosten", "130.00");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(test::readFileBytes(file_), before);
        EXPECT_EQ(profile.readString("Standard", "Kosten", ""), "125.40");
        EXPECT_EQ(strayFiles(), "");
    }
}

TEST_F(AtomicFileTest, AFailedLogWriteKeepsEveryEarlierRecord) {
    ConnectionLog log(pathOf("zelvar.log"));
    const LogRecord first{{.year = 2026, .month = 3, .day = 5, .hour = 7},
                          {.year = 2026, .month = 3, .day = 5, .hour = 8},
                          "0.48",
                          "0.48"};
    ASSERT_TRUE(log.write(first));
    const std::string before = test::readFileBytes(log.path());
    LogRecord second = first;
    second.end.hour = 9;
    ScopedWriteFaults faults(WriteFaults::failing(WriteStep::Write, ENOSPC));
    EXPECT_EQ(log.write(second).reason, "kein Speicherplatz mehr auf dem Datenträger");
    EXPECT_EQ(test::readFileBytes(log.path()), before);
}

// After the rename the new content is in place; that it may not survive a
// power cut is still reported, and writing it again is harmless.
TEST_F(AtomicFileTest, AFailedFolderSyncIsReportedWithTheNewContentInPlace) {
    SettingsProfile profile(file_);
    ASSERT_TRUE(profile.writeString("Standard", "Kosten", "1.00"));
    {
        ScopedWriteFaults faults(WriteFaults::failing(WriteStep::FolderSync, EIO));
        const WriteResult result = profile.writeString("Standard", "Kosten", "2.00");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.reason, "die Änderung ist nicht sicher auf dem Datenträger angekommen: "
                                 "Ein-/Ausgabefehler des Datenträgers");
    }
    EXPECT_EQ(test::readFileBytes(file_), "[Standard]\nKosten=2.00\n");
    EXPECT_EQ(strayFiles(), "");
    EXPECT_TRUE(profile.writeString("Standard", "Kosten", "2.00"));
    EXPECT_EQ(test::readFileBytes(file_), "[Standard]\nKosten=2.00\n");
}

TEST_F(AtomicFileTest, ShortAndInterruptedWritesStillWriteEveryByte) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += static_cast<char>('a' + i % 26);
    WriteFaults faults;
    faults.maxBytesPerWrite = 7;
    faults.interruptEveryWrite = true;
    ScopedWriteFaults active(faults);
    ASSERT_TRUE(profile_file::replaceWhole(file_, bytes));
    EXPECT_EQ(test::readFileBytes(file_), bytes);
}

TEST_F(AtomicFileTest, NewFilesArePrivateAndAnExistingFileKeepsItsMode) {
    const mode_t oldMask = ::umask(022);
    SettingsProfile profile(file_);
    ASSERT_TRUE(profile.writeString("S", "k", "1"));
    EXPECT_EQ(modeOf(file_), 0600u);
    ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
    ASSERT_TRUE(profile.writeString("S", "k", "2"));
    EXPECT_EQ(modeOf(file_), 0640u);
    ::umask(oldMask);
}

TEST_F(AtomicFileTest, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    const std::string real = pathOf("elsewhere.INI");
    test::writeFileBytes(real, "[S]\nk=1\n");
    ASSERT_EQ(::symlink(real.c_str(), file_.c_str()), 0);
    SettingsProfile profile(file_);
    ASSERT_TRUE(profile.writeString("S", "k", "2"));
    EXPECT_EQ(test::readFileBytes(real), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::lstat(file_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(AtomicFileNames, OnlyOurOwnTemporaryNamesAreRecognised) {
    EXPECT_EQ(atomic_file::targetOfTemporary(".zelvar.log.velmora-tmp-a1B2c3"), "zelvar.log");
    EXPECT_EQ(atomic_file::targetOfTemporary("..hidden.velmora-tmp-ZZZZZZ"), ".hidden");
    for (const char* other :
         {"zelvar.log.velmora-tmp-a1B2c3", ".zelvar.log.velmora-tmp-a1B2c", ".zelvar.log.velmora-tmp-a1B2c3d",
          ".zelvar.log.velmora-tmp-a1B_c3", "..velmora-tmp-a1B2c3", ".zelvar.log.tmp-a1B2c3", "zelvar.log.a1B2c3",
          ".zelvar.log.swp"}) {
        EXPECT_EQ(atomic_file::targetOfTemporary(other), std::nullopt) << other;
    }
}

} // namespace
} // namespace velmora
