// A crash between any two steps that change a file, during the recovery of an
// earlier crash or during a normal run, never counts a connection twice and
// never loses one: a forked child does the steps and dies (_exit) after the
// k-th; the next start then finishes the job. Every k gives the same files as
// a run that was never interrupted.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "journal/KeeperTestSupport.h"

namespace velmora::testing {
namespace {

constexpr int kDiedAtStep = 10;
constexpr int kRanToTheEnd = 11;

// What a run does; it calls armCrash() where the steps that count begin.
using Scenario = std::function<void(RecordKeeper&, const std::function<void()>& armCrash)>;

// Runs the scenario in a child that dies after its k-th step (never, for k = 0).
int runDyingAtStep(const KeeperFiles& files, const Scenario& scenario, int k) {
    const pid_t child = ::fork();
    if (child == 0) {
        KeeperFiles own(QString::fromStdString(files.log.path()).section('/', 0, -2));
        RecordKeeper keeper(own.log, own.profile, own.journalPath(), [](const std::string&, const std::string&) {});
        int steps = 0;
        scenario(keeper, [&] {
            keeper.afterEachStep([&] {
                if (++steps == k) ::_exit(kDiedAtStep);
            });
        });
        ::_exit(kRanToTheEnd); // the run goes on; it just never ends cleanly
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The next start of the program: whatever the journal holds is written.
void nextStart(KeeperFiles& files) {
    RecordKeeper keeper(files.log, files.profile, files.journalPath(), [](const std::string&, const std::string&) {});
    keeper.start();
    keeper.finish();
}

struct Outcome {
    std::string log;
    std::string profile;
};

// Prepares the files, runs the scenario dying at step k, starts again.
Outcome outcome(const std::function<void(KeeperFiles&)>& prepare, const Scenario& scenario, int k, int* status) {
    QTemporaryDir dir;
    KeeperFiles files(dir.path());
    prepare(files);
    *status = runDyingAtStep(files, scenario, k);
    nextStart(files);
    return {files.logText(), files.profileText()};
}

// Checks every crash point against the uninterrupted run; returns that run.
Outcome expectSameForEveryCrashPoint(const std::function<void(KeeperFiles&)>& prepare, const Scenario& scenario) {
    int status = 0;
    Outcome whole = outcome(prepare, scenario, 0, &status);
    EXPECT_EQ(status, kRanToTheEnd);
    int k = 1;
    for (; k < 50; ++k) {
        const Outcome cut = outcome(prepare, scenario, k, &status);
        if (status == kRanToTheEnd) break;
        EXPECT_EQ(status, kDiedAtStep);
        EXPECT_EQ(cut.log, whole.log) << "died after step " << k;
        EXPECT_EQ(cut.profile, whole.profile) << "died after step " << k;
    }
    EXPECT_GT(k, 2) << "the scenario should take several steps";
    return whole;
}

const std::string kOldRecord = "[Von 8.12.2026 09:00:00 bis 8.12.2026 09:30:00]\n"
                               "Verbindungskosten=3.60\nGesamtkosten bis dato=10.00\n";

void oldFiles(KeeperFiles& files) {
    ASSERT_TRUE(files.log.write(record(8, 9, "3.60", "10.00")).ok);
    ASSERT_TRUE(files.profile.writeStrings("Standard", settings("10.00")).ok);
}

TEST(RecordKeeperCrash, RecoveryOfACrashedRunIsIdempotentAtEveryStep) {
    // The crashed run: one record held back (the log was not writable), then a
    // connection open at its last checkpoint.
    const auto crashedRun = [](KeeperFiles& files) {
        oldFiles(files);
        JournalState left;
        left.pendingRecords = {record(9, 8, "0.24", "10.24")};
        left.pendingRecords[0].bytesReceived = 1'048'576;
        left.pendingRecords[0].bytesSent = 0;
        left.pendingSettings = settings("10.24");
        left.open = openSince(9, 10, 7, "0.60", "10.84");
        left.open->bytesReceived = 5'368'709'120; // beyond 32 bits
        left.open->bytesSent = 77'000;
        JournalFile journal(files.journalPath());
        ASSERT_TRUE(journal.claim());
        ASSERT_TRUE(journal.write(journalText(left)).ok);
    };
    const auto recovery = [](RecordKeeper& keeper, const std::function<void()>& armCrash) {
        armCrash();
        keeper.start();
    };
    const Outcome whole = expectSameForEveryCrashPoint(crashedRun, recovery);
    EXPECT_EQ(whole.log, kOldRecord + "[Von 9.12.2026 08:00:00 bis 9.12.2026 08:30:00]\n"
                                      "Verbindungskosten=0.24\nGesamtkosten bis dato=10.24\n"
                                      "Empfangen=1048576\nGesendet=0\n"
                                      "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:07:00]\n"
                                      "Verbindungskosten=0.60\nGesamtkosten bis dato=10.84\n"
                                      "Empfangen=5368709120\nGesendet=77000\n");
    EXPECT_EQ(whole.profile, "[Standard]\nKosten=10.84\nTarifzone=0\nWarnung=0\n");
}

TEST(RecordKeeperCrash, TheEndOfAConnectionIsLoggedOnceWhereverTheRunDies) {
    const auto run = [](RecordKeeper& keeper, const std::function<void()>& armCrash) {
        keeper.start();
        keeper.checkpoint(openSince(9, 10, 7, "0.60", "10.60"));
        armCrash();
        keeper.connectionEnded({at(9, 10, 0, 0), at(9, 10, 7, 31), "0.72", "10.72"}, settings("10.72"));
    };
    const Outcome whole = expectSameForEveryCrashPoint(oldFiles, run);
    EXPECT_EQ(whole.log, kOldRecord + "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:07:31]\n"
                                      "Verbindungskosten=0.72\nGesamtkosten bis dato=10.72\n");
    EXPECT_EQ(whole.profile, "[Standard]\nKosten=10.72\nTarifzone=0\nWarnung=0\n");
}

TEST(RecordKeeperCrash, AResetIsCarriedOutWholeWhereverTheRunDies) {
    const auto run = [](RecordKeeper& keeper, const std::function<void()>& armCrash) {
        keeper.start();
        keeper.checkpoint(openSince(9, 10, 3, "0.36", "10.36"));
        armCrash();
        keeper.resetLog(settings("0.00"), openSince(9, 10, 4, "0.48", "0.00"));
    };
    const Outcome whole = expectSameForEveryCrashPoint(oldFiles, run);
    // The old records and total are gone; the connection that ran on is logged from its checkpoint.
    EXPECT_EQ(whole.log, "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:04:00]\n"
                         "Verbindungskosten=0.48\nGesamtkosten bis dato=0.00\n");
    EXPECT_EQ(whole.profile, "[Standard]\nKosten=0.00\nTarifzone=0\nWarnung=0\n");
}

// A journal set aside by an earlier start (it could not be read then) whose
// money is booked now: a crash anywhere in between books it once, not twice.
TEST(RecordKeeperCrash, BookingASetAsideJournalHappensOnceWhereverTheRunDies) {
    const auto setAsideEarlier = [](KeeperFiles& files) {
        oldFiles(files);
        JournalState left;
        left.open = openSince(9, 10, 7, "0.60", "10.60");
        left.bookedTotal = "10.00";
        const std::string written = files.journalPath() + ".geschrieben";
        JournalFile journal(written);
        ASSERT_TRUE(journal.claim());
        ASSERT_TRUE(journal.write(journalText(left)).ok);
        ASSERT_EQ(::rename(written.c_str(), (files.journalPath() + ".unlesbar-20261209-103000").c_str()), 0);
        // Another run came between: its connection is in the files already.
        ASSERT_TRUE(files.log.write(record(9, 12, "0.12", "10.12")).ok);
        ASSERT_TRUE(files.profile.writeStrings("Standard", settings("10.12")).ok);
    };
    const auto start = [](RecordKeeper& keeper, const std::function<void()>& armCrash) {
        armCrash();
        keeper.start();
    };
    const Outcome whole = expectSameForEveryCrashPoint(setAsideEarlier, start);
    EXPECT_EQ(whole.log, kOldRecord + "[Von 9.12.2026 12:00:00 bis 9.12.2026 12:30:00]\n"
                                      "Verbindungskosten=0.12\nGesamtkosten bis dato=10.12\n"
                                      "[Von 9.12.2026 10:00:00 bis 9.12.2026 10:07:00]\n"
                                      "Verbindungskosten=0.60\nGesamtkosten bis dato=10.60\n");
    EXPECT_EQ(whole.profile, "[Standard]\nKosten=10.72\nTarifzone=0\nWarnung=0\n");
}

} // namespace
} // namespace velmora::testing
