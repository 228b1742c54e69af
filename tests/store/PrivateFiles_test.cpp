// The data folder, the lock files and the temporaries of killed writers: what
// the user's files say about them stays theirs, and nothing is left behind.

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>

#include "store/AtomicFile.h"
#include "store/ProfileFile.h"
#include "store/SettingsProfile.h"
#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

using atomic_file::WriteStep;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class PrivateFilesTest : public test::TempDirTest {
protected:
    std::vector<std::string> temporaries() const {
        std::vector<std::string> names;
        for (const QString& name : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden)) {
            if (name.contains("velmora-tmp")) names.push_back(name.toStdString());
        }
        return names;
    }
};

TEST_F(PrivateFilesTest, ANewDataFolderIsPrivateAndAnExistingOneKeepsItsMode) {
    const mode_t oldMask = ::umask(022);
    SettingsProfile fresh(pathOf("share/velmora/velmora.INI"));
    ASSERT_TRUE(fresh.writeString("S", "k", "1"));
    EXPECT_EQ(modeOf(pathOf("share")), 0700u);
    EXPECT_EQ(modeOf(pathOf("share/velmora")), 0700u);

    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(pathOf("chosen"))));
    ASSERT_EQ(::chmod(pathOf("chosen").c_str(), 0750), 0);
    SettingsProfile inChosen(pathOf("chosen/velmora.INI"));
    ASSERT_TRUE(inChosen.writeString("S", "k", "1"));
    EXPECT_EQ(modeOf(pathOf("chosen")), 0750u);
    ::umask(oldMask);
}

// Anyone who can open the lock file can hold it and block every write.
TEST_F(PrivateFilesTest, TheLockFileIsPrivateAndAnOlderOpenOneIsClosedUp) {
    const mode_t oldMask = ::umask(022);
    SettingsProfile profile(pathOf("velmora.INI"));
    ASSERT_TRUE(profile.writeString("S", "k", "1"));
    EXPECT_EQ(modeOf(pathOf("velmora.INI.lock")), 0600u);

    test::writeFileBytes(pathOf("zelvar.log.lock"), "");
    ASSERT_EQ(::chmod(pathOf("zelvar.log.lock").c_str(), 0644), 0);
    SettingsProfile log(pathOf("zelvar.log"));
    ASSERT_TRUE(log.writeString("S", "k", "1"));
    EXPECT_EQ(modeOf(pathOf("zelvar.log.lock")), 0600u);
    ::umask(oldMask);
}

// A child that writes the file and stops for good after the temporary is
// written and synced, telling the parent so. -1 when it did not get there.
pid_t writerStoppedBeforeRename(const std::string& file) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        atomic_file::WriteFaults faults;
        faults.beforeStep = [&ready](WriteStep step) {
            if (step == WriteStep::Rename) {
                const char here = '!';
                if (::write(ready[1], &here, 1) == 1) ::pause();
            }
            return 0;
        };
        atomic_file::ScopedWriteFaults active(faults);
        SettingsProfile(file).writeString("S", "k", std::string(10000, 'x'));
        ::_exit(1);
    }
    ::close(ready[1]);
    char here = 0;
    const bool stopped = pid > 0 && ::read(ready[0], &here, 1) == 1;
    ::close(ready[0]);
    if (!stopped && pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return stopped ? pid : -1;
}

void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

TEST_F(PrivateFilesTest, AKilledWritersTemporaryIsRemovedAndALiveWritersIsNot) {
    const std::string killedFile = pathOf("zelvar.log");
    const std::string liveFile = pathOf("velmora.INI");
    test::writeFileBytes(killedFile, "[S]\nk=old\n");
    const pid_t killed = writerStoppedBeforeRename(killedFile);
    const pid_t live = writerStoppedBeforeRename(liveFile);
    ASSERT_GT(killed, 0);
    ASSERT_GT(live, 0);
    killAndReap(killed);
    ASSERT_EQ(temporaries().size(), 2u);

    EXPECT_EQ(profile_file::removeOrphanTemps(pathOf("")), 1);
    ASSERT_EQ(temporaries().size(), 1u);
    EXPECT_EQ(*atomic_file::targetOfTemporary(temporaries().front()), "velmora.INI");
    EXPECT_EQ(test::readFileBytes(killedFile), "[S]\nk=old\n");

    // The next write of the file clears what a writer killed since has left.
    killAndReap(live);
    ASSERT_TRUE(SettingsProfile(liveFile).writeString("S", "k", "new"));
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(PrivateFilesTest, AnotherProgramsLookAlikeFilesAreLeftAlone) {
    test::writeFileBytes(pathOf("velmora.INI"), "[S]\nk=1\n");
    test::writeFileBytes(pathOf("velmora.INI.lock"), "");
    const std::vector<std::string> others{"velmora.INI.velmora-tmp-abc123", ".velmora.INI.velmora-tmp-abc12",
                                          ".velmora.INI.tmp-abc123", "velmora.INI.Xy12Ab",
                                          ".notes.txt.velmora-tmp-abc123" /* no lock: not ours */};
    for (const std::string& name : others) test::writeFileBytes(pathOf(name), "theirs");
    // Ours by name, but another user's file, a folder or a link: never removed either.
    const std::string othersTemp = pathOf(".velmora.INI.velmora-tmp-Other1");
    test::writeFileBytes(othersTemp, "theirs");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(othersTemp.c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(pathOf(".velmora.INI.velmora-tmp-Folder"))));
    ASSERT_EQ(::symlink("/etc/hostname", pathOf(".velmora.INI.velmora-tmp-Link12").c_str()), 0);

    EXPECT_EQ(profile_file::removeOrphanTemps(pathOf("")), 0);
    ASSERT_TRUE(SettingsProfile(pathOf("velmora.INI")).writeString("S", "k", "2"));
    for (const std::string& name : others) EXPECT_EQ(test::readFileBytes(pathOf(name)), "theirs") << name;
    if (root) {
        EXPECT_EQ(test::readFileBytes(othersTemp), "theirs");
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(pathOf(".velmora.INI.velmora-tmp-Folder"))).isDir());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(pathOf(".velmora.INI.velmora-tmp-Link12"))).isSymLink());
}

} // namespace
} // namespace velmora
