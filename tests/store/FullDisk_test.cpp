// Writes on a real full file system: a tiny tmpfs in a private mount namespace.
// Whatever the free space and the size of the new content, a file holds its
// old bytes or its new bytes whole, and a write that could not land says so.

#include <sys/stat.h>

#include <QDir>

#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"
#include "store/StoreTestSupport.h"
#include "support/PrivateTmpfs.h"

namespace velmora {
namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kTmpfsBytes = 64 * 1024;

const std::string kOldProfile =
    "[Standard]\nKosten=125.40\nTarifzone=4\nWarnung=2\n[Cost-Editor]\nMontag=0\nGebuehr=0.12\n"
    "AnzahlWochentag=1\n[W-0]\nAnfang=0\nEnde=24\nTakt=90\n";
const LogRecord kOldRecord{{.year = 1996, .month = 12, .day = 8, .hour = 9, .minute = 5, .second = 7},
                           {.year = 1996, .month = 12, .day = 8, .hour = 10, .minute = 15, .second = 0},
                           "3.60",
                           "125.40"};

std::string leftovers(const std::string& dir) {
    std::string names;
    for (const QString& name : QDir(QString::fromStdString(dir)).entryList(QDir::Files | QDir::Hidden)) {
        if (name != "filler" && !name.endsWith(".lock") && name != "velmora.INI" && name != "zelvar.log")
            names += name.toStdString() + " ";
    }
    return names;
}

// Done: the new bytes; failed: the old bytes and the reason for a full disk.
void expectWhole(const std::string& what, const WriteResult& result, const std::string& now, const std::string& before,
                 const std::string& after, std::string& report) {
    if (now != (result.ok ? after : before))
        report += what + (result.ok ? " written" : " failed") + " but holds " + std::to_string(now.size()) + " bytes\n";
    if (!result.ok && result.reason != "kein Speicherplatz mehr auf dem Datenträger")
        report += what + ": reason \"" + result.reason + "\"\n";
}

// One cell: old files written, the disk filled up to `freeBytes`, then a
// profile value of `valueBytes` and a log record written. Appends what went wrong.
void tryCell(const std::string& dir, std::size_t freeBytes, std::size_t valueBytes, std::string& report) {
    const std::string cell = "free " + std::to_string(freeBytes) + ", value " + std::to_string(valueBytes) + ": ";
    SettingsProfile profile(dir + "/velmora.INI");
    ConnectionLog log(dir + "/zelvar.log");
    test::writeFileBytes(profile.path(), kOldProfile);
    if (!log.write(kOldRecord)) report += cell + "old log not written\n";
    const std::string oldLog = test::readFileBytes(log.path());
    if (std::string why = testing::fillLeaving(dir, freeBytes); !why.empty()) report += cell + why + "\n";

    const std::string note(valueBytes, 'n');
    std::string newProfile = kOldProfile;
    newProfile.insert(newProfile.find("[Cost-Editor]"), "Notiz=" + note + "\n");
    const WriteResult profileWrite = profile.writeString("Standard", "Notiz", note);
    expectWhole(cell + "profile", profileWrite, test::readFileBytes(profile.path()), kOldProfile, newProfile, report);

    LogRecord record = kOldRecord;
    record.end.hour = 11;
    record.grandTotal = std::string(valueBytes, '9');
    const std::string newLog = oldLog + "[" + logSectionName(record.start, record.end) +
                               "]\nVerbindungskosten=3.60\nGesamtkosten bis dato=" + record.grandTotal + "\n";
    const WriteResult logWrite = log.write(record);
    expectWhole(cell + "log", logWrite, test::readFileBytes(log.path()), oldLog, newLog, report);
    if (freeBytes == 0 && (profileWrite.ok || logWrite.ok))
        report += cell + "a write without any free space succeeded\n";
    if (!leftovers(dir).empty()) report += cell + "temporaries left: " + leftovers(dir) + "\n";
}

TEST(FullDisk, AFullFileSystemNeverLeavesAFileCutShortAndEveryFailureSaysWhy) {
    QTemporaryDir mountPoint;
    const std::string dir = mountPoint.path().toStdString();
    testing::ChildOutcome outcome = testing::runInPrivateMountNamespace([&dir](std::string& report) {
        for (std::size_t freeBytes : {std::size_t{0}, kPage, 3 * kPage}) {
            for (std::size_t valueBytes :
                 {std::size_t{10}, std::size_t{3000}, 16 * std::size_t{1024}, 40 * std::size_t{1024}}) {
                if (std::string why = testing::mountTmpfs(dir, kTmpfsBytes); !why.empty()) {
                    report = why;
                    return testing::kCannotRunHere;
                }
                tryCell(dir, freeBytes, valueBytes, report);
                ::umount(dir.c_str());
            }
        }
        return report.empty() ? 0 : 1;
    });
    if (outcome.status == testing::kCannotRunHere) GTEST_SKIP() << outcome.output;
    EXPECT_EQ(outcome.status, 0) << outcome.output;
}

} // namespace
} // namespace velmora
