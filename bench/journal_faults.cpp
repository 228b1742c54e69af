// What damaged journals and full disks cost, measured on the record keeper
// with real files, a real other user and a real full tmpfs (root only: it
// runs the keeper as uid 65534 and mounts a tmpfs in a private mount
// namespace; exits 77 where that is not allowed).
//
// Damaged journals: a run crashes with a connection of 0.36 open over a
// total of 10.00; its journal is damaged one way or another; the next run
// meters 0.12 and ends; where the damage can be undone (the kept file put back
// readable) it is, and a third run meters 0.12 more. Counted: whether the user
// was told (or the money booked at once), the money booked in the end, the
// money the program lost (what undoing the damage could not bring back, or
// bytes of the damaged journal not kept), and what the damage itself
// destroyed before the program ever saw it.
//
// Full disks: the first run ever, then a run on a full disk with three
// connections and a normal end, then a start with space again: records lost.
// And the first run ever on a full disk: nothing can hold its record, so the
// end must say what it lost.
//
//   journal_faults        prints both tables; exit 1 if the program lost money or left a case untold

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "journal/RecordKeeper.h"
#include "store/NumberParse.h"
#include "store/ProfileFile.h"
#include "store/SettingsSchema.h"
#include "support/OtherUser.h"
#include "support/PrivateTmpfs.h"

namespace {

namespace fs = std::filesystem;
using namespace velmora;
using velmora::testing::kCannotRunHere;
using velmora::testing::kOtherUid;

LocalTime at(int day, int hour, int minute) { return {2026, 12, 3, day, hour, minute, 0, 0}; }

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The data folder of one case, and the runs on it.
struct Data {
    explicit Data(const std::string& folder)
        : log(folder + "/zelvar.log"), profile(folder + "/velmora.INI"), journal(journalPathBeside(log.path())) {}
    ConnectionLog log;
    SettingsProfile profile;
    std::string journal;

    std::string total() const { return profile.readString(settings::kStandard.name, settings::kTotalKey, "0"); }
    int records() const {
        const std::string text = bytesOf(log.path());
        return static_cast<int>(std::count(text.begin(), text.end(), '['));
    }
};

SettingsValues settings(const std::string& total) { return {{"Kosten", total}, {"Tarifzone", "0"}, {"Warnung", "0"}}; }

// A run that is killed with a connection of 0.36 open.
void crashedRun(Data& d) {
    RecordKeeper keeper(d.log, d.profile, d.journal, [](const std::string&, const std::string&) {});
    keeper.start();
    keeper.checkpoint(
        {"Provider", at(9, 10, 0), 1000, at(9, 10, 3), 1180, Money::fromCents(36), Money::fromCents(1036)});
}

// A run of one connection of 0.12 on top of the total it finds; what it was
// told comes back as lines.
std::string meteredRun(Data& d, int hour) {
    std::string told;
    RecordKeeper keeper(d.log, d.profile, d.journal, [&told](const std::string& title, const std::string& text) {
        told += title + ": " + text + "\n";
    });
    keeper.start();
    const std::string shown = keeper.pendingSetting("Kosten").value_or(d.total());
    const std::string total = formatTwoDecimals(parseLeadingDouble(shown).value_or(0) + 0.12);
    keeper.connectionEnded({at(9, hour, 0), at(9, hour, 30), "0.12", total}, settings(total));
    keeper.finish();
    return told;
}

std::string asideOf(const Data& d) {
    for (const auto& entry : fs::directory_iterator(fs::path(d.journal).parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("zelvar.journal.") && !name.ends_with(".lock")) return entry.path().string();
    }
    return {};
}

struct Damage {
    const char* name;
    std::function<void(const std::string& journal, const std::string& keep)> apply;
    std::function<void(const std::string& aside, const std::string& keep)> undo; // null: cannot be undone
    int destroyedCents = 0;                                                      // by the damage itself
};

void putByte(const std::string& path, std::streamoff at, char byte) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(at);
    file.put(byte);
}

const std::vector<Damage>& damages() {
    const auto putBack = [](const std::string& aside, const std::string& keep) {
        fs::remove(aside);
        fs::rename(keep, aside);
        (void)::lchown(aside.c_str(), kOtherUid, kOtherUid);
    };
    static const std::vector<Damage> all{
        {"unreadable (mode 000)", [](const std::string& j, const std::string&) { (void)::chmod(j.c_str(), 0); },
         [](const std::string& a, const std::string&) { (void)::chmod(a.c_str(), 0600); }},
        {"other owner (root, 0600)", [](const std::string& j, const std::string&) { (void)::chown(j.c_str(), 0, 0); },
         [](const std::string& a, const std::string&) { (void)::chown(a.c_str(), kOtherUid, kOtherUid); }},
        {"other owner, readable (root, 0644)",
         [](const std::string& j, const std::string&) {
             (void)::chown(j.c_str(), 0, 0);
             (void)::chmod(j.c_str(), 0644);
         },
         nullptr},
        {"read-only (0400)", [](const std::string& j, const std::string&) { (void)::chmod(j.c_str(), 0400); }, nullptr},
        {"symbolic link",
         [](const std::string& j, const std::string& keep) {
             fs::rename(j, keep);
             fs::create_symlink(keep, j);
         },
         putBack},
        {"named pipe (FIFO)",
         [](const std::string& j, const std::string& keep) {
             fs::rename(j, keep);
             (void)::mkfifo(j.c_str(), 0600);
         },
         putBack},
        {"empty", [](const std::string& j, const std::string&) { fs::resize_file(j, 0); }, nullptr, 36},
        {"both slots bad",
         [](const std::string& j, const std::string&) {
             putByte(j, JournalFile::kHeaderBytes + 2, 'x');
             putByte(j, JournalFile::kSlotBytes + JournalFile::kHeaderBytes + 2, 'x');
         },
         nullptr, 36},
        {"newer format",
         [](const std::string& j, const std::string&) {
             fs::remove(j);
             JournalFile newer(j);
             (void)newer.claim();
             (void)newer.write(R"({"format":9,"open":{"cost":"0.36"}})");
             (void)::chown(j.c_str(), kOtherUid, kOtherUid);
         },
         nullptr, 0},
    };
    return all;
}

std::int64_t cents(const std::string& money) { return std::llround(parseLeadingDouble(money).value_or(0) * 100); }

struct Sums {
    int cases = 0, untold = 0;
    std::int64_t lostCents = 0;
};

// One case, each run as the other user in a folder of its own.
bool damagedJournalCase(const Damage& damage, Sums& sums) {
    char pattern[] = "/tmp/velmora-journal-faults-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    Data d(folder);
    (void)profile_file::replaceWhole(d.profile.path(), "[Standard]\nKosten=10.00\nTarifzone=0\nWarnung=0\n");
    testing::giveTo(folder, kOtherUid);
    const auto asOther = [](const std::function<void(std::string&)>& body) {
        return testing::runAsOtherUser([&](std::string& report) {
            body(report);
            return 0;
        });
    };
    if (asOther([&](std::string&) { crashedRun(d); }).status == kCannotRunHere) return false;
    const std::string keep = folder + "/kept";
    damage.apply(d.journal, keep);
    const bool regular = fs::is_regular_file(fs::symlink_status(d.journal));
    const std::string damaged = regular ? bytesOf(d.journal) : std::string();

    const std::string said = asOther([&](std::string& report) { report = meteredRun(d, 12); }).output;
    const std::string aside = asideOf(d);
    const bool kept = aside.empty() || !regular || bytesOf(aside) == damaged;
    const bool undone = damage.undo && !aside.empty();
    if (undone) damage.undo(aside, keep);
    asOther([&](std::string&) { meteredRun(d, 14); });

    // Booked on top of 10.00: both runs' 0.24, and the crashed run's 0.36
    // where it could be read at once or once the damage was undone.
    const std::int64_t booked = cents(d.total()) - 1000;
    const bool bookable = aside.empty() || undone;
    const std::int64_t expected = 24 + (bookable ? 36 : 0);
    const std::int64_t lost = std::max<std::int64_t>(0, expected - booked) + (kept ? 0 : 36 - damage.destroyedCents);
    const bool toldOrBooked = said.find(d.journal + ": ") != std::string::npos || (aside.empty() && booked == 60);
    const std::string told = !toldOrBooked ? "**no**" : aside.empty() ? "not needed: booked at once" : "yes";
    const std::string destroyed = damage.destroyedCents ? formatTwoDecimals(damage.destroyedCents / 100.0)
                                  : bookable            ? "0.00"
                                                        : "none (kept aside, unbooked, for that version)";
    std::printf("| %s | %s | %s | %s | %s |\n", damage.name, told.c_str(),
                formatTwoDecimals(static_cast<double>(booked) / 100).c_str(),
                formatTwoDecimals(static_cast<double>(lost) / 100).c_str(), destroyed.c_str());
    ++sums.cases;
    sums.untold += toldOrBooked ? 0 : 1;
    sums.lostCents += lost;
    fs::remove_all(folder);
    return true;
}

// Runs on a full tmpfs; "" or why not. Prints its table rows.
int fullDiskRuns(const std::string& folder, std::string& report) {
    if ((report = testing::mountTmpfs(folder, std::size_t{256} * 1024)) != "") return kCannotRunHere;
    int lost = 0;
    {
        Data d(folder);
        {
            RecordKeeper first(d.log, d.profile, d.journal, [](const std::string&, const std::string&) {});
            first.start();
            first.finish();
        }
        if ((report = testing::fillLeaving(folder, 0)) != "") return 1;
        RecordKeeper full(d.log, d.profile, d.journal, [](const std::string&, const std::string&) {});
        full.start();
        double total = 0;
        for (int hour = 10; hour < 13; ++hour) {
            full.checkpoint({"Provider", at(9, hour, 0), 1000, at(9, hour, 1), 1060, Money::fromCents(12),
                             Money::nearest(total + 0.12)});
            total += 0.36;
            full.connectionEnded({at(9, hour, 0), at(9, hour, 30), "0.36", formatTwoDecimals(total)},
                                 settings(formatTwoDecimals(total)));
        }
        full.finish();
        const bool toldLoss = !full.unsavedAtEnd().empty();
        fs::remove(folder + "/filler");
        RecordKeeper next(d.log, d.profile, d.journal, [](const std::string&, const std::string&) {});
        next.start();
        next.finish();
        lost = 3 - d.records();
        std::printf("| a later run on a full disk, 3 connections, normal end | %d of 3 | %s | %s |\n", lost,
                    toldLoss ? "**said lost**" : "nothing to say: all in the journal", d.total().c_str());
    }
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
    {
        Data d(folder);
        if ((report = testing::fillLeaving(folder, 0)) != "") return 1;
        RecordKeeper only(d.log, d.profile, d.journal, [](const std::string&, const std::string&) {});
        only.start();
        only.connectionEnded({at(9, 10, 0), at(9, 10, 30), "0.36", "0.36"}, settings("0.36"));
        only.finish(); // says on stderr what it lost
        const bool named = only.unsavedAtEnd().find("die Verbindung von 9.12.2026 10:00:00") != std::string::npos;
        std::printf("| the first run ever on a full disk, 1 connection | 1 of 1 (nothing can hold it) | %s | - |\n",
                    named ? "said, naming the record and the total" : "**not said**");
        if (!named) return 2;
    }
    return lost == 0 ? 0 : 2;
}

// The child's rows reach stdout before it ends with _exit.
int fullDiskCases(const std::string& folder, std::string& report) {
    const int status = fullDiskRuns(folder, report);
    std::fflush(stdout);
    return status;
}

} // namespace

int main() {
    std::printf("Damaged journals (a crashed run's 0.36 in it; two later runs of 0.12 each):\n\n");
    std::printf("| Damage | Told | Money booked | Lost by the program | Destroyed by the damage itself |\n");
    std::printf("|---|---|---|---|---|\n");
    Sums sums;
    for (const Damage& damage : damages()) {
        if (!damagedJournalCase(damage, sums)) {
            std::printf("needs root: the runs go as uid %d\n", kOtherUid);
            return kCannotRunHere;
        }
    }
    std::printf("\ncases %d, untold %d, money lost by the program %s\n\n", sums.cases, sums.untold,
                formatTwoDecimals(static_cast<double>(sums.lostCents) / 100).c_str());
    std::printf("Full disks:\n\n| Case | Records lost | At the end | Kosten at the next start |\n|---|---|---|---|\n");
    std::fflush(stdout);
    char pattern[] = "/tmp/velmora-full-disk-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    const testing::ChildOutcome full =
        testing::runInPrivateMountNamespace([&](std::string& report) { return fullDiskCases(folder, report); });
    fs::remove_all(folder); // the tmpfs went with the child's namespace
    if (full.status == kCannotRunHere) {
        std::printf("no private tmpfs here: %s\n", full.output.c_str());
        return kCannotRunHere;
    }
    if (full.status != 0) std::printf("full-disk cases failed (%d): %s\n", full.status, full.output.c_str());
    return sums.untold == 0 && sums.lostCents == 0 && full.status == 0 ? 0 : 1;
}
