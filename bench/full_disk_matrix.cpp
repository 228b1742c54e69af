// Writes of the profile and the log on a full file system, for every pairing
// of free space and file size: each file must afterwards hold its old bytes or
// its new bytes whole, a refused write must say "no space", and no temporary
// may be left. Runs in a private mount namespace on a tmpfs (root only; exits
// 77 where that is not allowed).
//
//   full_disk_matrix        prints the matrix and the counts; exit 1 if any damage

#include <cstdio>
#include <string>
#include <vector>

#include <sys/mount.h>

#include "StoreFaults.h"
#include "store/ConnectionLog.h"
#include "store/ProfileFile.h"
#include "store/SettingsProfile.h"
#include "support/PrivateTmpfs.h"

namespace {

using velmora::ConnectionLog;
using velmora::SettingsProfile;
using velmora::WriteResult;

constexpr std::size_t kTmpfsBytes = std::size_t{4} * 1024 * 1024;
const std::vector<std::size_t> kFreeBytes{0, 4096, 16384, 65536, 262144};
const std::vector<std::size_t> kFileBytes{300, 4096, 16384, 65536, 262144, 1048576};
const std::string kNoSpace = "kein Speicherplatz mehr auf dem Datenträger";

struct Counts {
    int cells = 0, written = 0, refused = 0;                                   // outcomes
    int damaged = 0, otherReasons = 0, temporariesLeft = 0, setupFailures = 0; // faults
};

using velmora::bench::recordNumber;
using velmora::bench::sectionText;

struct Attempt {
    std::string before;
    std::string after; // what a write that is done leaves
    WriteResult result;
    std::string now;
};

// A profile of about `size` bytes (a long note in it), whose "Kosten" changes.
Attempt writeProfile(const std::string& dir, std::size_t size, std::size_t freeBytes, std::string& why) {
    const std::string head = "[Standard]\nKosten=125.40\nTarifzone=4\nWarnung=2\n[Notizen]\nText=";
    Attempt a;
    a.before = head + std::string(size > head.size() + 1 ? size - head.size() - 1 : 1, 'n') + "\n";
    a.after = a.before;
    a.after.replace(a.after.find("125.40"), 6, "130.00");
    SettingsProfile profile(dir + "/velmora.INI");
    if (!velmora::profile_file::replaceWhole(profile.path(), a.before)) why = "old profile not written";
    why += velmora::testing::fillLeaving(dir, freeBytes);
    a.result = profile.writeString("Standard", "Kosten", "130.00");
    a.now = velmora::profile_file::readAll(profile.path()).value_or("<unreadable>");
    return a;
}

// A log of about `size` bytes, to which one record is added.
Attempt writeLog(const std::string& dir, std::size_t size, std::size_t freeBytes, std::string& why) {
    Attempt a;
    int n = 0;
    do a.before += sectionText(recordNumber(n++));
    while (a.before.size() + 80 < size);
    a.after = a.before + sectionText(recordNumber(n));
    ConnectionLog log(dir + "/zelvar.log");
    if (!velmora::profile_file::replaceWhole(log.path(), a.before)) why = "old log not written";
    why += velmora::testing::fillLeaving(dir, freeBytes);
    a.result = log.write(recordNumber(n));
    a.now = velmora::profile_file::readAll(log.path()).value_or("<unreadable>");
    return a;
}

std::string judge(const Attempt& a, Counts& counts) {
    ++counts.cells;
    if (a.result.ok && a.now == a.after) {
        ++counts.written;
        return "written";
    }
    if (!a.result.ok && a.now == a.before) {
        ++counts.refused;
        if (a.result.reason != kNoSpace) {
            ++counts.otherReasons;
            return "refused*";
        }
        return "refused";
    }
    ++counts.damaged;
    return "DAMAGED";
}

std::string sizeText(std::size_t bytes) {
    if (bytes >= 1048576) return std::to_string(bytes / 1048576) + " MiB";
    if (bytes >= 1024) return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " B";
}

int runMatrix(const std::string& dir, std::string& out, Counts& counts) {
    for (const char* kind : {"profile", "log"}) {
        out += std::string(kind) + ", free space \\ file size:\n" + std::string(10, ' ');
        for (std::size_t size : kFileBytes) out += std::string(10 - sizeText(size).size(), ' ') + sizeText(size);
        out += "\n";
        for (std::size_t freeBytes : kFreeBytes) {
            out += std::string(10 - sizeText(freeBytes).size(), ' ') + sizeText(freeBytes);
            for (std::size_t size : kFileBytes) {
                if (std::string why = velmora::testing::mountTmpfs(dir, kTmpfsBytes); !why.empty()) {
                    out = why + "\n";
                    return velmora::testing::kCannotRunHere;
                }
                std::string why;
                const Attempt a = std::string(kind) == "profile" ? writeProfile(dir, size, freeBytes, why)
                                                                 : writeLog(dir, size, freeBytes, why);
                const std::string cell = why.empty() ? judge(a, counts) : "setup?";
                counts.setupFailures += !why.empty();
                counts.temporariesLeft += velmora::bench::temporariesIn(dir);
                out += std::string(10 - cell.size(), ' ') + cell;
                umount(dir.c_str());
            }
            out += "\n";
        }
        out += "\n";
    }
    return 0;
}

} // namespace

int main() {
    char pattern[] = "/tmp/velmora-full-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    Counts counts;
    const velmora::testing::ChildOutcome outcome =
        velmora::testing::runInPrivateMountNamespace([&dir, &counts](std::string& report) {
            const int status = runMatrix(dir, report, counts);
            report += "cells: " + std::to_string(counts.cells) + "; written whole: " + std::to_string(counts.written) +
                      "; refused, old file whole: " + std::to_string(counts.refused) +
                      "; files damaged: " + std::to_string(counts.damaged) + " (target 0)" +
                      "; refusals not saying \"" + kNoSpace + "\": " + std::to_string(counts.otherReasons) +
                      "; temporaries left: " + std::to_string(counts.temporariesLeft) +
                      "; cells that could not be set up: " + std::to_string(counts.setupFailures) + "\n";
            if (status != 0) return status;
            return counts.damaged + counts.otherReasons + counts.temporariesLeft + counts.setupFailures == 0 ? 0 : 1;
        });
    rmdir(dir.c_str());
    std::fputs(outcome.output.c_str(), outcome.status == velmora::testing::kCannotRunHere ? stderr : stdout);
    return outcome.status;
}
