// A journal that cannot be taken at its word (unreadable, another user's, a
// link, a pipe, empty, both slots torn, a newer version's) is never taken for
// empty, never written over and never deleted: it is set aside under a name
// that says why, the user is told, the run's own money is kept in a new
// journal, and once a set-aside journal reads its money is booked, once.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "journal/KeeperTestSupport.h"
#include "store/NumberParse.h"
#include "support/OtherUser.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;

// The files of a data folder with one old record and "Kosten" 10.00, and a
// run that crashed with a connection of 0.36 open: its journal is what the
// cases damage.
void crashedRun(KeeperFiles& files) {
    ASSERT_TRUE(files.log.write(record(8, 9, "3.60", "10.00")).ok);
    ASSERT_TRUE(files.profile.writeStrings("Standard", settings("10.00")).ok);
    RecordKeeper keeper(files.log, files.profile, files.journalPath(), [](const std::string&, const std::string&) {});
    keeper.start();
    keeper.checkpoint(openSince(9, 10, 3, "0.36", "10.36"));
} // gone without finish(), as a killed program

// A run after the damage: one connection of 0.12 on top of the total it
// finds. What it was told comes back as "title|text" lines.
std::string nextRun(KeeperFiles& files) {
    std::string told;
    RecordKeeper keeper(
        files.log, files.profile, files.journalPath(),
        [&told](const std::string& title, const std::string& text) { told += title + "|" + text + "\n"; });
    keeper.start();
    const std::string shown =
        keeper.pendingSetting("Kosten").value_or(files.profile.readString("Standard", "Kosten", "0"));
    const std::string total = formatTwoDecimals(parseLeadingDouble(shown).value_or(0) + 0.12);
    keeper.connectionEnded(record(9, 12, "0.12", total), settings(total));
    keeper.finish();
    return told;
}

std::string kosten(const KeeperFiles& files) { return files.profile.readString("Standard", "Kosten", ""); }

int recordsIn(const KeeperFiles& files) {
    const std::string log = files.logText();
    return static_cast<int>(std::count(log.begin(), log.end(), '['));
}

// The one file set aside beside the journal, "" when there is none.
std::string setAside(const KeeperFiles& files) {
    std::string found;
    for (const auto& entry : fs::directory_iterator(fs::path(files.journalPath()).parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("zelvar.journal.") && name != "zelvar.journal.lock") found = entry.path().string();
    }
    return found;
}

bool journalReadsAsState(const KeeperFiles& files) {
    return readJournalAt(files.journalPath()).found == JournalReading::Found::State;
}

void putByte(const std::string& path, std::streamoff at, char byte) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(at);
    file.put(byte);
}

struct Damage {
    const char* name;
    std::function<void(const std::string& journal, const std::string& keep)> apply;
    const char* title;      // what the user is told
    const char* reason;     // part of the text
    const char* label;      // in the set-aside name
    bool repairable = true; // putting the kept bytes back makes the money bookable
};

// The money of the crashed run stays out of the files but is kept; repaired,
// the next start books it once, beside the money of the run between.
TEST(DamagedJournal, EveryKindOfDamageIsToldKeptAndNeverTakenForEmpty) {
    const std::vector<Damage> damages{
        {"a symbolic link",
         [](const std::string& journal, const std::string& keep) {
             fs::rename(journal, keep);
             fs::create_symlink(keep, journal);
         },
         "Zwischenstand nicht lesbar", "symbolischer Verweis", ".unlesbar-"},
        {"a named pipe",
         [](const std::string& journal, const std::string& keep) {
             fs::rename(journal, keep);
             ASSERT_EQ(::mkfifo(journal.c_str(), 0600), 0);
         },
         "Zwischenstand nicht lesbar", "benannte Pipe", ".unlesbar-"},
        {"an empty file", [](const std::string& journal, const std::string&) { fs::resize_file(journal, 0); },
         "Zwischenstand beschädigt", "leer", ".beschaedigt-", false},
        {"both slots torn",
         [](const std::string& journal, const std::string&) {
             putByte(journal, JournalFile::kHeaderBytes + 2, 'x');
             putByte(journal, JournalFile::kSlotBytes + JournalFile::kHeaderBytes + 2, 'x');
         },
         "Zwischenstand beschädigt", "kein Teil der Datei ist unversehrt", ".beschaedigt-", false},
        {"a newer version's slot layout", // in one slot; ours in the other is older then
         [](const std::string& journal, const std::string&) { putByte(journal, 7, '2'); },
         "Zwischenstand einer neueren Version", "neueren Version", ".neuer-", false},
        {"a newer version's state",
         [](const std::string& journal, const std::string&) {
             fs::remove(journal);
             JournalFile newer(journal);
             ASSERT_TRUE(newer.claim());
             ASSERT_TRUE(newer.write("{\"format\":9,\"money\":[36]}").ok);
         },
         "Zwischenstand einer neueren Version", "neueren Version", ".neuer-", false},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        QTemporaryDir dir;
        KeeperFiles files(dir.path());
        crashedRun(files);
        const std::string keep = dir.filePath("kept").toStdString();
        damage.apply(files.journalPath(), keep);
        const bool wasPipe = fs::is_fifo(files.journalPath()); // never opened here: it would block
        const std::string damagedBytes = wasPipe ? "" : fileText(files.journalPath());

        const std::string told = nextRun(files);
        const std::string aside = setAside(files);
        ASSERT_NE(aside.find(damage.label), std::string::npos) << aside;
        EXPECT_EQ(told.rfind(std::string(damage.title) + "|" + files.journalPath() + ": ", 0), 0u) << told;
        EXPECT_NE(told.find(damage.reason), std::string::npos) << told;
        EXPECT_NE(told.find(aside), std::string::npos) << told;
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told; // told once
        if (wasPipe) {
            EXPECT_TRUE(fs::is_fifo(aside));
        } else if (!fs::is_symlink(aside)) {
            EXPECT_EQ(fileText(aside), damagedBytes); // kept byte for byte
        }
        EXPECT_EQ(kosten(files), "10.12"); // the run's own money, not the damaged journal's
        EXPECT_EQ(recordsIn(files), 2);
        EXPECT_TRUE(journalReadsAsState(files)); // a new journal, kept for the next run

        if (damage.repairable) { // the user puts the journal back under the name it was set aside as
            fs::remove(aside);
            fs::rename(keep, aside);
        }
        const std::string toldLater = nextRun(files);
        if (damage.repairable) {
            EXPECT_NE(toldLater.find("Zwischenstand nachgetragen|" + aside), std::string::npos) << toldLater;
            EXPECT_EQ(kosten(files), "10.60"); // 10.00 + 0.12 + 0.36 booked late + 0.12
            EXPECT_EQ(recordsIn(files), 4);
            EXPECT_FALSE(fs::exists(fs::symlink_status(aside)));
        } else {
            EXPECT_EQ(kosten(files), "10.24");
            EXPECT_TRUE(fs::exists(fs::symlink_status(aside)));
        }
        // Set aside for a newer version: told at every start while its money is missing.
        EXPECT_EQ(toldLater.find("weiterhin nicht lesbar") != std::string::npos, std::string(damage.label) == ".neuer-")
            << toldLater;
        nextRun(files); // nothing is booked twice
        EXPECT_EQ(kosten(files), damage.repairable ? "10.72" : "10.36");
    }
}

// Whose file it is and what its mode says, for a program that is not root.
// One that can be read is recovered at once (and replaced by a writable one);
// one that cannot is set aside, and booked once its owner gives it back.
TEST(DamagedJournal, AJournalWeMayNotReadIsSetAsideAndBookedOnceItCanBeRead) {
    struct Case {
        const char* name;
        std::function<int(const std::string&)> damage;
        std::function<int(const std::string&)> repair;
        bool readable;
    };
    const std::vector<Case> cases{
        {"left by root, 0600", [](const std::string& p) { return ::chown(p.c_str(), 0, 0); },
         [](const std::string& p) { return ::chown(p.c_str(), kOtherUid, kOtherUid); }, false},
        {"mode 000", [](const std::string& p) { return ::chmod(p.c_str(), 0); },
         [](const std::string& p) { return ::chmod(p.c_str(), 0600); }, false},
        {"left by root, 0644", [](const std::string& p) { return ::chown(p.c_str(), 0, 0) | ::chmod(p.c_str(), 0644); },
         nullptr, true},
        {"mode 0400", [](const std::string& p) { return ::chmod(p.c_str(), 0400); }, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(giveTo(dir.path().toStdString(), kOtherUid));
        KeeperFiles files(dir.path());
        ChildOutcome run = runAsOtherUser([&](std::string&) {
            crashedRun(files);
            return ::testing::Test::HasFailure() ? 1 : 0;
        });
        if (run.status == kCannotRunHere) GTEST_SKIP() << run.output;
        ASSERT_EQ(run.status, 0);
        ASSERT_EQ(c.damage(files.journalPath()), 0);

        run = runAsOtherUser([&](std::string& report) {
            report = nextRun(files);
            return 0;
        });
        ASSERT_EQ(run.status, 0);
        if (c.readable) {
            EXPECT_EQ(run.output, ""); // nothing to tell: the money is in the files
            EXPECT_EQ(kosten(files), "10.48");
            EXPECT_EQ(setAside(files), "");
            continue;
        }
        EXPECT_NE(run.output.find("Zwischenstand nicht lesbar|" + files.journalPath() + ": keine Leseberechtigung"),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(kosten(files), "10.12");
        const std::string aside = setAside(files);
        ASSERT_NE(aside, "");
        ASSERT_EQ(c.repair(aside), 0);
        run = runAsOtherUser([&](std::string& report) {
            report = nextRun(files);
            return 0;
        });
        EXPECT_NE(run.output.find("Zwischenstand nachgetragen"), std::string::npos) << run.output;
        EXPECT_EQ(kosten(files), "10.60");
        EXPECT_EQ(setAside(files), "");
    }
}

// Where even the renaming fails (a read-only file system), the journal is left
// exactly as it was, and this run says it keeps no journal.
TEST(DamagedJournal, AJournalThatCannotBeSetAsideIsLeftAsItIs) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const ChildOutcome outcome = runInPrivateMountNamespace([&](std::string& report) {
        if ((report = mountTmpfs(folder, std::size_t{256} * 1024)) != "") return kCannotRunHere;
        KeeperFiles files(dir.path());
        crashedRun(files);
        const std::string journal = files.journalPath();
        fs::rename(journal, folder + "/kept");
        if (::mkfifo(journal.c_str(), 0600) != 0) return 1;
        if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) return kCannotRunHere;
        report = nextRun(files);
        if (report.find("Zwischenstand nicht lesbar|" + journal + ": sie ist eine benannte Pipe") != 0) return 2;
        if (report.find("lässt sich nicht beiseitelegen") == std::string::npos) return 3;
        if (report.find("Zwischenstand nicht gesichert") != std::string::npos) return 4; // said once, not twice
        return fs::is_fifo(journal) && fileText(folder + "/kept").size() == 2 * JournalFile::kSlotBytes ? 0 : 5;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

} // namespace
} // namespace velmora::testing
