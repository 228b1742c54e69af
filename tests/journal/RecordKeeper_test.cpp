// What cannot be written stays pending and is told to the user; what the
// journal holds reaches the files at the next start.
#include <sys/mount.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>

#include "journal/KeeperTestSupport.h"
#include "support/PrivateTmpfs.h"

namespace velmora::testing {
namespace {

class RecordKeeperTest : public ::testing::Test {
protected:
    RecordKeeper& keeper() {
        if (!keeper_) {
            keeper_ = std::make_unique<RecordKeeper>(files_.log, files_.profile, files_.journalPath(),
                                                     [this](const std::string& title, const std::string& text) {
                                                         notices_.push_back({title, text});
                                                     });
        }
        return *keeper_;
    }
    // The program is gone without a word, as after a crash or a kill.
    void crash() { keeper_.reset(); }
    // A folder where the file should be: every write of that file fails.
    void block(const std::string& path) { ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path))); }
    void unblock(const std::string& path) { ASSERT_TRUE(QDir(QString::fromStdString(path)).removeRecursively()); }
    bool journalExists() const { return QFile::exists(QString::fromStdString(files_.journalPath())); }

    QTemporaryDir dir_;
    KeeperFiles files_{dir_.path()};
    std::vector<Notice> notices_;
    std::unique_ptr<RecordKeeper> keeper_;
};

TEST_F(RecordKeeperTest, AFailedLogWriteStaysPendingInOrderAndIsToldOnceEachWay) {
    block(files_.log.path());
    keeper().start();
    keeper().connectionEnded(record(9, 10, "0.24", "0.24"), settings("0.24"));
    keeper().connectionEnded(record(9, 12, "0.36", "0.60"), settings("0.60"));
    for (int tick = 0; tick < 5; ++tick) keeper().retry();
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].title, "Verbindung nicht aufgezeichnet");
    EXPECT_EQ(notices_[0].text.rfind(files_.log.path() + ": ", 0), 0u) << notices_[0].text;
    EXPECT_NE(notices_[0].text.find("versucht es jede Sekunde wieder"), std::string::npos);
    EXPECT_EQ(keeper().state().pendingRecords.size(), 2u);
    EXPECT_NE(files_.profileText().find("Kosten=0.60"), std::string::npos); // the settings were not held up

    unblock(files_.log.path());
    keeper().retry();
    EXPECT_EQ(files_.logText(), "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:30:00]\n"
                                "Verbindungskosten=0.24\nGesamtkosten bis dato=0.24\n"
                                "[Von 9.12.2026 12:00:00 bis 9.12.2026 12:30:00]\n"
                                "Verbindungskosten=0.36\nGesamtkosten bis dato=0.60\n");
    ASSERT_EQ(notices_.size(), 2u);
    EXPECT_EQ(notices_[1].title, "Verbindung aufgezeichnet");
    EXPECT_TRUE(keeper().state().empty());

    ASSERT_TRUE(QFile::remove(QString::fromStdString(files_.log.path()))); // a new failure is a new episode
    block(files_.log.path());
    keeper().connectionEnded(record(9, 14, "0.12", "0.72"), settings("0.72"));
    EXPECT_EQ(notices_.size(), 3u);
}

TEST_F(RecordKeeperTest, SettingsNotWrittenAreReadFromMemoryUntilTheyLand) {
    block(files_.profile.path());
    keeper().start();
    keeper().saveSettings(settings("12.34"));
    EXPECT_EQ(keeper().pendingSetting("Kosten"), "12.34");
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].title, "Gesamtkosten nicht gespeichert");
    keeper().saveSettings(settings("12.46")); // the newer settings replace the older
    EXPECT_EQ(keeper().pendingSetting("Kosten"), "12.46");
    unblock(files_.profile.path());
    keeper().retry();
    EXPECT_EQ(keeper().pendingSetting("Kosten"), std::nullopt);
    EXPECT_EQ(files_.profile.readString("Standard", "Kosten", ""), "12.46");
    ASSERT_EQ(notices_.size(), 2u);
    EXPECT_EQ(notices_[1].title, "Gesamtkosten gespeichert");
}

TEST_F(RecordKeeperTest, WhatIsStillPendingAtTheEndLandsAtTheNextStart) {
    block(files_.log.path());
    keeper().start();
    keeper().connectionEnded(record(9, 10, "0.24", "0.24"), settings("0.24"));
    keeper().finish();
    crash();
    EXPECT_TRUE(journalExists());
    unblock(files_.log.path());
    keeper().start();
    EXPECT_NE(files_.logText().find("Gesamtkosten bis dato=0.24"), std::string::npos);
    keeper().finish();
    // Nothing left to keep: emptied in place, its space kept for the next run.
    const JournalReading left = readJournalAt(files_.journalPath());
    ASSERT_EQ(left.found, JournalReading::Found::State);
    EXPECT_TRUE(parseJournalText(left.state)->empty());
    EXPECT_EQ(QFileInfo(QString::fromStdString(files_.journalPath())).size(), 2 * JournalFile::kSlotBytes);
}

TEST_F(RecordKeeperTest, ACheckpointedConnectionIsLoggedAtTheNextStartAndItsTotalStored) {
    files_.profile.writeString("Standard", "Kosten", "10.00");
    keeper().start();
    keeper().checkpoint(openSince(9, 10, 5, "0.48", "10.48"));
    keeper().checkpoint(openSince(9, 10, 6, "0.60", "10.60"));
    crash();
    keeper().start();
    EXPECT_EQ(files_.logText(), "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:06:00]\n"
                                "Verbindungskosten=0.60\nGesamtkosten bis dato=10.60\n");
    EXPECT_EQ(files_.profile.readString("Standard", "Kosten", ""), "10.60");
    EXPECT_TRUE(notices_.empty());
    crash(); // and once more: nothing is counted twice
    keeper().start();
    keeper().finish();
    EXPECT_EQ(files_.profile.readString("Standard", "Kosten", ""), "10.60");
    const std::string log = files_.logText();
    EXPECT_EQ(std::count(log.begin(), log.end(), '['), 1);
}

TEST_F(RecordKeeperTest, ResetDropsRecordsHeldBackForGood) {
    block(files_.log.path());
    keeper().start();
    keeper().connectionEnded(record(9, 10, "0.24", "5.24"), settings("5.24"));
    keeper().resetLog(settings("0.00"), openSince(9, 11, 1, "0.12", "0.00"));
    EXPECT_TRUE(keeper().state().pendingRecords.empty());
    unblock(files_.log.path());
    keeper().retry();
    crash();
    keeper().start();
    keeper().finish();
    // Only the connection that ran on after the reset, recovered from its checkpoint.
    EXPECT_EQ(files_.logText(), "[Von 9.12.2026 11:00:00 bis 9.12.2026 11:01:00]\n"
                                "Verbindungskosten=0.12\nGesamtkosten bis dato=0.00\n");
    EXPECT_EQ(files_.profile.readString("Standard", "Kosten", ""), "0.00");
}

TEST_F(RecordKeeperTest, AJournalOfALiveWriterIsLeftAlone) {
    JournalFile other(files_.journalPath());
    ASSERT_TRUE(other.claim());
    ASSERT_TRUE(other.write(journalText({openSince(9, 10, 5, "0.48", "10.48"), false, {}, {}})).ok);
    keeper().start();
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].title, "Zwischenstand nicht gesichert");
    EXPECT_NE(notices_[0].text.find("gehört einem anderen laufenden Velmora"), std::string::npos);
    keeper().checkpoint(openSince(9, 12, 1, "0.12", "0.12"));
    keeper().finish();
    EXPECT_EQ(files_.logText(), "");
    EXPECT_EQ(notices_.size(), 1u);
    EXPECT_NE(other.read().find("10.48"), std::string::npos);
}

// A full disk at the end of the run: the record is in the journal, which
// needs no space to be written, and reaches the log at the next start.
TEST_F(RecordKeeperTest, EndingWithAFullDiskLosesNothing) {
    const std::string folder = dir_.path().toStdString();
    const ChildOutcome outcome = runInPrivateMountNamespace([&](std::string& report) {
        if ((report = mountTmpfs(folder, std::size_t{256} * 1024)) != "") return kCannotRunHere;
        files_.profile.writeString("Standard", "Kosten", "10.00");
        keeper().start();
        keeper().checkpoint(openSince(9, 10, 1, "0.12", "10.12"));
        if ((report = fillLeaving(folder, 0)) != "") return 1;
        keeper().checkpoint(openSince(9, 10, 2, "0.24", "10.24"));
        keeper().connectionEnded(record(9, 10, "0.36", "10.36"), settings("10.36"));
        report = keeper().state().pendingRecords.empty() ? "the record was not held back" : "";
        if (!report.empty()) return 2;
        if (notices_.size() != 2) return 3; // the log and the profile, once each; the journal was written
        keeper().finish();
        crash();
        if (!QFile::remove(QString::fromStdString(folder + "/filler"))) return 4;
        keeper().start();
        keeper().finish();
        report = files_.logText() + files_.profileText();
        if (files_.logText() != "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:30:00]\n"
                                "Verbindungskosten=0.36\nGesamtkosten bis dato=10.36\n")
            return 5;
        return files_.profile.readString("Standard", "Kosten", "") == "10.36" ? 0 : 6;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

// Once every clean end deleted the journal, so a run that met a full disk at
// its first checkpoint had no journal, and a normal end lost its connection.
TEST_F(RecordKeeperTest, AFullDiskAtTheFirstCheckpointOfALaterRunLosesNothing) {
    const std::string folder = dir_.path().toStdString();
    const ChildOutcome outcome = runInPrivateMountNamespace([&](std::string& report) {
        if ((report = mountTmpfs(folder, std::size_t{256} * 1024)) != "") return kCannotRunHere;
        files_.profile.writeString("Standard", "Kosten", "10.00");
        keeper().start(); // the first run ever: nothing happens in it
        keeper().finish();
        crash();
        if ((report = fillLeaving(folder, 0)) != "") return 1;
        keeper().start();
        keeper().checkpoint(openSince(9, 10, 1, "0.12", "10.12"));
        keeper().connectionEnded(record(9, 10, "0.36", "10.36"), settings("10.36"));
        keeper().connectionEnded(record(9, 11, "0.12", "10.48"), settings("10.48"));
        keeper().finish();
        report = keeper().unsavedAtEnd();
        if (!report.empty()) return 2;
        crash();
        if (!QFile::remove(QString::fromStdString(folder + "/filler"))) return 3;
        keeper().start();
        keeper().finish();
        report = files_.logText() + files_.profileText();
        if (files_.logText() != "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:30:00]\n"
                                "Verbindungskosten=0.36\nGesamtkosten bis dato=10.36\n"
                                "[Von 9.12.2026 11:00:00 bis 9.12.2026 11:30:00]\n"
                                "Verbindungskosten=0.12\nGesamtkosten bis dato=10.48\n")
            return 4;
        return files_.profile.readString("Standard", "Kosten", "") == "10.48" ? 0 : 5;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

// The first run ever on a disk with no room at all: nothing can keep the
// money, so the end says, on stderr and for the window, what was not saved.
TEST_F(RecordKeeperTest, WhenNothingCanBeWrittenTheEndSaysWhatWasNotSaved) {
    const std::string folder = dir_.path().toStdString();
    const ChildOutcome outcome = runInPrivateMountNamespace([&](std::string& report) {
        if ((report = mountTmpfs(folder, std::size_t{128} * 1024)) != "") return kCannotRunHere;
        if ((report = fillLeaving(folder, 0)) != "") return 1;
        keeper().start();
        keeper().connectionEnded(record(9, 10, "0.36", "0.36"), settings("0.36"));
        ::testing::internal::CaptureStderr();
        keeper().finish();
        const std::string said = ::testing::internal::GetCapturedStderr();
        const std::string lost = "Velmora endet, ohne dies speichern zu können: die Verbindung von 9.12.2026 "
                                 "10:00:00 bis 9.12.2026 10:30:00 (0.36); die Gesamtkosten 0.36. " +
                                 files_.journalPath() + ": kein Speicherplatz mehr auf dem Datenträger.";
        report = said;
        if (keeper().unsavedAtEnd() != lost) return 2;
        return said == "velmora: Kosten nicht gespeichert: " + lost + "\n" ? 0 : 3;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

// A log that cannot be deleted (here a mount point: "busy") once let the
// zeroed total be written beside the old records. Now the reset waits, told
// once, with both files as they were, and is done whole once it can be.
TEST_F(RecordKeeperTest, AResetWhoseLogCannotBeDeletedLeavesBothFilesAsTheyWere) {
    const std::string folder = dir_.path().toStdString();
    const ChildOutcome outcome = runInPrivateMountNamespace([&](std::string& report) {
        if ((report = mountTmpfs(folder, std::size_t{256} * 1024)) != "") return kCannotRunHere;
        const std::string log = files_.log.path();
        if (!files_.log.write(record(8, 9, "3.60", "10.00")) ||
            !files_.profile.writeStrings("Standard", settings("10.00")))
            return 1;
        const std::string oldLog = files_.logText();
        const std::string oldProfile = files_.profileText();
        if (::mount(log.c_str(), log.c_str(), nullptr, MS_BIND, nullptr) != 0) return kCannotRunHere;
        keeper().start();
        keeper().resetLog(settings("0.00"), std::nullopt);
        keeper().connectionEnded(record(9, 10, "0.12", "0.12"), settings("0.12"));
        for (int tick = 0; tick < 3; ++tick) keeper().retry();
        report = files_.logText() + files_.profileText();
        if (files_.logText() != oldLog || files_.profileText() != oldProfile) return 2;
        if (notices_.size() != 1 || notices_[0].title != "Aufzeichnungen nicht gelöscht" ||
            notices_[0].text.rfind(log + ": die Datei kann nicht gelöscht werden: ", 0) != 0)
            return 3;
        if (keeper().pendingSetting("Kosten") != "0.12") return 4; // what the window shows meanwhile
        if (::umount(log.c_str()) != 0) return 5;
        keeper().retry();
        report = files_.logText() + files_.profileText();
        if (files_.logText() != "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:30:00]\n"
                                "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\n")
            return 6;
        if (files_.profile.readString("Standard", "Kosten", "") != "0.12") return 7;
        return notices_.size() == 2 && notices_[1].title == "Aufzeichnungen gelöscht" ? 0 : 8;
    });
    if (outcome.status == kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

} // namespace
} // namespace velmora::testing
